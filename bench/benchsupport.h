#ifndef GARBWRIGHT_BENCH_BENCHSUPPORT_H
#define GARBWRIGHT_BENCH_BENCHSUPPORT_H

// What the benchmark programs share: the comparisons between a figure of the module and
// its baselines (printed by the reporter at the end of a run), a host log whose writer
// discards, a plain POSIX client that is the baseline of every exchange, and the client's
// design taken step by step with Asio, the baseline of a request.

#include "dzapp.h"
#include "dzappcontrol.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstddef>
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
    std::string baseline = "baseline";  // which of the benchmark's baselines, by name
};

// Registers a comparison for the summary that the reporter prints at the end of a run.
void compare(Comparison comparison);
const std::vector<Comparison>& comparisons();

// The counters that a paired benchmark sets for each of its baselines and the reporter
// reads: the baseline's time per call, and the module's time divided by the baseline's.
std::string secondsCounter(const std::string& baseline);
std::string ratioCounter(const std::string& baseline);

// Times the module beside one or two baselines in rounds, so that a busy machine disturbs
// all sides alike. Each round runs every side once, one right after the other, and the
// order changes from round to round (every order in turn), so that no side always runs
// first or always right after the same other. A benchmark that uses it is registered with
// UseManualTime(): its reported time is the module's, and each baseline's counters are
// named after it (secondsCounter, ratioCounter).
class Pairing {
public:
    // The baselines' names, in the order measure() takes the baselines.
    explicit Pairing(std::vector<std::string> baselines = {"baseline"});

    // Runs one round (a side throws to report a failure) and hands the module's time to
    // the benchmark's timer.
    template <class Baseline, class Module>
    void measure(benchmark::State& state, Baseline&& baseline, Module&& module)
    {
        std::array<double, 2> seconds{};
        for (const std::size_t side : nextOrder(seconds.size()))
            seconds[side] = side == 0 ? timed(baseline) : timed(module);
        record(state, seconds.data(), seconds.size());
    }

    template <class First, class Second, class Module>
    void measure(benchmark::State& state, First&& first, Second&& second, Module&& module)
    {
        std::array<double, 3> seconds{};
        for (const std::size_t side : nextOrder(seconds.size()))
            seconds[side] = side == 0 ? timed(first) : side == 1 ? timed(second) : timed(module);
        record(state, seconds.data(), seconds.size());
    }

    // Sets the counters; `callsPerIteration` calls of each side made up one measurement.
    void report(benchmark::State& state, int callsPerIteration = 1) const;

private:
    template <class Side>
    static double timed(Side& side)
    {
        const auto start = std::chrono::steady_clock::now();
        side();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    // The order of this round's sides: the baselines by their index, the module last.
    const std::vector<std::size_t>& nextOrder(std::size_t sides);
    // Adds one round's times: the baselines', then the module's.
    void record(benchmark::State& state, const double* seconds, std::size_t sides);

    std::vector<std::string> m_names;
    std::vector<double> m_baselines;  // each baseline's total time
    double m_module = 0;
    std::vector<std::size_t> m_order;
    std::int64_t m_rounds = 0;
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
    void clear() { DzAppControl(m_app).clearLog(); }

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

// The client's design and nothing more: a fresh I/O service, resolver and socket for the
// request; the IPv4 TCP query for `host` with the library's default flags; a connection to
// the first endpoint only; the whole request written; the reply read in 4096-byte blocks,
// each appended, until a read ends with an error (end of stream, reset). Blocking calls,
// no deadline, no waiting hook, no log line. Raises boost::system::system_error when the
// lookup, the connection or the write fails.
std::string designExchange(const std::string& host, unsigned int port, const std::string& request);

} // namespace Bench

#endif
