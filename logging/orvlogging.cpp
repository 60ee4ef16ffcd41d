#include "orvlogging.h"

#include "orvstrings.h"

#include <boost/thread/thread.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string_view>
#include <utility>

#include <time.h>
#include <unistd.h>

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
// The time text carries the seconds the process has been running. The C library's clock()
// counts processor time on Linux, which stands still while the process waits, so the
// elapsed time is measured on the boot clock against the process's start time that the
// kernel records (on the same clock) in /proc/self/stat. Should either be unavailable, an
// instant taken when the library was loaded stands in for the start.

constexpr std::int64_t nanosecondsPerSecond = 1000000000;
constexpr std::int64_t nanosecondsPerMillisecond = 1000000;

std::chrono::steady_clock::time_point loadInstant()
{
    static const std::chrono::steady_clock::time_point instant = std::chrono::steady_clock::now();
    return instant;
}

// The process's start on the boot clock in nanoseconds, or -1.
std::int64_t readProcessStart()
{
    std::ifstream file("/proc/self/stat");
    std::string stat;
    if (!std::getline(file, stat))
        return -1;
    // The command name (field 2) is in parentheses and may itself hold blanks and
    // parentheses; the fields after the last ')' start with field 3. The start time, in
    // clock ticks since boot, is field 22.
    const std::string::size_type nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos)
        return -1;
    const char* cursor = stat.data() + nameEnd + 1;
    const char* const end = stat.data() + stat.size();
    std::string_view field;
    for (int number = 3; number <= 22; ++number) {
        while (cursor != end && *cursor == ' ')
            ++cursor;
        const char* const fieldStart = cursor;
        while (cursor != end && *cursor != ' ')
            ++cursor;
        if (fieldStart == cursor)
            return -1;
        field = std::string_view(fieldStart, static_cast<std::size_t>(cursor - fieldStart));
    }
    unsigned long long ticks = 0;
    const auto parsed = std::from_chars(field.data(), field.data() + field.size(), ticks);
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (parsed.ec != std::errc() || parsed.ptr != field.data() + field.size() || ticksPerSecond <= 0)
        return -1;
    const auto perSecond = static_cast<unsigned long long>(ticksPerSecond);
    return static_cast<std::int64_t>(ticks / perSecond) * nanosecondsPerSecond
           + static_cast<std::int64_t>((ticks % perSecond) * nanosecondsPerSecond / perSecond);
}

std::int64_t processStart()
{
    static const std::int64_t start = readProcessStart();
    return start;
}

// Both start references are taken when the library is loaded, not on the first log line.
[[maybe_unused]] const bool s_startTaken = (loadInstant(), processStart(), true);

std::int64_t elapsedMilliseconds()
{
    const std::int64_t start = processStart();
    timespec now{};
    if (start >= 0 && clock_gettime(CLOCK_BOOTTIME, &now) == 0) {
        const std::int64_t nowNanoseconds = static_cast<std::int64_t>(now.tv_sec) * nanosecondsPerSecond + now.tv_nsec;
        return std::max<std::int64_t>(0, (nowNanoseconds - start) / nanosecondsPerMillisecond);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - loadInstant())
        .count();
}

// --- Per-thread values ----------------------------------------------------------------

// A thread's identifier never changes, so its text is made once per thread. Boost creates
// its record for a thread it did not start on first use; should that fail, the exception
// leaves this call and the next call tries again.
const std::string& currentThreadText()
{
    thread_local const std::string text = toText(boost::this_thread::get_id());
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
        if (localtime_r(&now, &local) == nullptr)
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
