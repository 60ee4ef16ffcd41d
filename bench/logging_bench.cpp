// One log line through the module's whole logging path (entry point, root logger,
// DzAppLogger, host log) against spdlog formatting the same kind of line.

#include "benchsupport.h"
#include "dzappcontrol.h"

#include "dzapplogger.h"
#include "orvlogging.h"

#include <benchmark/benchmark.h>
#include <spdlog/logger.h>
#include <spdlog/sinks/base_sink.h>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace {

// A typical trace line of the module.
const std::string message = "Getting server status";

// A line takes a fraction of a microsecond: lines are timed in batches of this many, a
// batch of one side right beside a batch of the other. The host keeps every line; its log
// is emptied after each batch, outside the timed part.
constexpr int linesPerBatch = 256;

// spdlog's own null sink drops a message before formatting it. This one formats each line
// with the logger's pattern, like a real sink, and then drops it; it locks like the host
// log does.
class FormattingNullSink final : public spdlog::sinks::base_sink<std::mutex> {
protected:
    void sink_it_(const spdlog::details::log_msg& msg) override
    {
        spdlog::memory_buf_t line;
        formatter_->format(msg, line);
        benchmark::DoNotOptimize(line.data());
        benchmark::ClobberMemory();
    }
    void flush_() override {}
};

void BM_LogLine(benchmark::State& state)
{
    Bench::HostLog host;
    Bench::installHostSink();

    spdlog::logger spdlogLogger("bench", std::make_shared<FormattingNullSink>());
    // The module's line: prefix, level, thread id, time of day with seconds, elapsed
    // milliseconds, message.
    spdlogLogger.set_pattern("[Pliant Clothing Plugin] [%l]\t[%t] %H:%M:%S %e\t%v");
    spdlogLogger.set_level(spdlog::level::debug);

    // The line must really reach the host's log, or this measures nothing.
    Orv::Logging::log(Orv::Logging::Debug, message);
    const QStringList lines = DzAppControl(host.app()).logLines();
    if (lines.size() != 1 || !lines.first().startsWith(QLatin1String(DzAppLogger::linePrefix))
        || !lines.first().endsWith(QString::fromStdString("\t" + message))) {
        state.SkipWithError("the line did not reach the host log");
        return;
    }
    host.clear();

    Bench::Pairing pairing;
    for (auto _ : state) {
        pairing.measure(
            state,
            [&] {
                for (int i = 0; i < linesPerBatch; ++i)
                    spdlogLogger.debug(message);
            },
            [&] {
                for (int i = 0; i < linesPerBatch; ++i)
                    Orv::Logging::log(Orv::Logging::Debug, message);
            });
        host.clear();
    }
    pairing.report(state, linesPerBatch);
    state.SetItemsProcessed(state.iterations() * linesPerBatch);
}

[[maybe_unused]] const bool registered = [] {
    Bench::compare({"one Orv::Logging::log line into the host log (writer discards), vs spdlog",
                    "BM_LogLine", Bench::Goal::AtMostTimes, 1.0, linesPerBatch});
    return true;
}();

} // namespace

// Time per iteration is one batch of the module's lines; the summary gives it per line.
BENCHMARK(BM_LogLine)->UseManualTime();
