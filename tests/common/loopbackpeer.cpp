#include "loopbackpeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

PeerConnection::PeerConnection(int fd, std::shared_future<void> released)
    : m_fd(fd), m_released(std::move(released))
{
}

void PeerConnection::readRequest()
{
    while (received.find('\n') == std::string::npos && receiveSome()) {
    }
}

bool PeerConnection::send(const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void PeerConnection::finishReply()
{
    ::shutdown(m_fd, SHUT_WR);
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
    const linger abortive{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
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
    const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    received.append(buffer, static_cast<std::size_t>(n));
    return true;
}

LoopbackPeer::LoopbackPeer(Behaviour behaviour) : LoopbackPeer(std::move(behaviour), 0, 1) {}

LoopbackPeer::LoopbackPeer(Behaviour behaviour, unsigned int port, int connections)
    : m_released(m_release.get_future().share())
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int reuse = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0
        || ::listen(m_listener, 8) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (m_listener >= 0)
            ::close(m_listener);
        throw std::runtime_error("cannot set up the loopback peer on port " + std::to_string(port));
    }
    m_port = ntohs(address.sin_port);
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
    const auto deadline = std::chrono::steady_clock::now() + peerPatience;
    for (int served = 0; served < connections && !m_stopping;) {
        // Short polls, so that the test's end stops the peer at once.
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 20) != 1) {
            if (connections == 1 && std::chrono::steady_clock::now() > deadline)
                break;
            continue;
        }
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0)
            continue;
        const timeval patience{static_cast<time_t>(peerPatience.count()), 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
        PeerConnection connection(fd, m_released);
        behaviour(connection);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(connection.received);
        }
        ::close(fd);
        ++served;
    }
    // Once done, nothing listens on the port any more: later connections are refused.
    ::close(m_listener);
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
