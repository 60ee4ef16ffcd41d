#include "loopbackpeer.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/system/error_code.hpp>

#include <stdexcept>

namespace {

using boost::asio::ip::tcp;
using boost::system::error_code;

// How one asynchronous step ended.
struct Step
{
    bool done = false;
    error_code error;
    std::size_t bytes = 0;
};

// The completion handler of a step: accepting, reading or writing.
struct Completion
{
    Step& step;

    void operator()(const error_code& error, std::size_t bytes) const
    {
        step.error = error;
        step.bytes = bytes;
        step.done = true;
    }
    void operator()(const error_code& error) const { (*this)(error, 0); }
};

// Runs `context` until `step` is done or `patience` has passed. A step still running then
// is cancelled by `abandon` and run to its end, so that nothing it uses is touched later.
template <typename Abandon>
void await(boost::asio::io_context& context, const Step& step,
           std::chrono::steady_clock::duration patience, Abandon abandon)
{
    context.restart();
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!step.done && context.run_one_until(deadline) > 0) {
    }
    if (!step.done) {
        abandon();
        context.restart();
        while (!step.done && context.run_one() > 0) {
        }
    }
}

} // namespace

struct PeerConnection::Channel
{
    boost::asio::io_context& context;
    tcp::socket socket;

    // Waits at most the peer's patience for `step`; true when it succeeded.
    bool complete(const Step& step)
    {
        await(context, step, peerPatience, [this] {
            error_code ignored;
            socket.cancel(ignored);
        });
        return !step.error;
    }
};

struct LoopbackPeer::Listener
{
    boost::asio::io_context context;
    tcp::acceptor acceptor{context};
};

PeerConnection::PeerConnection(Channel& channel, std::shared_future<void> released)
    : m_channel(channel), m_released(std::move(released))
{
}

void PeerConnection::readRequest()
{
    while (received.find('\n') == std::string::npos && receiveSome()) {
    }
}

bool PeerConnection::send(const std::string& bytes)
{
    Step step;
    boost::asio::async_write(m_channel.socket, boost::asio::buffer(bytes), Completion{step});
    return m_channel.complete(step);
}

void PeerConnection::finishReply()
{
    error_code ignored;
    m_channel.socket.shutdown(tcp::socket::shutdown_send, ignored);
    while (receiveSome()) {
    }
}

void PeerConnection::awaitClose()
{
    while (receiveSome()) {
    }
}

void PeerConnection::reset()
{
    // Closing with a zero linger time sends a reset.
    error_code ignored;
    m_channel.socket.set_option(boost::asio::socket_base::linger(true, 0), ignored);
}

void PeerConnection::awaitRelease()
{
    m_released.wait_for(peerPatience);
}

bool PeerConnection::released(std::chrono::milliseconds wait)
{
    return m_released.wait_for(wait) == std::future_status::ready;
}

bool PeerConnection::receiveSome()
{
    char buffer[4096];
    Step step;
    m_channel.socket.async_read_some(boost::asio::buffer(buffer), Completion{step});
    const bool read = m_channel.complete(step);
    received.append(buffer, step.bytes);
    return read && step.bytes > 0;
}

LoopbackPeer::LoopbackPeer(Behaviour behaviour) : LoopbackPeer(std::move(behaviour), 0, 1) {}

LoopbackPeer::LoopbackPeer(Behaviour behaviour, unsigned int port, int connections)
    : m_listener(std::make_unique<Listener>())
    , m_released(m_release.get_future().share())
{
    tcp::acceptor& acceptor = m_listener->acceptor;
    error_code error;
    acceptor.open(tcp::v4(), error);
#ifndef _WIN32
    // A fixed port is free again at once after the previous test's peer; on Windows the
    // option would instead let two listeners share the port, and is not needed there.
    if (!error)
        acceptor.set_option(tcp::acceptor::reuse_address(true), error);
#endif
#ifdef _WIN32
    // Windows hands an inheritable socket to every program started meanwhile (the host a
    // test runs): the port would go on listening in that program after the peer closed it.
    const auto handle = reinterpret_cast<HANDLE>(static_cast<SOCKET>(acceptor.native_handle()));
    if (!error && !SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0))
        error = error_code(static_cast<int>(GetLastError()), boost::system::system_category());
#endif
    if (!error)
        acceptor.bind(tcp::endpoint(boost::asio::ip::address_v4::loopback(),
                                    static_cast<unsigned short>(port)),
                      error);
    if (!error)
        acceptor.listen(8, error);
    if (!error)
        m_port = acceptor.local_endpoint(error).port();
    if (error)
        throw std::runtime_error("cannot set up the loopback peer on port " + std::to_string(port)
                                 + ": " + error.message());
    m_thread = std::thread([this, connections, behaviour = std::move(behaviour)] {
        serve(behaviour, connections);
    });
}

LoopbackPeer::~LoopbackPeer()
{
    finish();
}

std::string LoopbackPeer::received()
{
    finish();
    const std::vector<std::string> all = requests();
    return all.empty() ? std::string() : all.front();
}

std::vector<std::string> LoopbackPeer::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void LoopbackPeer::finish()
{
    if (m_thread.joinable()) {
        m_stopping = true;
        m_release.set_value();
        m_thread.join();
    }
}

void LoopbackPeer::serve(const Behaviour& behaviour, int connections)
{
    boost::asio::io_context& context = m_listener->context;
    tcp::acceptor& acceptor = m_listener->acceptor;
    const auto deadline = std::chrono::steady_clock::now() + peerPatience;
    for (int served = 0; served < connections && !m_stopping;) {
        PeerConnection::Channel channel{context, tcp::socket(context)};
        Step accepted;
        acceptor.async_accept(channel.socket, Completion{accepted});
        // Short waits, so that the test's end stops the peer at once.
        const auto givingUp = [&] {
            return m_stopping || (connections == 1 && std::chrono::steady_clock::now() > deadline);
        };
        context.restart();
        while (!accepted.done && !givingUp())
            context.run_one_for(std::chrono::milliseconds(20));
        if (!accepted.done) {
            await(context, accepted, std::chrono::steady_clock::duration::zero(), [&acceptor] {
                error_code ignored;
                acceptor.cancel(ignored);
            });
            break;
        }
        if (accepted.error)
            continue;
        error_code ignored;
        // Nothing listens once the last connection is taken: a client that connects again
        // the moment it is answered is refused, never queued and then reset.
        if (served + 1 == connections)
            acceptor.close(ignored);
        PeerConnection connection(channel, m_released);
        behaviour(connection);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(connection.received);
        }
        channel.socket.close(ignored);
        ++served;
    }
    // Once done, nothing listens on the port any more: later connections are refused.
    error_code ignored;
    acceptor.close(ignored);
}

LoopbackPeer::Behaviour replyWith(std::string reply)
{
    return [reply = std::move(reply)](PeerConnection& connection) {
        connection.readRequest();
        connection.send(reply);
        connection.finishReply();
    };
}

LoopbackPeer::Behaviour answerWith(std::function<std::string(const std::string& request)> answer)
{
    return [answer = std::move(answer)](PeerConnection& connection) {
        connection.readRequest();
        connection.send(answer(connection.received));
        connection.finishReply();
    };
}

bool acceptsConnections(unsigned int port, std::chrono::milliseconds wait)
{
    boost::asio::io_context context;
    tcp::socket socket(context);
    bool connected = false;
    socket.async_connect(tcp::endpoint(boost::asio::ip::address_v4::loopback(),
                                       static_cast<unsigned short>(port)),
                         [&connected](const error_code& error) { connected = !error; });
    context.run_for(wait);
    error_code ignored;
    socket.close(ignored);
    return connected;
}
