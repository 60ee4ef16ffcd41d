#ifndef GARBWRIGHT_SLOTLOG_H
#define GARBWRIGHT_SLOTLOG_H

#include "orvlogging.h"
#include "orvstrings.h"
#include "wiretext.h"

#include <QString>

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>

// The text as Qt holds it.
inline std::u16string_view utf16Of(const QString& text)
{
    return std::u16string_view(reinterpret_cast<const char16_t*>(text.constData()),
                               static_cast<std::size_t>(text.size()));
}

// The log's text is UTF-8 from the slots to the host's log, whatever the Qt version or the
// host's codec for C strings, and the same under either Qt (Orv::utf8Text): the escaping
// and the length bound work on UTF-8.
inline std::string logText(const QString& text)
{
    return Orv::utf8Text(utf16Of(text));
}

// The slots trace every step at Debug level; values are appended to the literal text.
inline void trace(const std::string& text)
{
    Orv::Logging::log(Orv::Logging::Debug, text);
}

// A value from outside the module (a name from a scene file, a script's argument, a folder
// from the settings, a server's reply) as UTF-8 text for the log, shown as data: it can
// neither forge a line of its own nor put control codes or megabytes into the host log
// (Orv::loggableText). Only the start of a long value is converted, so a name of many
// megabytes costs what a short one does.
inline std::string loggable(const QString& value)
{
    return Orv::loggableText(utf16Of(value));
}

// The same, as text for a dialog or a progress line.
inline QString shownValue(const QString& value)
{
    const std::string text = loggable(value);
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

// A step line followed by a value from outside the module.
inline void trace(const char* literal, const QString& value)
{
    Orv::Logging::log(Orv::Logging::Debug, literal + loggable(value));
}

inline void trace(const char* literal, const std::string& value)
{
    Orv::Logging::log(Orv::Logging::Debug, literal + value);
}

// The same for the server's reply, or what was derived from it; `wireBytes` is the reply's
// 8-bit text.
inline void traceReceived(const char* literal, const std::string& wireBytes)
{
    trace(literal, fromWireText(wireBytes));
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
