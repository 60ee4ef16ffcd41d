#include "dzapplogger.h"

#include <dzapp.h>

#include <QChar>
#include <QString>

#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

// The line is UTF-8 from the slot to here, under any Qt version and host codec. Qt's UTF-8
// conversion gives every byte below 0x80 the code unit of the same value, so the texts of
// a line made of such bytes alone are widened straight into the host's string; any other
// line goes through that conversion whole.
constexpr std::string_view prefix = DzAppLogger::linePrefix;

// The prefix as the host's string holds it, made while compiling: copied whole into every
// line, and ready before any static object could log.
struct WidePrefix
{
    std::uint16_t units[prefix.size()];
};
constexpr WidePrefix widePrefix = [] {
    WidePrefix wide{};
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (static_cast<unsigned char>(prefix[i]) >= 0x80)
            throw "the prefix must be ASCII"; // not a constant expression: fails to compile
        wide.units[i] = static_cast<unsigned char>(prefix[i]);
    }
    return wide;
}();
static_assert(sizeof(QChar) == sizeof(std::uint16_t), "a QChar is one UTF-16 code unit");

QString hostText(const Orv::Logging::Line& line)
{
    const std::size_t size = prefix.size() + line.size();
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw std::length_error("log line too long for the host's log");

    QString text(static_cast<int>(size), Qt::Uninitialized);
    QChar* out = text.data();
    unsigned char bytesSeen = 0;
    const auto widen = [&out, &bytesSeen](std::string_view part) {
        // Locals, so that the compiler knows the stores leave them alone and can widen many
        // bytes at a time.
        QChar* const to = out;
        const char* const from = part.data();
        unsigned char seen = 0;
        for (std::size_t i = 0; i < part.size(); ++i) {
            const auto byte = static_cast<unsigned char>(from[i]);
            seen = static_cast<unsigned char>(seen | byte);
            to[i] = QChar(static_cast<ushort>(byte));
        }
        out = to + part.size();
        bytesSeen = static_cast<unsigned char>(bytesSeen | seen);
    };
    std::memcpy(static_cast<void*>(out), widePrefix.units, sizeof widePrefix.units);
    out += prefix.size();
    line.forEachText(widen);
    if (bytesSeen < 0x80)
        return text;

    std::string narrow(prefix);
    line.appendTo(narrow);
    return QString::fromUtf8(narrow.data(), static_cast<int>(narrow.size()));
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
