#include "conversionreply.h"

#include "orvstrings.h"
#include "protocol.h"

#include <algorithm>
#include <cctype>

std::string cleanConversionReply(std::string reply)
{
    const std::string separated =
        Orv::replaceAll(std::move(reply), std::string(1, Protocol::replyPathSeparator), "\\");
    return Orv::trimChars(separated, " \t\n");
}

bool isErrorReply(const std::string& cleanedReply)
{
    return cleanedReply == Protocol::errorReply;
}

std::string refusalReason(const std::string& relativePath)
{
    if (relativePath.empty())
        return "the server named no file";

    const auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    if (isSeparator(relativePath.front()))
        return "the path is absolute";

    // C0, DEL and C1: the reply is one byte per character, so bytes 0x80 to 0x9F are the
    // C1 controls (a line break, NEL, or a terminal's CSI) and no part of a file name.
    const bool hasControl = std::any_of(relativePath.begin(), relativePath.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || (byte >= 0x7f && byte <= 0x9f);
    });
    if (hasControl)
        return "the path holds control characters";

    std::size_t start = 0;
    while (start <= relativePath.size()) {
        std::size_t end = start;
        while (end < relativePath.size() && !isSeparator(relativePath[end]))
            ++end;
        if (relativePath.compare(start, end - start, "..") == 0)
            return "the path leaves its content directory";
        start = end + 1;
    }

    const std::string suffix = ".cr2";
    const bool isCharacterFile = relativePath.size() > suffix.size()
        && std::equal(suffix.rbegin(), suffix.rend(), relativePath.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    if (!isCharacterFile || isSeparator(relativePath[relativePath.size() - suffix.size() - 1]))
        return "the path does not name a character file (.cr2)";

    return std::string();
}
