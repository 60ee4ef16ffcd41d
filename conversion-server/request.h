#ifndef GARBWRIGHT_REQUEST_H
#define GARBWRIGHT_REQUEST_H

#include "contentfolder.h"
#include "safefolder.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace ConversionServer {

// Longest vendor or clothing name accepted: the converted file's name is the clothing name
// plus its extension, and it is written under a temporary name longer still, which must
// fit in one directory entry. Every name accepted here can be written.
constexpr std::size_t maxNameBytes = maxReplacedNameBytes - (sizeof(convertedExtension) - 1);

enum class RequestKind { Probe, Stop, Conversion };

struct ConversionRequest
{
    std::string figure;
    std::string vendor;
    std::string clothing;
    std::string scriptPath;
};

struct Request
{
    RequestKind kind = RequestKind::Probe;
    ConversionRequest conversion; // set for RequestKind::Conversion only
};

// Reads one request: all the bytes received, its line feed included. A conversion is
// "figure#vendor#clothing#scriptPath#" and the line feed: four non-empty fields, each
// followed by '#', nothing after the last one. Every field is checked here, so that what
// comes out is safe to use: text without control characters, vendor and clothing usable
// as single path components, an absolute script path. Throws ConversionError otherwise.
Request parseRequest(std::string_view request);

// Why the text cannot be a single path component inside a folder the server controls
// (empty, "." or "..", a separator, a control character, not UTF-8, too long); an empty
// result means it can.
std::string nameProblem(std::string_view name);

bool isValidUtf8(std::string_view text);

// True when the text holds a byte below 0x20 or the byte 0x7f.
bool hasControlCharacter(std::string_view text);

} // namespace ConversionServer

#endif
