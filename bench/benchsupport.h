#ifndef GARBWRIGHT_BENCH_BENCHSUPPORT_H
#define GARBWRIGHT_BENCH_BENCHSUPPORT_H

// What the benchmark programs share: the comparisons between a figure of the module and
// its baseline (printed by the reporter at the end of a run), a host log whose writer
// discards, and a plain POSIX client that is the baseline of every exchange.

#include "dzapp.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace Bench {

// How a figure is held against its baseline.
enum class Goal {
    AtMostTimes,   // module time / baseline time must not exceed the bound
    AtLeastShare,  // module throughput / baseline throughput must reach the bound
    ReportOnly     // no bound: the module's own overhead in microseconds and as a ratio
};

struct Comparison {
    std::string figure;     // what the row of the summary measures
    std::string benchmark;  // the paired benchmark's function name as registered
    Goal goal = Goal::ReportOnly;
    double bound = 0.0;
    int callsPerIteration = 1;  // calls of each side timed together in one iteration
};

// Registers a comparison for the summary that the reporter prints at the end of a run.
void compare(Comparison comparison);
const std::vector<Comparison>& comparisons();

// Counters that a paired benchmark sets and the reporter reads.
inline constexpr char baselineCounter[] = "baseline_s";
inline constexpr char ratioCounter[] = "vs_baseline";

// Times the baseline and the module side by side, one right after the other and in
// alternating order, so that a busy machine disturbs both alike. A benchmark that uses it
// is registered with UseManualTime(): its reported time is the module's, and the counters
// carry the baseline's time per call and the ratio of the two.
class Pairing {
public:
    // Runs one side of each (a side throws to report a failure) and hands the module's
    // time to the benchmark's timer.
    template <class Baseline, class Module>
    void measure(benchmark::State& state, Baseline&& baseline, Module&& module)
    {
        double baselineSeconds = 0;
        double moduleSeconds = 0;
        if (m_pairs % 2 == 0) {
            baselineSeconds = timed(baseline);
            moduleSeconds = timed(module);
        } else {
            moduleSeconds = timed(module);
            baselineSeconds = timed(baseline);
        }
        m_baseline += baselineSeconds;
        m_module += moduleSeconds;
        ++m_pairs;
        state.SetIterationTime(moduleSeconds);
    }

    // Sets the counters; `callsPerIteration` calls of each side made up one measurement.
    void report(benchmark::State& state, int callsPerIteration = 1) const
    {
        if (m_pairs == 0 || m_baseline <= 0)
            return;
        state.counters[baselineCounter] =
            benchmark::Counter(m_baseline / static_cast<double>(m_pairs * callsPerIteration));
        state.counters[ratioCounter] = benchmark::Counter(m_module / m_baseline);
    }

private:
    template <class Side>
    static double timed(Side& side)
    {
        const auto start = std::chrono::steady_clock::now();
        side();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    double m_baseline = 0;
    double m_module = 0;
    std::int64_t m_pairs = 0;
};

// The application object of a host whose log writer discards every line. The host still
// keeps each line in memory; call clear() between batches, outside the timed region.
class HostLog {
public:
    HostLog();
    ~HostLog();
    HostLog(const HostLog&) = delete;
    HostLog& operator=(const HostLog&) = delete;

    DzApp& app() { return m_app; }
    const DzApp& app() const { return m_app; }
    void clear() { m_app.clearLog(); }

private:
    DzApp m_app;
    DzApp* m_previous;
};

// Installs the plug-in's host-log sink in the root logger, once per process, the way the
// first plug-in object does. Lines reach whichever application object dzApp points at.
void installHostSink();

// The baseline client: connect to 127.0.0.1:port, send `request`, read 4096-byte blocks
// until the peer closes, close, and return the reply. Every wait is bounded by a socket
// time-out. Raises std::runtime_error when the connection or the send fails.
std::string plainExchange(unsigned int port, const std::string& request);

} // namespace Bench

#endif
