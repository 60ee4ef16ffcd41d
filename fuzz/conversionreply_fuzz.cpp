// Feeds arbitrary server replies through the clean-up and the refusal rules, and checks
// that whatever the rules let through is a path the host may safely open.

#include "conversionreply.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

namespace {

[[noreturn]] void fail(const char* what, const std::string& text)
{
    std::fprintf(stderr, "%s: \"%s\" (%zu bytes)\n", what, text.c_str(), text.size());
    std::abort();
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Written apart from the rules under test: why a path that was accepted must not have
// been, or nullptr.
const char* unsafeAccepted(const std::string& path)
{
    if (path.empty())
        return "empty path accepted";
    if (isSeparator(path.front()))
        return "absolute path accepted";
    std::string component;
    for (char c : path) {
        if (isSeparator(c)) {
            if (component == "..")
                return "path with a '..' component accepted";
            component.clear();
        } else {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || (byte >= 0x7f && byte <= 0x9f))
                return "path with a control character accepted";
            component += c;
        }
    }
    // `component` now holds the last one: the file name.
    if (component == "..")
        return "path with a '..' component accepted";
    if (component.size() <= 4)
        return "path without a name before .cr2 accepted";
    std::string extension = component.substr(component.size() - 4);
    for (char& c : extension)
        c = lower(c);
    if (extension != ".cr2")
        return "path that is no .cr2 file accepted";
    return nullptr;
}

void checkPath(const std::string& path)
{
    if (refusalReason(path).empty()) {
        if (const char* problem = unsafeAccepted(path))
            fail(problem, path);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string reply(reinterpret_cast<const char*>(data), size);

    const std::string cleaned = cleanConversionReply(reply);
    if (!cleaned.empty() && (isBlank(cleaned.front()) || isBlank(cleaned.back())))
        fail("cleaned reply keeps a blank at an end", cleaned);
    if (cleaned.find(':') != std::string::npos)
        fail("cleaned reply keeps a ':'", cleaned);
    if (cleanConversionReply(cleaned) != cleaned)
        fail("cleaning is not idempotent", cleaned);
    if (isErrorReply(cleaned) && cleaned != "Error")
        fail("error reply recognised in other text", cleaned);

    // The server's reply as the module sees it, and raw text as a path in its own right.
    checkPath(cleaned);
    checkPath(reply);
    return 0;
}
