#ifndef GARBWRIGHT_LOGLINE_H
#define GARBWRIGHT_LOGLINE_H

#include <cstddef>
#include <string>
#include <string_view>

namespace ConversionServer {

constexpr char programName[] = "garbwright-server";

// Untrusted bytes made fit for one log line: printable ASCII stays, a backslash and a
// double quote are escaped, every other byte becomes \xNN; text longer than maxBytes is
// cut and the cut is marked with the full length.
std::string sanitisedForLog(std::string_view text, std::size_t maxBytes = 200);

// Writes "garbwright-server: " + message + line feed to standard error and flushes it.
// Never throws: a log line that cannot be written is lost, the server goes on.
void logLine(std::string_view message) noexcept;

} // namespace ConversionServer

#endif
