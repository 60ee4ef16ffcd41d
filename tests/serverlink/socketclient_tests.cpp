#include "socketclient.h"

#include "loopbackpeer.h"
#include "recordinglogger.h"

#include "orvlogging.h"
#include "protocol.h"

#include <boost/asio/error.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/system/error_code.hpp>
#include <boost/system/system_error.hpp>

#include <gtest/gtest.h>

#ifdef __linux__
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#endif

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

using boost::asio::ip::tcp;

std::string pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

// The error code that `action` raised, or a cleared code when it returned normally.
boost::system::error_code failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const boost::system::system_error& error) {
        return error.code();
    }
    return {};
}

// Each test sees the messages logged while it runs.
class SocketClientTest : public ::testing::Test
{
protected:
    std::vector<std::string> lines() const
    {
        std::vector<std::string> messages;
        for (const RecordingLogger::Entry& entry : m_log.entries())
            messages.push_back(entry.message);
        return messages;
    }

    std::vector<std::string> readCounts() const
    {
        std::vector<std::string> counts;
        const std::string prefix = " - Read ";
        for (const std::string& line : lines()) {
            if (line.compare(0, prefix.size(), prefix) == 0)
                counts.push_back(line.substr(prefix.size()));
        }
        return counts;
    }

    bool logged(const std::string& line) const
    {
        const std::vector<std::string> all = lines();
        return std::find(all.begin(), all.end(), line) != all.end();
    }

private:
    RootRecording m_log;
};

using SocketClientReply = SocketClientTest;
using SocketClientFailure = SocketClientTest;
using SocketClientBound = SocketClientTest;
using SocketClientCap = SocketClientTest;

TEST_F(SocketClientReply, ShortReply_ReturnedWithEveryStepLogged)
{
    const std::string reply = pattern(50);
    LoopbackPeer peer(replyWith(reply));

    EXPECT_EQ(SocketClient("localhost", peer.port()).request(Protocol::probeRequest), reply);

    const std::vector<std::string> expected = {
        "Setting up the socket",
        "Connecting to the server",
        "Sending the request",
        "Initializing the response",
        "Reading the response",
        " - Read 50 bytes",
        " - Appending new bytes to response",
        "Done reading response",
    };
    EXPECT_EQ(lines(), expected);
}

TEST_F(SocketClientReply, ProbeRequest_ExactlyItsBytesOnTheWire)
{
    LoopbackPeer peer(replyWith("ok\n"));

    SocketClient("localhost", peer.port()).request(Protocol::probeRequest);

    EXPECT_EQ(peer.received(), std::string("test\n"));
}

struct BlockCase
{
    std::size_t replySize;
    std::vector<std::string> counts;
};

class SocketClientBlocks : public SocketClientTest, public ::testing::WithParamInterface<BlockCase>
{
};

TEST_P(SocketClientBlocks, ReplySize_ReadInBlocksOf4096)
{
    const std::string reply = pattern(GetParam().replySize);
    LoopbackPeer peer(replyWith(reply));

    EXPECT_EQ(SocketClient("localhost", peer.port()).request(Protocol::probeRequest), reply);

    EXPECT_EQ(readCounts(), GetParam().counts);
    EXPECT_TRUE(logged("Done reading response"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SocketClientBlocks,
                         ::testing::Values(BlockCase{0, {"0 bytes"}},
                                           BlockCase{4096, {"4096 bytes", "0 bytes"}},
                                           BlockCase{5000, {"4096 bytes", "904 bytes"}}),
                         [](const ::testing::TestParamInfo<BlockCase>& sizeCase) {
                             return "Bytes" + std::to_string(sizeCase.param.replySize);
                         });

TEST_F(SocketClientReply, NulAndHighBytes_ReturnedUnchanged)
{
    std::string reply;
    for (int round = 0; round < 20; ++round) {
        for (int value = 0; value < 256; ++value)
            reply.push_back(static_cast<char>(value));
    }
    LoopbackPeer peer(replyWith(reply));

    EXPECT_EQ(SocketClient("localhost", peer.port()).request(Protocol::probeRequest), reply);
}

TEST_F(SocketClientReply, ResetMidReply_PartReceivedReturned)
{
    const std::string part = pattern(3000);
    LoopbackPeer peer([part](PeerConnection& connection) {
        connection.readRequest();
        connection.send(part);
        // Let the part arrive before the reset overtakes it.
        std::this_thread::sleep_for(100ms);
        connection.reset();
    });

    std::string reply;
    EXPECT_NO_THROW(reply = SocketClient("localhost", peer.port()).request(Protocol::probeRequest));

    EXPECT_EQ(reply, part);
    EXPECT_TRUE(logged("Done reading response"));
}

// A socket bound to a loopback port that does not listen: connections to it are refused,
// and the port stays ours while the socket is open. Fills in the port; the socket is closed
// when it cannot be bound.
tcp::socket refusingPort(boost::asio::io_context& context, unsigned int& port)
{
    tcp::socket bound(context);
    boost::system::error_code error;
    bound.open(tcp::v4(), error);
    if (!error)
        bound.bind(tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0), error);
    if (!error)
        port = bound.local_endpoint(error).port();
    if (error)
        bound.close(error);
    return bound;
}

TEST_F(SocketClientFailure, NothingListening_RaisesAfterConnecting)
{
    boost::asio::io_context context;
    unsigned int port = 0;
    tcp::socket bound = refusingPort(context, port);
    ASSERT_TRUE(bound.is_open());

    const auto failure = failureOf([&] { SocketClient("localhost", port).request(Protocol::probeRequest); });
    bound.close();

    EXPECT_EQ(failure, boost::asio::error::connection_refused);
    const std::vector<std::string> expected = {"Setting up the socket", "Connecting to the server"};
    EXPECT_EQ(lines(), expected);
}

TEST_F(SocketClientFailure, OnlyLoopbackUp_LocalhostStillResolves)
{
#ifndef __linux__
    GTEST_SKIP() << "switching the network off needs a Linux network namespace (unshare)";
#else
    // A machine with its network off: a network namespace of our own, in a child process,
    // where only the loopback interface is up.
    constexpr int cannotIsolate = 77;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWNET) != 0)
            ::_exit(cannotIsolate);
        const int control = ::socket(AF_INET, SOCK_DGRAM, 0);
        ifreq loopback{};
        std::strncpy(loopback.ifr_name, "lo", IFNAMSIZ - 1);
        if (control < 0 || ::ioctl(control, SIOCGIFFLAGS, &loopback) != 0)
            ::_exit(2);
        loopback.ifr_flags = static_cast<short>(loopback.ifr_flags | IFF_UP);
        if (::ioctl(control, SIOCSIFFLAGS, &loopback) != 0)
            ::_exit(2);
        boost::asio::io_context context;
        unsigned int port = 0;
        const tcp::socket bound = refusingPort(context, port);
        if (!bound.is_open())
            ::_exit(2);
        // Refused, not unresolvable: the name was looked up and its address tried.
        const auto failure = failureOf([&] { SocketClient("localhost", port).request(Protocol::probeRequest); });
        ::_exit(failure == boost::asio::error::connection_refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == cannotIsolate)
        GTEST_SKIP() << "cannot create a network namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: localhost did not resolve; 2: could not set up loopback";
#endif
}

TEST_F(SocketClientFailure, UnresolvableHost_RaisesAfterSettingUp)
{
    // An empty label makes the name invalid, so the lookup fails without asking a DNS server.
    const auto failure = failureOf(
        [] { SocketClient("unresolvable..invalid", Protocol::serverPort).request(Protocol::probeRequest); });

    EXPECT_TRUE(failure);
    const std::vector<std::string> expected = {"Setting up the socket"};
    EXPECT_EQ(lines(), expected);
}

// The bound must hold against any peer: one that stays silent, one that trickles bytes
// for ever, and one that never reads what it is sent.
constexpr auto shortBound = 300ms;
constexpr auto margin = 1000ms;

struct TimedFailure
{
    boost::system::error_code error;
    std::chrono::steady_clock::duration elapsed;
};

TimedFailure timedRequest(unsigned int port, const std::string& message)
{
    const auto start = std::chrono::steady_clock::now();
    const auto error = failureOf([&] { SocketClient("localhost", port, shortBound).request(message); });
    return {error, std::chrono::steady_clock::now() - start};
}

TEST_F(SocketClientBound, PeerNeverCloses_TimedOutWithinBound)
{
    LoopbackPeer peer([](PeerConnection& connection) { connection.awaitClose(); });

    const TimedFailure result = timedRequest(peer.port(), Protocol::probeRequest);

    EXPECT_EQ(result.error, boost::asio::error::timed_out);
    EXPECT_GE(result.elapsed, shortBound);
    EXPECT_LT(result.elapsed, shortBound + margin);
    EXPECT_FALSE(logged("Done reading response"));
}

TEST_F(SocketClientBound, PeerStreamsWithoutEnd_TimedOutWithinBound)
{
    LoopbackPeer peer([](PeerConnection& connection) {
        connection.readRequest();
        // Bounded in count too, in case the client never gives up.
        for (int chunk = 0; chunk < 2000 && connection.send(pattern(512)); ++chunk)
            std::this_thread::sleep_for(5ms);
    });

    const TimedFailure result = timedRequest(peer.port(), Protocol::probeRequest);

    EXPECT_EQ(result.error, boost::asio::error::timed_out);
    EXPECT_GE(result.elapsed, shortBound);
    EXPECT_LT(result.elapsed, shortBound + margin);
    EXPECT_FALSE(readCounts().empty()); // whole blocks did arrive; the bound still held
}

TEST_F(SocketClientBound, PeerNeverReads_SendTimedOutWithinBound)
{
    LoopbackPeer peer([](PeerConnection& connection) { connection.awaitRelease(); });

    // Far more than the loopback socket buffers hold, so the write cannot finish.
    const TimedFailure result = timedRequest(peer.port(), std::string(32u << 20, 'x'));

    EXPECT_EQ(result.error, boost::asio::error::timed_out);
    EXPECT_LT(result.elapsed, shortBound + margin);
    EXPECT_FALSE(logged("Initializing the response"));
}

TEST_F(SocketClientCap, ReplyAtCap_Accepted)
{
    const std::string reply = pattern(10000);
    LoopbackPeer peer(replyWith(reply));

    EXPECT_EQ(SocketClient("localhost", peer.port(), Protocol::probeTimeout, 10000)
                  .request(Protocol::probeRequest),
              reply);
}

TEST_F(SocketClientCap, ReplyOverCap_Refused)
{
    LoopbackPeer peer(replyWith(pattern(10001)));

    const auto failure = failureOf([&] {
        SocketClient("localhost", peer.port(), Protocol::probeTimeout, 10000).request(Protocol::probeRequest);
    });

    EXPECT_EQ(failure, boost::system::errc::message_size);
    EXPECT_FALSE(logged("Done reading response"));
}

TEST_F(SocketClientCap, ReplyOverCapWhereItsStartWillDo_EndsAtTheCap)
{
    const std::string reply = pattern(20000);
    LoopbackPeer peer(replyWith(reply));

    EXPECT_EQ(SocketClient("localhost", peer.port(), Protocol::probeTimeout, 10000,
                           SocketClient::OverCap::EndReply)
                  .request(Protocol::probeRequest),
              reply.substr(0, 10000));
    EXPECT_TRUE(logged("Done reading response"));
}

TEST_F(SocketClientCap, ReplyOverDefaultCap_Refused)
{
    LoopbackPeer peer([](PeerConnection& connection) {
        connection.readRequest();
        const std::string chunk = pattern(1u << 20);
        for (std::size_t sent = 0; sent <= Protocol::maxReplyBytes && connection.send(chunk);)
            sent += chunk.size();
    });

    const auto failure = failureOf(
        [&] { SocketClient("localhost", peer.port(), Protocol::probeTimeout).request(Protocol::probeRequest); });

    EXPECT_EQ(failure, boost::system::errc::message_size);
}

} // namespace
