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

bool isHighSurrogate(char16_t unit)
{
    return unit >= 0xd800 && unit <= 0xdbff;
}

bool isLowSurrogate(char16_t unit)
{
    return unit >= 0xdc00 && unit <= 0xdfff;
}

void appendHex(std::string& out, const char* prefix, unsigned int code, int digitCount)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    out += prefix;
    for (int shift = 4 * (digitCount - 1); shift >= 0; shift -= 4)
        out += digits[(code >> shift) & 0xf];
}

// The code of the line or paragraph separator or bidirectional control that the three bytes
// at `bytes` encode, or 0. A text view breaks the line at the first two (U+2028, U+2029);
// the others (U+202A to U+202E, U+2066 to U+2069) reorder what follows them on the line.
unsigned int layoutControlAt(std::string_view bytes)
{
    if (bytes.size() < 3 || static_cast<unsigned char>(bytes[0]) != 0xe2)
        return 0;
    const auto second = static_cast<unsigned char>(bytes[1]);
    const auto third = static_cast<unsigned char>(bytes[2]);
    if ((second == 0x80 && third >= 0xa8 && third <= 0xae) || (second == 0x81 && third >= 0xa6 && third <= 0xa9))
        return 0x2000u | ((second & 0x3fu) << 6) | (third & 0x3fu);
    return 0;
}

std::size_t characterCount(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return !isContinuationByte(static_cast<unsigned char>(c));
    }));
}

// loggableText for a value of `characters` characters of which `text` holds only the
// first ones (more than `maxBytes` bytes of them when the value is longer than that).
std::string loggableStart(std::string_view text, std::size_t maxBytes, std::size_t characters)
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
            appendHex(out, "\\x", byte, 2);
        } else if (byte == 0xc2 && i + 1 < shown.size()
                   && static_cast<unsigned char>(shown[i + 1]) >= 0x80
                   && static_cast<unsigned char>(shown[i + 1]) <= 0x9f) {
            // U+0080 to U+009F, the C1 controls: terminals read some of them as escapes.
            appendHex(out, "\\x", static_cast<unsigned char>(shown[++i]), 2);
        } else if (const unsigned int code = layoutControlAt(shown.substr(i))) {
            appendHex(out, "\\u", code, 4);
            i += 2;
        } else {
            out += shown[i];
        }
    }

    if (shown.size() < text.size())
        out += " ... (" + toText(characters) + " characters)";
    return out;
}

} // namespace

std::string utf8Text(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1]))
            code = 0x10000 + ((code - 0xd800) << 10) + (text[++i] - 0xdc00u);
        else if (isHighSurrogate(text[i]) || isLowSurrogate(text[i]))
            code = 0xfffd;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xc0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xe0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        }
    }
    return out;
}

std::string loggableText(std::string_view text, std::size_t maxBytes)
{
    return loggableStart(text, maxBytes, text.size() > maxBytes ? characterCount(text) : 0);
}

std::string loggableText(std::u16string_view text, std::size_t maxBytes)
{
    // Every unit gives at least one byte, so the first maxBytes + 1 units, a pair kept whole,
    // give more than maxBytes bytes: the cut, and its mark, fall within them.
    std::size_t units = std::min(text.size(), maxBytes + 1);
    if (units < text.size() && isHighSurrogate(text[units - 1]) && isLowSurrogate(text[units]))
        ++units;
    if (units == text.size())
        return loggableText(utf8Text(text), maxBytes);
    std::size_t characters = text.size();
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (isLowSurrogate(text[i]) && isHighSurrogate(text[i - 1]))
            --characters;
    }
    return loggableStart(utf8Text(text.substr(0, units)), maxBytes, characters);
}

} // namespace Orv
