// The main of every benchmark program: an offscreen QApplication (the module's objects and
// dialogs are Qt objects), Google Benchmark's own flags, and a console reporter that prints,
// after the usual table, each comparison of a module figure with its baseline.

#include "benchsupport.h"

#include <QApplication>
#include <QByteArray>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// With repetitions the median stands for the benchmark; without, its one run does.
bool representative(const benchmark::BenchmarkReporter::Run& run)
{
    if (run.error_occurred)
        return false;
    if (run.run_type == benchmark::BenchmarkReporter::Run::RT_Aggregate)
        return run.aggregate_name == "median";
    return run.repetitions <= 1;
}

std::string formatTime(double seconds)
{
    char text[32];
    if (seconds < 1e-6)
        std::snprintf(text, sizeof text, "%.1f ns", seconds * 1e9);
    else if (seconds < 1e-3)
        std::snprintf(text, sizeof text, "%.2f us", seconds * 1e6);
    else
        std::snprintf(text, sizeof text, "%.3f ms", seconds * 1e3);
    return text;
}

// The console table as usual, then one line per comparison: the module's time per call,
// the baseline's (named as the benchmark names it), and the ratio against the goal.
class ComparingReporter : public benchmark::ConsoleReporter {
public:
    // Colours only for a terminal, so that saved output stays plain text.
    ComparingReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (representative(run))
                m_runs[run.run_name.function_name] = run;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::ostream& out = GetOutputStream();
        bool header = false;
        for (const Bench::Comparison& comparison : Bench::comparisons()) {
            const auto found = m_runs.find(comparison.benchmark);
            if (found == m_runs.end())
                continue;
            const Run& run = found->second;
            const auto baselineCounter = run.counters.find(Bench::secondsCounter(comparison.baseline));
            const auto ratioCounter = run.counters.find(Bench::ratioCounter(comparison.baseline));
            if (baselineCounter == run.counters.end() || ratioCounter == run.counters.end())
                continue;
            const double module = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit)
                / comparison.callsPerIteration;
            const double baseline = baselineCounter->second.value;
            const double ratio = ratioCounter->second.value;
            if (!header) {
                out << "\nAgainst the baseline measured beside it (time per call):\n";
                header = true;
            }
            out << "  " << comparison.figure << " [" << comparison.benchmark << "]\n    module "
                << formatTime(module) << ", " << comparison.baseline << " " << formatTime(baseline) << ": ";
            char line[160];
            switch (comparison.goal) {
            case Bench::Goal::AtMostTimes:
                std::snprintf(line, sizeof line, "%.2fx the baseline's time (goal <= %.2fx): %s", ratio,
                              comparison.bound, ratio <= comparison.bound ? "met" : "MISSED");
                break;
            case Bench::Goal::AtLeastShare:
                std::snprintf(line, sizeof line, "%.2fx the baseline's throughput (goal >= %.2fx): %s",
                              1.0 / ratio, comparison.bound, 1.0 / ratio >= comparison.bound ? "met" : "MISSED");
                break;
            case Bench::Goal::ReportOnly:
                std::snprintf(line, sizeof line, "module's own overhead %.1f us, %.2fx the baseline's time",
                              (module - baseline) * 1e6, ratio);
                break;
            }
            out << line << "\n";
        }
        out.flush();
    }

private:
    std::map<std::string, Run> m_runs;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    QApplication app(argc, argv);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ComparingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
