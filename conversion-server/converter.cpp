#include "converter.h"

#include "contentfolder.h"
#include "conversionerror.h"
#include "cr2file.h"
#include "protocol.h"

#include <exception>

namespace fs = std::filesystem;

namespace ConversionServer {
namespace {

constexpr char serverTitle[] = "Garbwright Server " GARBWRIGHT_SERVER_VERSION;
// Replies are single lines, ended the way requests are.
constexpr char replyLineEnd = Protocol::requestTerminator;

} // namespace

Converter::Converter(GarmentLibrary library) : m_library(std::move(library)) {}

std::string Converter::statusReply()
{
    return std::string(serverTitle) + " ready" + replyLineEnd;
}

std::string Converter::stopReply()
{
    return std::string(serverTitle) + " stopping" + replyLineEnd;
}

std::string Converter::errorReply()
{
    return std::string(Protocol::errorReply) + replyLineEnd;
}

Outcome Converter::handle(std::string_view request) const noexcept
{
    try {
        try {
            const Request parsed = parseRequest(request);
            switch (parsed.kind) {
            case RequestKind::Probe:
                return {statusReply(), "status", false};
            case RequestKind::Stop:
                return {stopReply(), "stopping", true};
            case RequestKind::Conversion:
                return convert(parsed.conversion);
            }
            throw ConversionError("unknown request");
        } catch (const ConversionError& error) {
            return {errorReply(), std::string("Error: ") + error.what(), false};
        } catch (const std::exception& error) {
            return {errorReply(), std::string("Error: internal: ") + error.what(), false};
        } catch (...) {
            return {errorReply(), "Error: internal failure", false};
        }
    } catch (...) {
        // Even building the error outcome failed (memory): an empty reply, closed at once.
        return {};
    }
}

Outcome Converter::convert(const ConversionRequest& request) const
{
    const Garment garment = m_library.load(request.vendor, request.clothing);
    const fs::path contentFolder = findContentFolder(request.scriptPath);
    const fs::path relative = writeConvertedFile(contentFolder, request.vendor,
                                                 request.clothing, renderCr2(garment, request));
    std::string reply;
    for (const fs::path& component : relative) {
        if (!reply.empty())
            reply += Protocol::replyPathSeparator;
        reply += component.u8string();
    }
    reply += replyLineEnd;
    return {reply,
            "converted garment '" + garment.displayName + "' for figure '" + request.figure
                + "' into " + (contentFolder / relative).u8string(),
            false};
}

} // namespace ConversionServer
