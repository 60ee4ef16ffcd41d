#include "latin1.h"

namespace ConversionServer {

std::string latin1ToUtf8(std::string_view latin1)
{
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xc0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3f));
        }
    }
    return utf8;
}

std::optional<std::string> utf8ToLatin1(std::string_view utf8)
{
    std::string latin1;
    latin1.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            latin1 += utf8[i];
            continue;
        }
        // U+0080 to U+00FF are the two-byte forms led by 0xc2 and 0xc3.
        if ((byte != 0xc2 && byte != 0xc3) || i + 1 == utf8.size())
            return std::nullopt;
        const auto next = static_cast<unsigned char>(utf8[++i]);
        if ((next & 0xc0) != 0x80)
            return std::nullopt;
        latin1 += static_cast<char>(((byte & 0x03) << 6) | (next & 0x3f));
    }
    return latin1;
}

} // namespace ConversionServer
