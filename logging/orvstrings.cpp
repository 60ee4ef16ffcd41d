#include "orvstrings.h"

#include <algorithm>

namespace Orv {

namespace Detail {

void replaceAllInPlace(std::string& text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return;
    std::string::size_type position = text.find(from);
    while (position != std::string::npos) {
        text.replace(position, from.size(), to);
        position = text.find(from, position + to.size());
    }
}

} // namespace Detail

std::string replaceAll(std::string text, std::string from, std::string to)
{
    Detail::replaceAllInPlace(text, from, to);
    return text;
}

std::string trimChars(std::string text, std::string set)
{
    text.erase(text.find_last_not_of(set) + 1);
    text.erase(0, text.find_first_not_of(set));
    return text;
}

namespace {

bool isContinuationByte(unsigned char byte)
{
    return (byte & 0xc0) == 0x80;
}

void appendEscaped(std::string& out, unsigned int code)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    out += "\\x";
    out += digits[(code >> 4) & 0xf];
    out += digits[code & 0xf];
}

std::size_t characterCount(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return !isContinuationByte(static_cast<unsigned char>(c));
    }));
}

} // namespace

std::string loggableText(std::string_view text, std::size_t maxBytes)
{
    return loggableText(text, maxBytes, text.size() > maxBytes ? characterCount(text) : 0);
}

std::string loggableText(std::string_view text, std::size_t maxBytes, std::size_t characters)
{
    std::string_view shown = text;
    if (text.size() > maxBytes) {
        std::size_t cut = maxBytes;
        while (cut > 0 && isContinuationByte(static_cast<unsigned char>(text[cut])))
            --cut;
        shown = text.substr(0, cut);
    }

    std::string out;
    out.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto byte = static_cast<unsigned char>(shown[i]);
        if (byte < 0x20 || byte == 0x7f) {
            appendEscaped(out, byte);
        } else if (byte == 0xc2 && i + 1 < shown.size()
                   && static_cast<unsigned char>(shown[i + 1]) >= 0x80
                   && static_cast<unsigned char>(shown[i + 1]) <= 0x9f) {
            // U+0080 to U+009F, the C1 controls: terminals read some of them as escapes.
            appendEscaped(out, static_cast<unsigned char>(shown[++i]));
        } else {
            out += shown[i];
        }
    }

    if (shown.size() < text.size())
        out += " ... (" + toText(characters) + " characters)";
    return out;
}

} // namespace Orv
