#include "server.h"

#include "latin1.h"
#include "logline.h"
#include "protocol.h"

#include <boost/asio/ip/address_v4.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <array>
#include <csignal>
#include <optional>
#include <string>

namespace asio = boost::asio;
using boost::asio::ip::tcp;
using boost::system::error_code;

namespace ConversionServer {
namespace {

// After the reply the server half-closes and waits briefly for the client to close, so
// that bytes the client sent beyond its request do not turn the close into a reset that
// could destroy the reply before the client reads it.
constexpr std::chrono::milliseconds maxLinger{2000};
// Pause before accepting again after the system refused a connection (e.g. no free file
// descriptors), so the refusal does not become a busy loop.
constexpr std::chrono::milliseconds acceptRetryDelay{100};

// The converter works in the system's encoding; the wire carries Latin-1 both ways.
Outcome handleWireRequest(const Converter& converter, std::string_view request)
{
    Outcome outcome = converter.handle(latin1ToUtf8(request));
    std::optional<std::string> reply = utf8ToLatin1(outcome.reply);
    if (!reply)
        return Outcome{Converter::errorReply(), outcome.summary + "; the reply cannot be sent as Latin-1 text",
                       false};
    outcome.reply = std::move(*reply);
    return outcome;
}

std::string signalName(int number)
{
    switch (number) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    default:
        return "signal " + std::to_string(number);
    }
}

} // namespace

// One client: read one line, answer, close. Every step runs under a deadline.
class Connection : public std::enable_shared_from_this<Connection>
{
public:
    Connection(tcp::socket socket, const tcp::endpoint& peer, std::shared_ptr<Server> server)
        : m_socket(std::move(socket)),
          m_timer(m_socket.get_executor()),
          m_server(std::move(server)),
          m_peer(peer.address().to_string() + ":" + std::to_string(peer.port())),
          m_openedAt(std::chrono::steady_clock::now())
    {
    }

    void start()
    {
        m_slot = m_server->connectionOpened(weak_from_this());
        armDeadline(m_server->options().idleTimeout);
        readRequest();
    }

    // True until the client has sent its first byte: dropping it then loses nothing.
    bool isIdle() const { return m_phase == Phase::Reading && m_request.empty(); }
    std::chrono::steady_clock::time_point openedAt() const { return m_openedAt; }

    // Ends the connection at once, whatever it was doing.
    void drop(const std::string& why)
    {
        if (m_phase == Phase::Closed)
            return;
        log("dropped: " + why);
        close();
    }

private:
    enum class Phase { Reading, Writing, Lingering, Closed };

    void armDeadline(std::chrono::milliseconds timeout)
    {
        const unsigned generation = ++m_deadlineGeneration;
        m_timer.expires_after(timeout);
        m_timer.async_wait([self = shared_from_this(), generation](const error_code& error) {
            if (!error && generation == self->m_deadlineGeneration)
                self->onDeadline();
        });
    }

    void readRequest()
    {
        m_socket.async_read_some(asio::buffer(m_chunk),
                                 [self = shared_from_this()](const error_code& error, std::size_t count) {
                                     self->onRead(error, count);
                                 });
    }

    void onRead(const error_code& error, std::size_t count)
    {
        if (m_phase != Phase::Reading)
            return;
        if (error) {
            if (m_request.empty()) {
                log("closed without a request (" + error.message() + ")");
                close();
            } else {
                answerError("unterminated request (" + error.message() + ")");
            }
            return;
        }
        const std::size_t limit = m_server->options().maxRequestBytes;
        const std::size_t searchFrom = m_request.size();
        m_request.append(m_chunk.data(), count);
        const std::size_t end = m_request.find(Protocol::requestTerminator, searchFrom);
        if (end != std::string::npos && end < limit) {
            m_request.resize(end + 1); // anything after the line is not part of the request
            answer(handleWireRequest(m_server->converter(), m_request));
        } else if (m_request.size() >= limit) {
            answerError("no line feed within " + std::to_string(limit) + " bytes");
        } else {
            readRequest();
        }
    }

    void onDeadline()
    {
        switch (m_phase) {
        case Phase::Reading:
            if (m_request.empty()) {
                log("dropped: no request within " + std::to_string(m_server->options().idleTimeout.count())
                    + " ms");
                close();
            } else {
                error_code ignored;
                m_socket.cancel(ignored); // the pending read; the error reply goes out next
                answerError("request not finished within "
                            + std::to_string(m_server->options().idleTimeout.count()) + " ms");
            }
            break;
        case Phase::Writing:
            log("dropped: reply not taken in time");
            close();
            break;
        case Phase::Lingering:
        case Phase::Closed:
            close();
            break;
        }
    }

    void answerError(const std::string& why)
    {
        answer(Outcome{Converter::errorReply(), "Error: " + why, false});
    }

    void answer(Outcome outcome)
    {
        const std::size_t shownBytes = 200;
        log("request \"" + sanitisedForLog(m_request, shownBytes) + "\" -> "
            + sanitisedForLog(outcome.summary, 2 * shownBytes));
        if (outcome.reply.empty()) {
            close();
            return;
        }
        m_phase = Phase::Writing;
        m_reply = std::move(outcome.reply);
        m_stopAfterReply = outcome.stopRequested;
        armDeadline(m_server->options().idleTimeout);
        asio::async_write(m_socket, asio::buffer(m_reply),
                          [self = shared_from_this()](const error_code& error, std::size_t) {
                              self->onWritten(error);
                          });
    }

    void onWritten(const error_code& error)
    {
        if (m_phase != Phase::Writing)
            return;
        if (error) {
            log("reply not delivered (" + error.message() + ")");
            close();
        } else if (m_stopAfterReply) {
            close();
            m_server->stop();
        } else {
            error_code ignored;
            m_socket.shutdown(tcp::socket::shutdown_send, ignored);
            m_phase = Phase::Lingering;
            armDeadline(std::min(maxLinger, m_server->options().idleTimeout));
            linger();
        }
    }

    void linger()
    {
        m_socket.async_read_some(asio::buffer(m_chunk),
                                 [self = shared_from_this()](const error_code& error, std::size_t) {
                                     if (self->m_phase != Phase::Lingering)
                                         return;
                                     if (error)
                                         self->close();
                                     else
                                         self->linger();
                                 });
    }

    void close()
    {
        if (m_phase == Phase::Closed)
            return;
        m_phase = Phase::Closed;
        ++m_deadlineGeneration;
        m_timer.cancel();
        error_code ignored;
        m_socket.shutdown(tcp::socket::shutdown_both, ignored);
        m_socket.close(ignored);
        m_server->connectionClosed(m_slot);
    }

    void log(const std::string& text) const { logLine(m_peer + " " + text); }

    tcp::socket m_socket;
    asio::steady_timer m_timer;
    std::shared_ptr<Server> m_server;
    std::string m_peer;
    std::array<char, 4096> m_chunk{};
    std::string m_request;
    std::string m_reply;
    Phase m_phase = Phase::Reading;
    bool m_stopAfterReply = false;
    unsigned m_deadlineGeneration = 0;
    Server::ConnectionSlot m_slot;
    std::chrono::steady_clock::time_point m_openedAt;
};

Server::Server(asio::io_context& io, const Converter& converter, ServerOptions options)
    : m_io(io),
      m_converter(converter),
      m_options(options),
      m_acceptor(io),
      m_signals(io, SIGINT, SIGTERM),
      m_acceptRetry(io),
      m_roomWait(io)
{
}

void Server::listen()
{
    const tcp::endpoint endpoint(asio::ip::address_v4::loopback(), m_options.port);
    m_acceptor.open(endpoint.protocol());
    // Lets a restarted server take its port back while old connections linger in
    // TIME_WAIT; on Linux it never lets two servers listen on one port.
    m_acceptor.set_option(tcp::acceptor::reuse_address(true));
    m_acceptor.bind(endpoint);
    m_acceptor.listen();
}

unsigned short Server::port() const
{
    error_code error;
    const tcp::endpoint endpoint = m_acceptor.local_endpoint(error);
    return error ? 0 : endpoint.port();
}

void Server::start()
{
    m_signals.async_wait([self = shared_from_this()](const error_code& error, int number) {
        if (error)
            return;
        logLine("stopping on " + signalName(number));
        self->stop();
    });
    accept();
}

void Server::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    error_code ignored;
    m_acceptor.close(ignored);
    m_signals.cancel(ignored);
    m_acceptRetry.cancel();
    m_roomWait.cancel();
    m_io.stop();
}

Server::ConnectionSlot Server::connectionOpened(std::weak_ptr<Connection> connection)
{
    return m_connections.insert(m_connections.end(), std::move(connection));
}

void Server::connectionClosed(ConnectionSlot slot)
{
    m_connections.erase(slot);
    if (m_waitingForRoom)
        m_roomWait.cancel(); // there is room now
}

std::chrono::steady_clock::duration Server::timeUntilRoom()
{
    // Connections already gone without closing (the server is ending) only hold a slot.
    m_connections.remove_if([](const std::weak_ptr<Connection>& connection) { return connection.expired(); });
    if (m_connections.size() < m_options.maxConnections)
        return {};
    // The first idle connection in the list has waited longest.
    for (const std::weak_ptr<Connection>& connection : m_connections) {
        const std::shared_ptr<Connection> candidate = connection.lock();
        if (candidate && candidate->isIdle())
            return std::max(std::chrono::steady_clock::duration{},
                            candidate->openedAt() + m_options.minIdleBeforeDrop - std::chrono::steady_clock::now());
    }
    return {};
}

void Server::dropOneConnection()
{
    m_connections.remove_if([](const std::weak_ptr<Connection>& connection) { return connection.expired(); });
    if (m_connections.empty())
        return;
    // The oldest that has sent nothing for a while, so that a client slow to send loses
    // nothing; the oldest of all only when every client is in the middle of a request.
    std::shared_ptr<Connection> chosen;
    bool anyIdle = false;
    const auto longAgo = std::chrono::steady_clock::now() - m_options.minIdleBeforeDrop;
    for (const std::weak_ptr<Connection>& connection : m_connections) {
        const std::shared_ptr<Connection> candidate = connection.lock();
        if (candidate && candidate->isIdle()) {
            anyIdle = true;
            if (candidate->openedAt() <= longAgo) {
                chosen = candidate;
                break;
            }
        }
    }
    if (!chosen && !anyIdle)
        chosen = m_connections.front().lock();
    // Otherwise the one that waited for room started to send meanwhile: the new client is
    // served beside the others, one over the count, and the next one waits.
    if (chosen)
        chosen->drop(std::to_string(m_connections.size()) + " connections open, making room for a new one");
}

void Server::accept()
{
    const std::chrono::steady_clock::duration wait = timeUntilRoom();
    if (wait > std::chrono::steady_clock::duration{}) {
        // Every slot is held, by clients that connected only a moment ago among others:
        // the next client waits in the system's queue until one of them may go, or a
        // connection ends.
        m_waitingForRoom = true;
        m_roomWait.expires_after(wait);
        m_roomWait.async_wait([self = shared_from_this()](const error_code&) {
            self->m_waitingForRoom = false;
            if (!self->m_stopping)
                self->accept();
        });
        return;
    }
    m_acceptor.async_accept(m_acceptedPeer, [self = shared_from_this()](const error_code& error,
                                                                       tcp::socket socket) {
        if (self->m_stopping || !self->m_acceptor.is_open())
            return;
        if (error) {
            logLine("cannot accept a connection: " + error.message());
            self->m_acceptRetry.expires_after(acceptRetryDelay);
            self->m_acceptRetry.async_wait([self](const error_code& waitError) {
                if (!waitError && !self->m_stopping)
                    self->accept();
            });
            return;
        }
        // Idle clients must not hide the server from a new one (a probe, say): one of them
        // makes room. Each connection is bounded in time anyway; this bounds their number.
        if (self->m_connections.size() >= self->m_options.maxConnections)
            self->dropOneConnection();
        std::make_shared<Connection>(std::move(socket), self->m_acceptedPeer, self)->start();
        self->accept();
    });
}

} // namespace ConversionServer
