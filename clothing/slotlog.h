#ifndef GARBWRIGHT_SLOTLOG_H
#define GARBWRIGHT_SLOTLOG_H

#include "orvlogging.h"
#include "orvstrings.h"
#include "wiretext.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <exception>
#include <string>

// The log's text is UTF-8 from the slots to the host's log, whatever the Qt version or the
// host's codec for C strings: the escaping and the length bound work on UTF-8.
inline std::string logText(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The slots trace every step at Debug level; values are appended to the literal text.
inline void trace(const std::string& text)
{
    Orv::Logging::log(Orv::Logging::Debug, text);
}

inline void trace(const char* literal, const QString& value)
{
    Orv::Logging::log(Orv::Logging::Debug, literal + logText(value));
}

inline void trace(const char* literal, const std::string& value)
{
    Orv::Logging::log(Orv::Logging::Debug, literal + value);
}

// For values that came from the server (or were derived from its reply): anything a peer
// sends is shown as data, so it can neither forge a line of its own nor put control codes
// or megabytes into the host log. `wireBytes` is the reply's 8-bit text.
inline void traceReceived(const char* literal, const QString& value)
{
    Orv::Logging::log(Orv::Logging::Debug, literal + Orv::loggableText(logText(value)));
}

inline void traceReceived(const char* literal, const std::string& wireBytes)
{
    traceReceived(literal, fromWireText(wireBytes));
}

// Runs a slot's body so that no exception reaches the script that called it: the host's
// script engine cannot unwind C++ exceptions. The only ones left at this level are
// allocation failures; the slot then answers with its empty result.
template <class Result, class Body>
Result guardedSlot(const char* slotName, Result fallback, Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::exception& error) {
        Orv::Logging::log(Orv::Logging::Debug, std::string(slotName) + " failed: " + error.what());
    } catch (...) {
        Orv::Logging::log(Orv::Logging::Debug, std::string(slotName) + " failed");
    }
    return fallback;
}

template <class Body>
void guardedSlot(const char* slotName, Body&& body) noexcept
{
    guardedSlot(slotName, 0, [&] {
        body();
        return 0;
    });
}

#endif
