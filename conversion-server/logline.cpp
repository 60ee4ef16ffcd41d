#include "logline.h"

#include <cstdio>

namespace ConversionServer {

std::string sanitisedForLog(std::string_view text, std::size_t maxBytes)
{
    static constexpr char hexDigits[] = "0123456789abcdef";
    const std::string_view shown = text.substr(0, maxBytes);
    std::string result;
    result.reserve(shown.size() + 16);
    for (const char c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            result += '\\';
            result += c;
        } else if (byte >= 0x20 && byte < 0x7f) {
            result += c;
        } else {
            result += "\\x";
            result += hexDigits[byte >> 4];
            result += hexDigits[byte & 0x0f];
        }
    }
    if (shown.size() < text.size())
        result += "...(" + std::to_string(text.size()) + " bytes)";
    return result;
}

void logLine(std::string_view message) noexcept
{
    // stdio rather than iostreams: one fwrite per line, no exceptions, no locale.
    try {
        std::string line;
        line.reserve(message.size() + sizeof programName + 3);
        line += programName;
        line += ": ";
        line += message;
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    } catch (...) {
    }
}

} // namespace ConversionServer
