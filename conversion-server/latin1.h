#ifndef GARBWRIGHT_LATIN1_H
#define GARBWRIGHT_LATIN1_H

#include <optional>
#include <string>
#include <string_view>

namespace ConversionServer {

// Requests and replies are 8-bit text, one byte per character (Latin-1), as the plug-in's
// host writes and reads them; names on disk are in the system's encoding, UTF-8.

// Every byte becomes the character of the same number.
std::string latin1ToUtf8(std::string_view latin1);

// The Latin-1 bytes of UTF-8 text, or nothing when the text holds a character above U+00FF
// (or is not UTF-8), which the wire cannot carry.
std::optional<std::string> utf8ToLatin1(std::string_view utf8);

} // namespace ConversionServer

#endif
