// SocketClient::request against an in-process loopback server, beside clients making the
// same exchange with the same server: a short probe reply, against the client's design
// (Asio, nothing but its network steps) and a plain POSIX client, and a 64 MiB reply
// against the plain client. The module's trace lines go to a host log whose writer
// discards, as in the host.

#include "benchsupport.h"
#include "loopbackpeer.h"

#include "protocol.h"
#include "socketclient.h"

#include <benchmark/benchmark.h>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <climits>
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const std::string probeReply = "Garbwright Server ready\n";
constexpr std::size_t largeReplyBytes = 64u * 1024u * 1024u;
// Above the reply, so the client takes it whole.
constexpr std::size_t largeReplyCap = largeReplyBytes + 1024u * 1024u;

const std::string& largeReply()
{
    static const std::string reply(largeReplyBytes, 'x');
    return reply;
}

// Which baselines run beside the module: the plain client always; the client's design
// for the probes, where its per-request set-up is most of the time.
enum class Baselines { Plain, DesignAndPlain };

// One SocketClient::request per round beside the baselines, all with a server that answers
// every connection with `reply` and closes. The host's log is emptied after each round,
// outside the timed parts (a probe writes eight lines, a 64 MiB reply about 32 000).
void pairedRequests(benchmark::State& state, const std::string& host, const std::string& reply,
                    std::size_t cap, Baselines baselines)
{
    Bench::HostLog log;
    Bench::installHostSink();
    LoopbackPeer server(replyWith(reply), 0, INT_MAX);
    const auto plain = [&] {
        if (Bench::plainExchange(server.port(), Protocol::probeRequest) != reply)
            throw std::runtime_error("the plain client got another reply");
    };
    const auto design = [&] {
        if (Bench::designExchange(host, server.port(), Protocol::probeRequest) != reply)
            throw std::runtime_error("the design's client got another reply");
    };
    const auto module = [&] {
        SocketClient client(host, server.port(), Protocol::conversionTimeout, cap);
        if (client.request(Protocol::probeRequest) != reply)
            throw std::runtime_error("SocketClient got another reply");
    };
    const bool withDesign = baselines == Baselines::DesignAndPlain;
    Bench::Pairing pairing(withDesign ? std::vector<std::string>{"design", "plain"}
                                      : std::vector<std::string>{"plain"});
    try {
        for (auto _ : state) {
            if (withDesign)
                pairing.measure(state, design, plain, module);
            else
                pairing.measure(state, plain, module);
            log.clear();
        }
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
        return;
    }
    pairing.report(state);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}

// The module's own server name, resolved on every request as the module does.
void BM_ProbeLocalhost(benchmark::State& state)
{
    pairedRequests(state, "localhost", probeReply, Protocol::maxReplyBytes, Baselines::DesignAndPlain);
}

// The same with a numeric host: the difference is what looking up "localhost" costs.
void BM_ProbeNumericHost(benchmark::State& state)
{
    pairedRequests(state, "127.0.0.1", probeReply, Protocol::maxReplyBytes, Baselines::DesignAndPlain);
}

void BM_LargeReply(benchmark::State& state)
{
    pairedRequests(state, "localhost", largeReply(), largeReplyCap, Baselines::Plain);
}

// Not a comparison: the name lookup that every request makes, alone, with `flags`.
void resolveLocalhost(benchmark::State& state, boost::asio::ip::tcp::resolver::flags flags)
{
    using boost::asio::ip::tcp;
    for (auto _ : state) {
        boost::asio::io_context context;
        tcp::resolver resolver(context);
        const tcp::resolver::results_type endpoints = resolver.resolve(tcp::v4(), "localhost", "12345", flags);
        benchmark::DoNotOptimize(endpoints.begin()->endpoint());
    }
}

// SocketClient's query: no flags.
void BM_ResolveServerName(benchmark::State& state)
{
    resolveLocalhost(state, boost::asio::ip::tcp::resolver::flags());
}

// The client's design's query: the library's default flags, configured addresses only,
// which reads the interfaces' addresses on every call.
void BM_ResolveDesignQuery(benchmark::State& state)
{
    resolveLocalhost(state, boost::asio::ip::tcp::resolver::address_configured);
}

[[maybe_unused]] const bool registered = [] {
    // The client's design is the limit a request can reach: the goal is set against it.
    // The plain client, with neither I/O service nor lookup, is shown beside it.
    Bench::compare({"SocketClient::request(\"test\\n\") to \"localhost\", short reply, vs the client's design",
                    "BM_ProbeLocalhost", Bench::Goal::AtMostTimes, 1.15, 1, "design"});
    Bench::compare({"the same, vs plain client", "BM_ProbeLocalhost", Bench::Goal::ReportOnly, 0.0, 1, "plain"});
    Bench::compare({"SocketClient::request(\"test\\n\") to \"127.0.0.1\", short reply, vs the client's design",
                    "BM_ProbeNumericHost", Bench::Goal::AtMostTimes, 1.15, 1, "design"});
    Bench::compare({"the same, vs plain client", "BM_ProbeNumericHost", Bench::Goal::ReportOnly, 0.0, 1, "plain"});
    Bench::compare({"SocketClient::request, 64 MiB reply, vs plain client",
                    "BM_LargeReply", Bench::Goal::AtLeastShare, 0.5, 1, "plain"});
    return true;
}();

} // namespace

BENCHMARK(BM_ProbeLocalhost)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProbeNumericHost)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LargeReply)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResolveServerName)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ResolveDesignQuery)->UseRealTime()->Unit(benchmark::kMicrosecond);
