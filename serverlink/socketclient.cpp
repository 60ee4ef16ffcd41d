#include "socketclient.h"

#include "orvlogging.h"
#include "orvstrings.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/system/error_code.hpp>
#include <boost/system/system_error.hpp>

#include <algorithm>
#include <array>
#include <utility>

namespace {

using boost::asio::ip::tcp;
using boost::system::error_code;
using boost::system::system_error;

// The reply is read in blocks of this size; each block costs two trace lines.
constexpr std::size_t readBlockBytes = 4096;

// Writes a step's trace line unless the client is quiet.
class Tracer
{
public:
    explicit Tracer(bool quiet) : m_quiet(quiet) {}

    void operator()(std::string message) const
    {
        if (!m_quiet)
            Orv::Logging::log(Orv::Logging::Debug, std::move(message));
    }

private:
    bool m_quiet;
};

// How one asynchronous step ended.
struct Outcome
{
    bool done = false;
    error_code error;
    std::size_t bytes = 0;
};

// A completion handler for a transfer that fills in `outcome`.
auto recorder(Outcome& outcome)
{
    return [&outcome](const error_code& error, std::size_t bytes) {
        outcome.error = error;
        outcome.bytes = bytes;
        outcome.done = true;
    };
}

// The connection, sending and reading of one request, all held to one deadline.
//
// Every step is started asynchronously and the context is run one handler at a time until
// the step completes. The deadline timer is pending throughout; when it fires it cancels
// whatever step is in flight and closes the socket, and that step then reports the
// time-out. (Under Wine, closing alone leaves a send in progress running until the peer
// reads or goes.) A blocking read would wait for good on a server that accepts and never
// closes, or that trickles bytes without end.
class BoundedExchange
{
public:
    BoundedExchange(boost::asio::io_context& context, std::chrono::milliseconds bound,
                    const SocketClient::WaitingHook& waiting, std::chrono::milliseconds interval,
                    Tracer trace)
        : m_context(context)
        , m_socket(context)
        , m_deadline(context, bound)
        , m_waiting(waiting)
        , m_interval(std::max(interval, std::chrono::milliseconds(1)))
        , m_nextTick(std::chrono::steady_clock::now() + m_interval)
        , m_trace(trace)
    {
        m_deadline.async_wait([this](const error_code& error) {
            if (error == boost::asio::error::operation_aborted)
                return;
            m_expired = true;
            error_code ignored;
            m_socket.cancel(ignored);
            m_socket.close(ignored);
        });
    }

    void connect(const tcp::endpoint& endpoint)
    {
        Outcome outcome;
        m_socket.async_connect(endpoint, [&outcome](const error_code& error) {
            outcome.error = error;
            outcome.done = true;
        });
        complete(outcome);
        if (outcome.error)
            throw system_error(outcome.error, "connect");
    }

    void send(const std::string& message)
    {
        Outcome outcome;
        boost::asio::async_write(m_socket, boost::asio::buffer(message),
                                 boost::asio::transfer_all(), recorder(outcome));
        complete(outcome);
        if (outcome.error)
            throw system_error(outcome.error, "write");
    }

    // Appends to `reply` every byte until the peer ends the stream or the connection
    // fails; which error ended it is not examined. No reply in use comes near the cap: a
    // peer that sends more must not make the host hold its stream in memory, so the
    // exchange ends there, refused or with what fits.
    void receive(std::string& reply, std::size_t maxReplyBytes, SocketClient::OverCap overCap)
    {
        std::array<char, readBlockBytes> block;
        for (;;) {
            Outcome outcome;
            boost::asio::async_read(m_socket, boost::asio::buffer(block),
                                    boost::asio::transfer_all(), recorder(outcome));
            complete(outcome);
            m_trace(" - Read " + Orv::toText(outcome.bytes) + " bytes");
            const std::size_t room = maxReplyBytes - reply.size();
            if (outcome.bytes > room && overCap == SocketClient::OverCap::Refuse) {
                error_code ignored;
                m_socket.close(ignored);
                throw system_error(
                    boost::system::errc::make_error_code(boost::system::errc::message_size),
                    "reply larger than " + Orv::toText(maxReplyBytes) + " bytes");
            }
            m_trace(" - Appending new bytes to response");
            reply.append(block.data(), std::min(outcome.bytes, room));
            if (outcome.error || (reply.size() == maxReplyBytes && overCap == SocketClient::OverCap::EndReply))
                return;
        }
    }

private:
    // Runs handlers until the step in flight has completed. The step and the deadline are
    // both pending, so the context never runs out of work before one of them finishes.
    // The waiting hook's ticks run across the steps, so a reply that arrives in small
    // pieces does not put them off.
    void complete(const Outcome& outcome)
    {
        while (!outcome.done) {
            const std::size_t ran = m_waiting ? m_context.run_one_until(m_nextTick) : m_context.run_one();
            if (outcome.done || (ran == 0 && m_context.stopped()))
                break;
            if (m_waiting && std::chrono::steady_clock::now() >= m_nextTick) {
                m_waiting();
                // A hook that took longer than a tick does not earn a burst of calls.
                m_nextTick = std::max(m_nextTick, std::chrono::steady_clock::now()) + m_interval;
            }
        }
        if (m_expired || !outcome.done)
            throw system_error(boost::asio::error::timed_out, "request");
    }

    boost::asio::io_context& m_context;
    tcp::socket m_socket;
    boost::asio::steady_timer m_deadline;
    bool m_expired = false;
    const SocketClient::WaitingHook& m_waiting;
    const std::chrono::milliseconds m_interval;
    std::chrono::steady_clock::time_point m_nextTick;
    Tracer m_trace;
};

} // namespace

SocketClient::SocketClient(std::string host, unsigned int port,
                           std::chrono::milliseconds timeout, std::size_t maxReplyBytes,
                           OverCap overCap)
    : m_host(std::move(host))
    , m_port(Orv::toText(port))
    , m_timeout(timeout)
    , m_maxReplyBytes(maxReplyBytes)
    , m_overCap(overCap)
{
}

void SocketClient::setQuiet(bool quiet)
{
    m_quiet = quiet;
}

void SocketClient::setWaitingHook(WaitingHook hook, std::chrono::milliseconds interval)
{
    m_waitingHook = std::move(hook);
    m_waitingInterval = interval;
}

std::string SocketClient::request(std::string message)
{
    const Tracer trace(m_quiet);
    trace("Setting up the socket");
    // One I/O context for the whole request: its resolver, its socket and its deadline.
    boost::asio::io_context context;
    // The lookup stays outside the bound: it cannot be abandoned part-way (the system
    // resolver is not cancellable), and the server's name is the local machine's.
    // No "configured addresses only" flag: loopback does not count as configured, so on a
    // machine with its network off that flag makes "localhost" unresolvable.
    tcp::endpoint endpoint;
    {
        tcp::resolver resolver(context);
        const tcp::resolver::results_type endpoints =
            resolver.resolve(tcp::v4(), m_host, m_port, tcp::resolver::flags());
        if (endpoints.empty())
            throw system_error(boost::asio::error::host_not_found, "resolve");
        endpoint = endpoints.begin()->endpoint();
    }

    trace("Connecting to the server");
    BoundedExchange exchange(context, m_timeout, m_waitingHook, m_waitingInterval, trace);
    // Only the first address is tried: the server listens on one.
    exchange.connect(endpoint);

    trace("Sending the request");
    exchange.send(message);

    trace("Initializing the response");
    std::string reply;

    trace("Reading the response");
    exchange.receive(reply, m_maxReplyBytes, m_overCap);

    trace("Done reading response");
    return reply;
}
