#ifndef GARBWRIGHT_COMMANDLINE_H
#define GARBWRIGHT_COMMANDLINE_H

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ConversionServer {

constexpr std::chrono::milliseconds defaultIdleTimeout{10000};

struct CommandLine
{
    unsigned short port;
    std::optional<std::filesystem::path> garments; // none: the library beside the program
    std::chrono::milliseconds idleTimeout = defaultIdleTimeout;
    bool helpRequested = false;
};

class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name: --port N, --garments DIR,
// --idle-timeout MS (each also as --name=value) and --help. Throws UsageError.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string usageText();

// "Garments" in the folder of the running program, found without help from the working
// folder or the arguments, which the plug-in does not set when it starts the server.
std::filesystem::path defaultGarmentLibrary();

} // namespace ConversionServer

#endif
