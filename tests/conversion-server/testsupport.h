#ifndef GARBWRIGHT_TESTS_CONVERSIONSERVER_TESTSUPPORT_H
#define GARBWRIGHT_TESTS_CONVERSIONSERVER_TESTSUPPORT_H

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace TestSupport {

using namespace std::chrono_literals;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TemporaryFolder
{
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

void writeFile(const std::filesystem::path& path, std::string_view text);
std::string readFile(const std::filesystem::path& path);

// Every regular file and link below the folder.
std::vector<std::filesystem::path> entriesBelow(const std::filesystem::path& folder);

// What a client got: every byte until the server closed, and whether it closed before the
// client gave up waiting.
struct Reply
{
    std::string bytes;
    bool closedByServer = false;
};

// Connects to 127.0.0.1:port, sends the bytes (then half-closes when asked) and reads until
// the server closes or the timeout passes.
Reply exchange(unsigned short port, std::string_view request, bool halfClose = false,
               std::chrono::milliseconds timeout = 5s);

// The built server program run as a child process, its standard error kept in a file.
// Whatever happens, the destructor leaves no process behind.
class ServerProcess
{
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the program with the arguments; the log goes to logFile.
    void start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& logFile);
    // Starts it on port 0 and waits for the port it announces; false when none came.
    bool startListening(const std::filesystem::path& program, std::vector<std::string> arguments,
                        const std::filesystem::path& logFile);

    unsigned short port() const { return m_port; }
    std::string log() const;

    // The exit status once the program has ended within the timeout.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = 5s);
    void signal(int number);

private:
    void kill();

    pid_t m_pid = -1;
    unsigned short m_port = 0;
    std::filesystem::path m_logFile;
};

} // namespace TestSupport

#endif
