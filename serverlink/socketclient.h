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
    // Does no network work. `timeout` bounds the whole exchange after the name lookup
    // (connecting, sending and reading the reply); `maxReplyBytes` is the largest reply
    // accepted before the exchange is abandoned.
    SocketClient(std::string host, unsigned int port,
                 std::chrono::milliseconds timeout = Protocol::conversionTimeout,
                 std::size_t maxReplyBytes = Protocol::maxReplyBytes);

    // Connects, sends exactly `message`, and returns every byte the server sends until it
    // closes the connection. A read error (reset, end of stream) only ends the reply.
    //
    // Raises boost::system::system_error when the host cannot be resolved, the connection
    // cannot be made or the message cannot be sent; with boost::asio::error::timed_out
    // when the bound passes first; with std::errc::message_size when the reply grows past
    // the cap. Each call is complete in itself: own connection, own I/O objects.
    std::string request(std::string message);

    // Called every `interval` on the calling thread while request() waits on the server
    // (connecting, sending, reading), so that the caller can keep its user interface alive.
    // It changes nothing about the exchange; it should not raise (what it raises passes
    // out of request() unchanged). An empty hook (the default) is never called.
    using WaitingHook = std::function<void()>;
    void setWaitingHook(WaitingHook hook, std::chrono::milliseconds interval);

private:
    std::string m_host;
    std::string m_port;
    std::chrono::milliseconds m_timeout;
    std::size_t m_maxReplyBytes;
    WaitingHook m_waitingHook;
    std::chrono::milliseconds m_waitingInterval{0};
};

#endif
