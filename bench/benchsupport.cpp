#include "benchsupport.h"

#include "dzapplogger.h"
#include "orvlogging.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace Bench {

namespace {

// A peer on the loopback answers at once; anything slower than this is a broken benchmark.
constexpr time_t plainClientPatienceSeconds = 30;
constexpr std::size_t plainReadBlockBytes = 4096;

std::vector<Comparison>& registry()
{
    static std::vector<Comparison> comparisons;
    return comparisons;
}

} // namespace

void compare(Comparison comparison)
{
    registry().push_back(std::move(comparison));
}

const std::vector<Comparison>& comparisons()
{
    return registry();
}

HostLog::HostLog() : m_previous(dzApp)
{
    m_app.setLogWriter([](const QString&) {});
    m_app.setDialogMode(DzApp::AcceptDialogs);
    dzApp = &m_app;
}

HostLog::~HostLog()
{
    dzApp = m_previous;
}

void installHostSink()
{
    static const bool installed = [] {
        Orv::Logging::rootLogger.add(std::make_shared<DzAppLogger>(Orv::Logging::Debug));
        return true;
    }();
    (void)installed;
}

std::string plainExchange(unsigned int port, const std::string& request)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    const timeval patience{plainClientPatienceSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error(std::string("connect: ") + std::strerror(error));
    }
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            const int error = errno;
            ::close(fd);
            throw std::runtime_error(std::string("send: ") + std::strerror(error));
        }
        sent += static_cast<std::size_t>(n);
    }
    // A fresh string for every reply, grown block by block as SocketClient grows its own.
    std::string reply;
    char block[plainReadBlockBytes];
    for (;;) {
        const ssize_t n = ::recv(fd, block, sizeof block, 0);
        if (n <= 0)
            break;
        reply.append(block, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return reply;
}

} // namespace Bench
