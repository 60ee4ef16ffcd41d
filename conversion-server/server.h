#ifndef GARBWRIGHT_CONVERSIONSERVER_SERVER_H
#define GARBWRIGHT_CONVERSIONSERVER_SERVER_H

#include "converter.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <cstddef>
#include <list>
#include <memory>

namespace ConversionServer {

struct ServerOptions
{
    unsigned short port = 0;
    // Time a client has to send its whole request, and then to take the reply.
    std::chrono::milliseconds idleTimeout{10000};
    // A request with no line feed within this many bytes is answered with the error reply.
    std::size_t maxRequestBytes = 64u * 1024u;
    // Connections served at once. When all are taken, one makes room for a new client:
    // the oldest that has sent nothing for at least minIdleBeforeDrop (the oldest of all
    // when every one is in the middle of a request). Until one may go, new clients wait in
    // the system's queue of the listening socket, never longer than minIdleBeforeDrop.
    std::size_t maxConnections = 64;
    // How long a client that has sent nothing yet keeps its connection, however many others
    // arrive: a client may connect first and write its request a moment later.
    std::chrono::milliseconds minIdleBeforeDrop{500};
};

// The TCP front of the converter, on 127.0.0.1 only: one request per connection, answered
// and closed. Clients are served concurrently on one thread; every wait on a client is
// bounded by the idle timeout. Ends on a stop request, SIGINT or SIGTERM by stopping the
// io_context it runs on.
class Connection;

class Server : public std::enable_shared_from_this<Server>
{
public:
    Server(boost::asio::io_context& io, const Converter& converter, ServerOptions options);

    // Binds and listens; throws boost::system::system_error (e.g. port in use).
    void listen();
    unsigned short port() const;

    // Starts accepting clients and watching for SIGINT and SIGTERM.
    void start();
    void stop();
    bool isStopping() const { return m_stopping; }

    const Converter& converter() const { return m_converter; }
    const ServerOptions& options() const { return m_options; }

    using ConnectionSlot = std::list<std::weak_ptr<Connection>>::iterator;
    // Called once by each connection when it starts, and once with the slot it was given
    // when it closes.
    ConnectionSlot connectionOpened(std::weak_ptr<Connection> connection);
    void connectionClosed(ConnectionSlot slot);

private:
    void accept();
    // How long until a connection may be dropped to make room for a new one (zero when
    // there is room, or one may go now).
    std::chrono::steady_clock::duration timeUntilRoom();
    void dropOneConnection();

    boost::asio::io_context& m_io;
    const Converter& m_converter;
    ServerOptions m_options;
    boost::asio::ip::tcp::acceptor m_acceptor;
    boost::asio::ip::tcp::endpoint m_acceptedPeer; // filled by the accept in progress
    boost::asio::signal_set m_signals;
    boost::asio::steady_timer m_acceptRetry;
    boost::asio::steady_timer m_roomWait; // runs while every slot is taken and none may go yet
    bool m_waitingForRoom = false;
    std::list<std::weak_ptr<Connection>> m_connections; // oldest first
    bool m_stopping = false;
};

} // namespace ConversionServer

#endif
