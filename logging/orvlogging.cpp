#include "orvlogging.h"

#include "orvstrings.h"
#include "platform.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <iterator>
#include <string_view>
#include <utility>

namespace Orv {
namespace Logging {

namespace {

constexpr std::string_view levelPlaceholder = "{LEVEL}";
constexpr std::string_view threadPlaceholder = "{THREAD}";
constexpr std::string_view timePlaceholder = "{TIME}";
constexpr std::string_view messagePlaceholder = "{MESSAGE}";

constexpr std::array<std::string_view, 5> levelNames = {"Debug", "Info", "Warning", "Error", "Critical"};

std::string_view levelText(Level level)
{
    const auto index = static_cast<std::int32_t>(level);
    if (index < 0 || index >= static_cast<std::int32_t>(levelNames.size()))
        return {};
    return levelNames[static_cast<std::size_t>(index)];
}

// --- Elapsed running time -------------------------------------------------------------
//
// The time text carries the seconds the process has been running; each platform measures
// them in its own way (platform.h).

// The start reference is taken when the library is loaded, not on the first log line.
[[maybe_unused]] const bool s_startTaken = (Platform::takeStartReference(), true);

std::int64_t elapsedMilliseconds()
{
    return Platform::elapsedMilliseconds();
}

// --- Per-thread values ----------------------------------------------------------------

// A thread's identifier never changes, so its text is made once per thread. Should that
// fail, the exception leaves this call and the next call tries again.
const std::string& currentThreadText()
{
    thread_local const std::string text = Platform::currentThreadText();
    return text;
}

// The local time changes once a second and the elapsed part once a millisecond; lines
// written in between reuse the text.
struct TimeTextCache
{
    std::time_t second = -1;
    std::tm localTime{};
    std::int64_t elapsedMilliseconds = -1;
    std::string text;
};

void appendTwoDigits(std::string& text, int value)
{
    if (value < 10)
        text += '0';
    text += toText(value);
}

} // namespace

std::string levelName(Level level)
{
    return std::string(levelText(level));
}

std::string timeText(const std::tm& localTime, std::int64_t elapsed)
{
    std::string text;
    text.reserve(32);
    appendTwoDigits(text, localTime.tm_hour);
    text += ':';
    appendTwoDigits(text, localTime.tm_min);
    text += ':';
    appendTwoDigits(text, localTime.tm_sec);
    text += ' ';
    text += toText(static_cast<double>(elapsed) * 0.001);
    return text;
}

namespace {

// The text of timeText(), kept per thread: formatting a line copies nothing out of it.
const std::string& currentTimeText()
{
    thread_local TimeTextCache cache;
    const std::time_t now = std::time(nullptr);
    const std::int64_t elapsed = elapsedMilliseconds();
    if (now != cache.second) {
        std::tm local{};
        if (!Platform::localTime(now, local))
            local = std::tm{};
        cache.localTime = local;
        cache.second = now;
        cache.elapsedMilliseconds = -1;
    }
    if (elapsed != cache.elapsedMilliseconds) {
        cache.text = timeText(cache.localTime, elapsed);
        cache.elapsedMilliseconds = elapsed;
    }
    return cache.text;
}

} // namespace

std::string timeText()
{
    return currentTimeText();
}

// --- Logger ---------------------------------------------------------------------------

Logger::Logger(Level minimumLevel)
    : m_minimumLevel(minimumLevel)
    , m_format(defaultFormat)
    , m_enabled(true)
{
}

Logger::~Logger() = default;

std::string Logger::format(std::string message, Level level) const
{
    std::string line;
    appendFormatted(line, message, level);
    return line;
}

void Logger::appendFormatted(std::string& out, const std::string& message, Level level) const
{
    const std::string_view levelValue = levelText(level);
    const std::string& threadValue = currentThreadText();
    const std::string& timeValue = currentTimeText();

    // The default template is laid out directly. That gives the same text as replacing its
    // placeholders one after another, because no value put in before the message holds a
    // '{' (level names and the time never do; the thread text is checked), so no value can
    // carry a placeholder into a later step.
    if (m_format == defaultFormat && threadValue.find('{') == std::string::npos) {
        out.reserve(out.size() + levelValue.size() + threadValue.size() + timeValue.size()
                    + message.size() + 8);
        out += '[';
        out += levelValue;
        out += "]\t[";
        out += threadValue;
        out += "] ";
        out += timeValue;
        out += '\t';
        out += message;
        return;
    }

    // Any other template: each placeholder in turn. The message goes in last, so that
    // placeholder names inside it are never expanded.
    std::string line;
    line.reserve(m_format.size() + message.size() + 64);
    line = m_format;
    Detail::replaceAllInPlace(line, levelPlaceholder, levelValue);
    Detail::replaceAllInPlace(line, threadPlaceholder, threadValue);
    Detail::replaceAllInPlace(line, timePlaceholder, timeValue);
    Detail::replaceAllInPlace(line, messagePlaceholder, message);
    out += line;
}

// --- CompositeLogger ------------------------------------------------------------------

CompositeLogger::CompositeLogger(Level minimumLevel)
    : Logger(minimumLevel)
{
}

void CompositeLogger::add(std::shared_ptr<Logger> child)
{
    // A null child would crash every later message, and the composite as its own child
    // would recurse without end.
    if (!child || child.get() == this)
        return;
    m_loggers.insert(std::move(child));
}

void CompositeLogger::log(std::string message, Level level)
{
    for (auto child = m_loggers.begin(); child != m_loggers.end(); ++child) {
        try {
            if ((*child)->accepts(level)) {
                // Each child gets its own copy; the last one can have the original.
                if (std::next(child) == m_loggers.end())
                    (*child)->log(std::move(message), level);
                else
                    (*child)->log(message, level);
            }
        } catch (...) {
            // One sink's failure costs it this message only; logging never fails.
        }
    }
}

CompositeLogger rootLogger(Debug);

void log(Level level, std::string message) noexcept
{
    try {
        if (rootLogger.accepts(level))
            rootLogger.log(std::move(message), level);
    } catch (...) {
        // Logging never fails its caller.
    }
}

} // namespace Logging
} // namespace Orv
