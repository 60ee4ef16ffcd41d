#ifndef ORV_STRINGS_H
#define ORV_STRINGS_H

// String helpers shared by the logging library, the server link and the conversion request.
// All text is 8-bit std::string, taken and returned by value.

#include <charconv>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

namespace Orv {

// Replaces every occurrence of `from` in `text` by `to`, left to right. The scan resumes
// after the inserted text, so a replacement that itself contains `from` is inserted once
// and never expanded again. An empty `from` leaves the text unchanged.
std::string replaceAll(std::string text, std::string from, std::string to);

// Strips characters found in `set`: first from the end while the last character is in
// the set, then from the front while the first character is.
std::string trimChars(std::string text, std::string set);

// The most of a value from outside that one log line shows.
constexpr std::size_t maxLoggedValueBytes = 4096;

// UTF-16 text, as Qt holds it, as UTF-8. Each surrogate that is not half of a pair becomes
// one U+FFFD, so that the text is the same whichever Qt converts it (Qt 4 drops a lone high
// surrogate and the character after it, Qt 5 writes '?').
std::string utf8Text(std::u16string_view text);

// A value from outside the module, made fit for one log line. `text` is UTF-8. Control
// characters (C0, DEL and C1) are written as "\xHH", and the line and paragraph separators
// and the bidirectional controls (U+2028 to U+202E, U+2066 to U+2069) as "\uHHHH", so that
// the value can neither start a line of its own, reorder the rest of its line, nor send
// codes to a terminal; a value longer than `maxBytes` keeps its start, cut at a character
// boundary, followed by " ... (N characters)". Any other text is returned unchanged.
std::string loggableText(std::string_view text, std::size_t maxBytes = maxLoggedValueBytes);

// The same for UTF-16 text (as utf8Text converts it). Only the start of a long value is
// converted, so a value of many megabytes costs little more than a count of its characters.
std::string loggableText(std::u16string_view text, std::size_t maxBytes = maxLoggedValueBytes);

namespace Detail {

// In-place form of replaceAll, for callers that format on a hot path and must not copy.
void replaceAllInPlace(std::string& text, std::string_view from, std::string_view to);

template <typename T>
constexpr bool isCharacterType =
    std::is_same_v<T, char> || std::is_same_v<T, signed char> || std::is_same_v<T, unsigned char>
    || std::is_same_v<T, wchar_t> || std::is_same_v<T, char16_t> || std::is_same_v<T, char32_t>;

} // namespace Detail

// The text that a default-constructed std::ostringstream produces for `value`: plain decimal
// for integers, general notation with six significant digits for doubles ("12.345",
// "3723.46", "2", "1e+06"), Boost's own output for a thread identifier.
//
// Integers and floating-point numbers skip the stream: std::to_chars with the "general"
// format and precision 6 is defined as printf's "%.6g" in the C locale, which is exactly
// what a default stream in the classic locale writes, at a fraction of the cost. Log lines
// are formatted on every call, so that cost matters. Every other type goes through a stream.
template <typename T>
std::string toText(const T& value)
{
    using Value = std::remove_cv_t<T>;
    if constexpr (std::is_integral_v<Value> && !std::is_same_v<Value, bool>
                  && !Detail::isCharacterType<Value>) {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return std::string(buffer, result.ptr);
    } else if constexpr (std::is_same_v<Value, double> || std::is_same_v<Value, float>) {
        // "-1.23457e+308" is the longest %.6g text; nan and inf are shorter.
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                          std::chars_format::general, 6);
        return std::string(buffer, result.ptr);
    } else {
        std::ostringstream stream;
        stream << value;
        return stream.str();
    }
}

} // namespace Orv

#endif
