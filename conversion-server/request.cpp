#include "request.h"

#include "conversionerror.h"
#include "protocol.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace ConversionServer {
namespace {

constexpr std::size_t conversionFieldCount = 4;

// A continuation byte is 10xxxxxx.
bool isContinuation(unsigned char byte)
{
    return (byte & 0xc0) == 0x80;
}

// Checks a field that ends up as text in the converted file or in a path.
void checkText(std::string_view what, std::string_view value)
{
    if (value.empty())
        throw ConversionError(std::string(what) + " is empty");
    if (!isValidUtf8(value))
        throw ConversionError(std::string(what) + " is not UTF-8 text");
    if (hasControlCharacter(value))
        throw ConversionError(std::string(what) + " holds a control character");
}

} // namespace

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xe0) == 0xc0) {
            length = 2;
            codePoint = lead & 0x1f;
        } else if ((lead & 0xf0) == 0xe0) {
            length = 3;
            codePoint = lead & 0x0f;
        } else if ((lead & 0xf8) == 0xf0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            if (!isContinuation(byte))
                return false;
            codePoint = (codePoint << 6) | (byte & 0x3f);
        }
        static constexpr char32_t smallestForLength[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < smallestForLength[length] || codePoint > 0x10ffff
            || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false; // overlong form, beyond Unicode, or a surrogate
        i += length;
    }
    return true;
}

bool hasControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

std::string nameProblem(std::string_view name)
{
    if (name.empty())
        return "is empty";
    if (name == "." || name == "..")
        return "names a relative folder";
    if (name.find_first_of("/\\:") != std::string_view::npos)
        return "holds a path separator";
    if (!isValidUtf8(name))
        return "is not UTF-8 text";
    if (hasControlCharacter(name))
        return "holds a control character";
    if (name.size() > maxNameBytes)
        return "is longer than " + std::to_string(maxNameBytes) + " bytes";
    return {};
}

Request parseRequest(std::string_view request)
{
    if (request == Protocol::probeRequest)
        return Request{RequestKind::Probe, {}};
    if (request == Protocol::stopRequest)
        return Request{RequestKind::Stop, {}};

    if (request.empty() || request.back() != Protocol::requestTerminator)
        throw ConversionError("request does not end in a line feed");
    const std::string_view line = request.substr(0, request.size() - 1);
    if (line.find(Protocol::requestTerminator) != std::string_view::npos)
        throw ConversionError("request holds more than one line");
    if (line.find(Protocol::fieldTerminator) == std::string_view::npos)
        throw ConversionError("unknown request");

    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t end = line.find(Protocol::fieldTerminator, start);
        if (end == std::string_view::npos)
            throw ConversionError("text after the last field terminator");
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    if (fields.size() != conversionFieldCount)
        throw ConversionError("conversion request has " + std::to_string(fields.size())
                              + " fields instead of " + std::to_string(conversionFieldCount));

    ConversionRequest conversion{std::string(fields[0]), std::string(fields[1]),
                                 std::string(fields[2]), std::string(fields[3])};
    checkText("figure", conversion.figure);
    // The figure's name becomes a line of the converted file, whose blocks are braces.
    if (conversion.figure.find_first_of("{}") != std::string::npos)
        throw ConversionError("figure holds a brace");
    if (const std::string problem = nameProblem(conversion.vendor); !problem.empty())
        throw ConversionError("vendor " + problem);
    if (const std::string problem = nameProblem(conversion.clothing); !problem.empty())
        throw ConversionError("clothing " + problem);
    checkText("script path", conversion.scriptPath);
    // From the root: "/..." here, "C:\..." or "/..." (on the working folder's drive) on Windows.
    if (!std::filesystem::u8path(conversion.scriptPath).has_root_directory())
        throw ConversionError("script path is not absolute");
    return Request{RequestKind::Conversion, std::move(conversion)};
}

} // namespace ConversionServer
