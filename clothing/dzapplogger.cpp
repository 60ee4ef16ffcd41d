#include "dzapplogger.h"

#include <dzapp.h>

#include <QString>

#include <cstddef>
#include <string>

namespace {

// A thread keeps a line buffer up to this size; one that grew past it for a long message
// is given back.
constexpr std::size_t keptBufferBytes = 64 * 1024;

} // namespace

DzAppLogger::DzAppLogger(Orv::Logging::Level minimumLevel)
    : Logger(minimumLevel)
{
}

void DzAppLogger::log(std::string message, Orv::Logging::Level level)
{
    DzApp* const app = dzApp;
    if (app == nullptr)
        return;
    // The line is built in a buffer that each thread keeps, so that a line costs no
    // allocation before the host's own string. Anything the host does with the line
    // happens after the buffer is done with, so a host that logs again on this thread
    // finds it free.
    thread_local std::string text;
    text.assign(linePrefix);
    appendFormatted(text, message, level);
    // The line is UTF-8 from the slot to here, under any Qt version and host codec.
    const QString line = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
    if (text.capacity() > keptBufferBytes)
        std::string().swap(text);
    app->log(line);
}
