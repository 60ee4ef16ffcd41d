// The conversion server's request parser and name check under arbitrary bytes: whatever
// they accept must be exactly what the request format allows, and nothing but
// ConversionError may leave them.

#include "conversionerror.h"
#include "request.h"
#include "protocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace ConversionServer;

namespace {

[[noreturn]] void fail(const char* what, std::string_view text)
{
    std::fprintf(stderr, "%s: \"%.*s\" (%zu bytes)\n", what, static_cast<int>(text.size()), text.data(),
                 text.size());
    std::abort();
}

// Well-formed UTF-8 after the Unicode standard's table of byte ranges, written apart from
// the decoder under test.
bool referenceUtf8(std::string_view text)
{
    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const auto inRange = [&](std::size_t k, unsigned lo, unsigned hi) {
        return k < text.size() && at(k) >= lo && at(k) <= hi;
    };
    while (i < text.size()) {
        const unsigned b = at(i);
        if (b <= 0x7f) {
            i += 1;
        } else if (b >= 0xc2 && b <= 0xdf) {
            if (!inRange(i + 1, 0x80, 0xbf))
                return false;
            i += 2;
        } else if (b >= 0xe0 && b <= 0xef) {
            const unsigned lo = b == 0xe0 ? 0xa0 : 0x80;
            const unsigned hi = b == 0xed ? 0x9f : 0xbf;
            if (!inRange(i + 1, lo, hi) || !inRange(i + 2, 0x80, 0xbf))
                return false;
            i += 3;
        } else if (b >= 0xf0 && b <= 0xf4) {
            const unsigned lo = b == 0xf0 ? 0x90 : 0x80;
            const unsigned hi = b == 0xf4 ? 0x8f : 0xbf;
            if (!inRange(i + 1, lo, hi) || !inRange(i + 2, 0x80, 0xbf) || !inRange(i + 3, 0x80, 0xbf))
                return false;
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

bool plainText(std::string_view text)
{
    if (text.empty() || !referenceUtf8(text))
        return false;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            return false;
    }
    return true;
}

bool plainName(std::string_view name)
{
    return plainText(name) && name != "." && name != ".." && name.size() <= maxNameBytes
           && name.find_first_of("/\\:") == std::string_view::npos;
}

void checkName(std::string_view name)
{
    if (nameProblem(name).empty() != plainName(name))
        fail(plainName(name) ? "plain name refused" : "unsafe name accepted", name);
}

void checkRequest(std::string_view bytes)
{
    Request request;
    try {
        request = parseRequest(bytes);
    } catch (const ConversionError&) {
        return;
    }
    switch (request.kind) {
    case RequestKind::Probe:
        if (bytes != Protocol::probeRequest)
            fail("probe recognised in other bytes", bytes);
        return;
    case RequestKind::Stop:
        if (bytes != Protocol::stopRequest)
            fail("stop recognised in other bytes", bytes);
        return;
    case RequestKind::Conversion:
        break;
    }
    const ConversionRequest& c = request.conversion;
    const std::string rebuilt = c.figure + '#' + c.vendor + '#' + c.clothing + '#' + c.scriptPath + "#\n";
    if (rebuilt != bytes)
        fail("parsed fields do not make up the request", bytes);
    if (!plainText(c.figure) || c.figure.find_first_of("{}") != std::string::npos)
        fail("unsafe figure accepted", c.figure);
    if (!plainName(c.vendor))
        fail("unsafe vendor accepted", c.vendor);
    if (!plainName(c.clothing))
        fail("unsafe clothing accepted", c.clothing);
    if (!plainText(c.scriptPath) || c.scriptPath.front() != '/')
        fail("unsafe script path accepted", c.scriptPath);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (isValidUtf8(bytes) != referenceUtf8(bytes))
        fail("UTF-8 check differs from the reference", bytes);
    checkName(bytes);
    checkRequest(bytes);
    return 0;
}
