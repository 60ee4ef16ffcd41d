// SocketClient::request against an in-process loopback server, paired with a plain POSIX
// client making the same exchange with the same server: a short probe reply, and a 64 MiB
// reply. The module's trace lines go to a host log whose writer discards, as in the host.

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

// One plain exchange and one SocketClient::request per iteration, both with a server that
// answers every connection with `reply` and closes. The host's log is emptied after each
// pair, outside the timed parts (a probe writes eight lines, a 64 MiB reply about 32 000).
void pairedRequests(benchmark::State& state, const std::string& host, const std::string& reply,
                    std::size_t cap)
{
    Bench::HostLog log;
    Bench::installHostSink();
    LoopbackPeer server(replyWith(reply), 0, INT_MAX);
    Bench::Pairing pairing;
    try {
        for (auto _ : state) {
            pairing.measure(
                state,
                [&] {
                    if (Bench::plainExchange(server.port(), Protocol::probeRequest) != reply)
                        throw std::runtime_error("the plain client got another reply");
                },
                [&] {
                    SocketClient client(host, server.port(), Protocol::conversionTimeout, cap);
                    if (client.request(Protocol::probeRequest) != reply)
                        throw std::runtime_error("SocketClient got another reply");
                });
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
    pairedRequests(state, "localhost", probeReply, Protocol::maxReplyBytes);
}

// The same with a numeric host: the difference is what looking up "localhost" costs.
void BM_ProbeNumericHost(benchmark::State& state)
{
    pairedRequests(state, "127.0.0.1", probeReply, Protocol::maxReplyBytes);
}

void BM_LargeReply(benchmark::State& state)
{
    pairedRequests(state, "localhost", largeReply(), largeReplyCap);
}

// Not a comparison: the name lookup that every request makes (the same query as
// SocketClient's), alone.
void BM_ResolveServerName(benchmark::State& state)
{
    using boost::asio::ip::tcp;
    for (auto _ : state) {
        boost::asio::io_context context;
        tcp::resolver resolver(context);
        const tcp::resolver::results_type endpoints =
            resolver.resolve(tcp::v4(), "localhost", "12345", tcp::resolver::flags());
        benchmark::DoNotOptimize(endpoints.begin()->endpoint());
    }
}

[[maybe_unused]] const bool registered = [] {
    Bench::compare({"SocketClient::request(\"test\\n\") to \"localhost\", short reply, vs plain client",
                    "BM_ProbeLocalhost", Bench::Goal::AtMostTimes, 1.3});
    Bench::compare({"SocketClient::request(\"test\\n\") to \"127.0.0.1\", short reply, vs plain client",
                    "BM_ProbeNumericHost", Bench::Goal::AtMostTimes, 1.3});
    Bench::compare({"SocketClient::request, 64 MiB reply, vs plain client",
                    "BM_LargeReply", Bench::Goal::AtLeastShare, 0.5});
    return true;
}();

} // namespace

BENCHMARK(BM_ProbeLocalhost)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProbeNumericHost)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LargeReply)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResolveServerName)->UseRealTime()->Unit(benchmark::kMicrosecond);
