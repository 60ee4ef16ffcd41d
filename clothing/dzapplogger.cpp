#include "dzapplogger.h"

#include <dzapp.h>

#include <QChar>
#include <QString>

#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

// The line is UTF-8 from the slot to here, under any Qt version and host codec. Qt's UTF-8
// conversion gives every byte below 0x80 the code unit of the same value, so a line made of
// such bytes alone is widened straight into the host's string, in one pass that also looks
// for any other byte; a line with one goes through that conversion.
QString hostString(const char* narrow, std::size_t size)
{
    QString text(static_cast<int>(size), Qt::Uninitialized);
    QChar* const to = text.data();
    unsigned char bytesSeen = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(narrow[i]);
        bytesSeen = static_cast<unsigned char>(bytesSeen | byte);
        to[i] = QChar(static_cast<ushort>(byte));
    }
    if (bytesSeen < 0x80)
        return text;
    return QString::fromUtf8(narrow, static_cast<int>(size));
}

// Most lines fit on the stack; a longer one is laid out on the heap.
constexpr std::size_t stackLineBytes = 512;

QString hostText(const Orv::Logging::Line& line)
{
    constexpr std::string_view prefix = DzAppLogger::linePrefix;
    const std::size_t size = prefix.size() + line.size();
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw std::length_error("log line too long for the host's log");

    char onStack[stackLineBytes];
    std::string onHeap;
    char* const narrow = size <= sizeof onStack ? onStack : (onHeap.resize(size), onHeap.data());
    std::memcpy(narrow, prefix.data(), prefix.size());
    line.copyTo(narrow + prefix.size());
    return hostString(narrow, size);
}

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
    // The line is done with before the host sees it, so a host that logs again on this
    // thread changes nothing the line still needs.
    const QString text = hostText(line(message, level));
    app->log(text);
}
