#ifndef GARBWRIGHT_SLOTLOG_H
#define GARBWRIGHT_SLOTLOG_H

#include "orvlogging.h"

#include <QString>

#include <exception>
#include <string>

// The slots trace every step at Debug level; values are appended to the literal text.
inline void trace(const std::string& text)
{
    Orv::Logging::log(Orv::Logging::Debug, text);
}

inline void trace(const char* literal, const QString& value)
{
    Orv::Logging::log(Orv::Logging::Debug, literal + value.toStdString());
}

inline void trace(const char* literal, const std::string& value)
{
    Orv::Logging::log(Orv::Logging::Debug, literal + value);
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
