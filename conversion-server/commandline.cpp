#include "commandline.h"

#include "logline.h"
#include "protocol.h"

#include <limits>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace ConversionServer {
namespace {

constexpr char garmentFolderName[] = "Garments";
constexpr unsigned long maxIdleTimeoutMs = 3600000;

// A decimal number within [minimum, maximum], digits only.
unsigned long number(const std::string& option, const std::string& text,
                     unsigned long minimum, unsigned long maximum)
{
    const auto bad = [&] {
        return UsageError(option + " needs a whole number from " + std::to_string(minimum)
                          + " to " + std::to_string(maximum) + ", not \""
                          + sanitisedForLog(text, 40) + "\"");
    };
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        throw bad();
    const unsigned long value = std::stoul(text);
    if (value < minimum || value > maximum)
        throw bad();
    return value;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine result{static_cast<unsigned short>(Protocol::serverPort), std::nullopt,
                       defaultIdleTimeout, false};
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::optional<std::string> value;
        if (const auto equals = option.find('='); option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.erase(equals);
        }
        if (option == "--help" || option == "-h") {
            result.helpRequested = true;
            continue;
        }
        if (option != "--port" && option != "--garments" && option != "--idle-timeout")
            throw UsageError("unknown argument \"" + sanitisedForLog(arguments[i], 60) + "\"");
        if (!value) {
            if (i + 1 == arguments.size())
                throw UsageError(option + " needs a value");
            value = arguments[++i];
        }
        if (option == "--port") {
            result.port = static_cast<unsigned short>(
                number(option, *value, 0, std::numeric_limits<unsigned short>::max()));
        } else if (option == "--garments") {
            if (value->empty())
                throw UsageError("--garments needs a folder");
            result.garments = fs::path(*value);
        } else {
            result.idleTimeout = std::chrono::milliseconds(number(option, *value, 1, maxIdleTimeoutMs));
        }
    }
    return result;
}

std::string usageText()
{
    return std::string("Usage: ") + programName
           + " [--port N] [--garments DIR] [--idle-timeout MS]\n"
             "  --port N           TCP port on 127.0.0.1 (default "
           + std::to_string(Protocol::serverPort)
           + "; 0 picks a free one)\n"
             "  --garments DIR     garment library (default: Garments beside the program)\n"
             "  --idle-timeout MS  time a client has to send its request (default "
           + std::to_string(defaultIdleTimeout.count()) + ")\n";
}

fs::path defaultGarmentLibrary()
{
#ifdef _WIN32
    // The module path, grown until it fits; long paths may exceed MAX_PATH.
    std::wstring name(260, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0)
            return fs::path(garmentFolderName);
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        name.resize(name.size() * 2);
    }
    const fs::path program(name);
#else
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return fs::path(garmentFolderName);
#endif
    return program.parent_path() / garmentFolderName;
}

} // namespace ConversionServer
