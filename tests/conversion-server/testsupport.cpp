#include "testsupport.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address_v4.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <array>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

namespace fs = std::filesystem;
namespace asio = boost::asio;
using boost::asio::ip::tcp;

extern char** environ;

namespace TestSupport {

TemporaryFolder::TemporaryFolder()
{
    std::string pattern = (fs::temp_directory_path() / "garbwright-server-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

void writeFile(const fs::path& path, std::string_view text)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> entriesBelow(const fs::path& folder)
{
    std::vector<fs::path> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_directory() || entry.is_symlink())
            entries.push_back(entry.path());
    return entries;
}

Reply exchange(unsigned short port, std::string_view request, bool halfClose,
               std::chrono::milliseconds timeout)
{
    asio::io_context io;
    tcp::socket socket(io);
    socket.connect(tcp::endpoint(asio::ip::address_v4::loopback(), port));
    Reply reply;
    std::array<char, 4096> chunk{};
    std::function<void()> readMore = [&] {
        socket.async_read_some(asio::buffer(chunk), [&](const boost::system::error_code& error,
                                                        std::size_t count) {
            reply.bytes.append(chunk.data(), count);
            if (error)
                reply.closedByServer = true;
            else
                readMore();
        });
    };
    // Reading starts at once, so that a server answering before the whole request is in
    // (an oversized one) is heard.
    readMore();
    asio::async_write(socket, asio::buffer(request.data(), request.size()),
                      [&](const boost::system::error_code& error, std::size_t) {
                          if (!error && halfClose) {
                              boost::system::error_code ignored;
                              socket.shutdown(tcp::socket::shutdown_send, ignored);
                          }
                      });
    io.run_for(timeout);
    return reply;
}

ServerProcess::~ServerProcess()
{
    kill();
}

void ServerProcess::start(const fs::path& program, const std::vector<std::string>& arguments,
                          const fs::path& logFile)
{
    kill();
    m_logFile = logFile;
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int result = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        m_pid = -1;
        throw std::runtime_error("cannot start " + program.string());
    }
}

bool ServerProcess::startListening(const fs::path& program, std::vector<std::string> arguments,
                                   const fs::path& logFile)
{
    arguments.insert(arguments.begin(), {"--port", "0"});
    start(program, arguments, logFile);
    static const std::regex listening("garbwright-server: listening on 127\\.0\\.0\\.1:([0-9]+)\n");
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::smatch match;
        const std::string text = log();
        if (std::regex_search(text, match, listening)) {
            m_port = static_cast<unsigned short>(std::stoul(match[1]));
            return true;
        }
        if (waitForExit(0ms))
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

std::string ServerProcess::log() const
{
    return readFile(m_logFile);
}

std::optional<int> ServerProcess::waitForExit(std::chrono::milliseconds timeout)
{
    if (m_pid < 0)
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(10ms);
    }
}

void ServerProcess::signal(int number)
{
    if (m_pid > 0)
        ::kill(m_pid, number);
}

void ServerProcess::kill()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

} // namespace TestSupport
