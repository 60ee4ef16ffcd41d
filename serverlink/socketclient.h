#ifndef GARBWRIGHT_SERVER_SOCKETCLIENT_H
#define GARBWRIGHT_SERVER_SOCKETCLIENT_H

// The plug-in's only way to talk to the conversion server: one request, one connection,
// one reply. This header stays free of Boost so that code read by moc may include it;
// failures are raised from request() as boost::system::system_error.

#include "protocol.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

class SocketClient
{
public:
    // What a reply that reaches `maxReplyBytes` comes to: a failure (for a reply that must be
    // whole to mean anything, such as a path), or its first `maxReplyBytes` bytes (for a
    // reply of which only its arrival, or its start, matters, such as a probe's).
    enum class OverCap { Refuse, EndReply };

    // Does no network work. `timeout` bounds the whole exchange after the name lookup
    // (connecting, sending and reading the reply); `maxReplyBytes` is the most of a reply
    // the client holds.
    SocketClient(std::string host, unsigned int port,
                 std::chrono::milliseconds timeout = Protocol::conversionTimeout,
                 std::size_t maxReplyBytes = Protocol::maxReplyBytes,
                 OverCap overCap = OverCap::Refuse);

    // Connects, sends exactly `message`, and returns every byte the server sends until it
    // closes the connection. A read error (reset, end of stream) only ends the reply.
    //
    // Raises boost::system::system_error when the host cannot be resolved, the connection
    // cannot be made or the message cannot be sent; with boost::asio::error::timed_out
    // when the bound passes first; with std::errc::message_size when the reply grows past
    // the cap and OverCap::Refuse was asked for. Each call is complete in itself: own
    // connection, own I/O objects.
    std::string request(std::string message);

    // Called every `interval` on the calling thread while request() waits on the server
    // (connecting, sending, reading), so that the caller can keep its user interface alive.
    // It changes nothing about the exchange; it should not raise (what it raises passes
    // out of request() unchanged). An empty hook (the default) is never called.
    using WaitingHook = std::function<void()>;
    void setWaitingHook(WaitingHook hook, std::chrono::milliseconds interval);

    // A quiet client writes no trace lines (for requests repeated while waiting on a server
    // that is starting); what it does is unchanged.
    void setQuiet(bool quiet);

private:
    std::string m_host;
    std::string m_port;
    std::chrono::milliseconds m_timeout;
    std::size_t m_maxReplyBytes;
    OverCap m_overCap;
    bool m_quiet = false;
    WaitingHook m_waitingHook;
    std::chrono::milliseconds m_waitingInterval{0};
};

#endif
