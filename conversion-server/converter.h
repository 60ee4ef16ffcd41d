#ifndef GARBWRIGHT_CONVERTER_H
#define GARBWRIGHT_CONVERTER_H

#include "garment.h"
#include "request.h"

#include <string>
#include <string_view>

namespace ConversionServer {

// What the server does with one request.
struct Outcome
{
    std::string reply;          // the bytes sent back before closing
    std::string summary;        // what happened, for the log (may echo untrusted text)
    bool stopRequested = false; // the server ends once the reply is out
};

// Answers requests: the probe and the stop with a status line, a conversion by writing the
// converted file into the script's content folder and answering with its relative path,
// anything else with the error reply.
class Converter
{
public:
    explicit Converter(GarmentLibrary library);

    const GarmentLibrary& library() const { return m_library; }

    // `request` is everything received up to and including the first line feed. Never
    // throws: any failure is the error reply.
    Outcome handle(std::string_view request) const noexcept;

    static std::string statusReply();
    static std::string stopReply();
    static std::string errorReply();

private:
    Outcome convert(const ConversionRequest& request) const;

    GarmentLibrary m_library;
};

} // namespace ConversionServer

#endif
