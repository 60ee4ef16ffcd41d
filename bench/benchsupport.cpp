#include "benchsupport.h"
#include "dzappcontrol.h"

#include "dzapplogger.h"
#include "orvlogging.h"

#include <boost/asio/io_service.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/system/error_code.hpp>
#include <boost/system/system_error.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <utility>
#include <vector>

namespace Bench {

namespace {

// A peer on the loopback answers at once; anything slower than this is a broken benchmark.
constexpr time_t plainClientPatienceSeconds = 30;
// Both baseline clients read in blocks of the size SocketClient reads.
constexpr std::size_t readBlockBytes = 4096;

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

std::string secondsCounter(const std::string& baseline)
{
    return baseline + "_s";
}

std::string ratioCounter(const std::string& baseline)
{
    return "vs_" + baseline;
}

Pairing::Pairing(std::vector<std::string> baselines)
    : m_names(std::move(baselines)), m_baselines(m_names.size(), 0.0)
{
}

const std::vector<std::size_t>& Pairing::nextOrder(std::size_t sides)
{
    if (sides != m_names.size() + 1)
        throw std::logic_error("a pairing measured with another number of baselines than it names");
    if (m_order.size() != sides) {
        m_order.resize(sides);
        std::iota(m_order.begin(), m_order.end(), std::size_t{0});
    } else {
        std::next_permutation(m_order.begin(), m_order.end());
    }
    return m_order;
}

void Pairing::record(benchmark::State& state, const double* seconds, std::size_t sides)
{
    for (std::size_t i = 0; i + 1 < sides; ++i)
        m_baselines[i] += seconds[i];
    m_module += seconds[sides - 1];
    ++m_rounds;
    state.SetIterationTime(seconds[sides - 1]);
}

void Pairing::report(benchmark::State& state, int callsPerIteration) const
{
    if (m_rounds == 0)
        return;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (m_baselines[i] <= 0)
            continue;
        state.counters[secondsCounter(m_names[i])] =
            benchmark::Counter(m_baselines[i] / static_cast<double>(m_rounds * callsPerIteration));
        state.counters[ratioCounter(m_names[i])] = benchmark::Counter(m_module / m_baselines[i]);
    }
}

HostLog::HostLog() : m_previous(dzApp)
{
    DzAppControl(m_app).setLogWriter([](const QString&) {});
    DzAppControl(m_app).setDialogMode(DzAppControl::AcceptDialogs);
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
    char block[readBlockBytes];
    for (;;) {
        const ssize_t n = ::recv(fd, block, sizeof block, 0);
        if (n <= 0)
            break;
        reply.append(block, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return reply;
}

std::string designExchange(const std::string& host, unsigned int port, const std::string& request)
{
    using boost::asio::ip::tcp;
    boost::asio::io_service ioService;
    tcp::resolver resolver(ioService);
    const tcp::resolver::query query(tcp::v4(), host, std::to_string(port));
    const tcp::resolver::iterator endpoints = resolver.resolve(query);
    if (endpoints == tcp::resolver::iterator())
        throw boost::system::system_error(boost::asio::error::host_not_found, "resolve");
    tcp::socket socket(ioService);
    socket.connect(*endpoints);
    boost::asio::write(socket, boost::asio::buffer(request), boost::asio::transfer_all());

    // No deadline of its own: the benchmarks' peer bounds every wait it makes and closes
    // each connection once it has answered, which ends this loop.
    std::string reply;
    std::array<char, readBlockBytes> block;
    boost::system::error_code error;
    while (!error) {
        const std::size_t n =
            boost::asio::read(socket, boost::asio::buffer(block), boost::asio::transfer_all(), error);
        reply.append(block.data(), n);
    }
    return reply;
}

} // namespace Bench
