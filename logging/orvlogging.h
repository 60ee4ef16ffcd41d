#ifndef ORV_LOGGING_H
#define ORV_LOGGING_H

// The plug-in's own logging library: severity levels, an abstract logger that formats a
// line from a template, a composite that fans a message out to several sinks, and the one
// process-wide entry point through which everything in the module logs:
//
//     Orv::Logging::log(Orv::Logging::Debug, "Getting server status");
//
// Nothing here knows the host; the sink that writes into the host's log is DzAppLogger
// (dzapplogger.h).

#include <cstdint>
#include <ctime>
#include <memory>
#include <set>
#include <string>

namespace Orv {
namespace Logging {

// A larger value is more severe. Levels are compared as signed integers, so values outside
// the named ones can reach the library: they are filtered like any other value and have an
// empty name.
enum Level : std::int32_t {
    Debug = 0,
    Info,
    Warning,
    Error,
    Critical
};

// The template every logger starts with. Each placeholder is replaced at every occurrence;
// the message goes in last, so placeholder names inside a message stay literal.
inline constexpr char defaultFormat[] = "[{LEVEL}]\t[{THREAD}] {TIME}\t{MESSAGE}";

// "Debug" ... "Critical"; empty for any value outside the table.
std::string levelName(Level level);

// "HH:MM:SS E": the local wall-clock time, then the seconds the process has been running,
// counted in whole milliseconds (e.g. "09:05:03 12.345", "23:59:59 0").
std::string timeText();

// The same text from a given local time and elapsed running time in milliseconds.
std::string timeText(const std::tm& localTime, std::int64_t elapsedMilliseconds);

// Base of every sink. Fields are set by the constructor and, in the module, never change.
class Logger
{
public:
    explicit Logger(Level minimumLevel);
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Writes one message to the destination. Does no level filtering: callers apply
    // accepts() first.
    virtual void log(std::string message, Level level) = 0;

    // The finished line for a message: m_format with {LEVEL}, {THREAD}, {TIME} and finally
    // {MESSAGE} replaced. No newline is added.
    std::string format(std::string message, Level level) const;

    // The same line, appended to `out`: lets a sink put its own text in front without
    // building the line twice.
    void appendFormatted(std::string& out, const std::string& message, Level level) const;

    // The delivery rule every caller of log() applies: the level reaches the threshold
    // (signed comparison) and the switch is on.
    bool accepts(Level level) const { return m_enabled && level >= m_minimumLevel; }

    Level m_minimumLevel;
    std::string m_format;
    bool m_enabled;

protected:
    // Not virtual on purpose: a logger is always destroyed through its concrete type,
    // which a shared owner made from that type guarantees. Protected, so that deleting
    // through a Logger pointer does not compile.
    ~Logger();
};

// Hands each message to its children in ascending order of their addresses. Its own
// threshold and switch are for whoever calls it; each child's are tested here.
class CompositeLogger final : public Logger
{
public:
    explicit CompositeLogger(Level minimumLevel);

    // Adds a child for the composite's whole life. A logger already present, a null
    // pointer and the composite itself are ignored.
    void add(std::shared_ptr<Logger> child);

    // Delivers to every accepting child. A child that throws loses that one message;
    // the children after it still get it.
    void log(std::string message, Level level) override;

private:
    struct AddressOrder
    {
        bool operator()(const std::shared_ptr<Logger>& a, const std::shared_ptr<Logger>& b) const
        {
            return reinterpret_cast<std::uintptr_t>(a.get()) < reinterpret_cast<std::uintptr_t>(b.get());
        }
    };

    std::set<std::shared_ptr<Logger>, AddressOrder> m_loggers;
};

// The process-wide root: threshold Debug, no children until a sink is installed.
extern CompositeLogger rootLogger;

// The one way to log. Never throws: any failure of any sink is discarded.
void log(Level level, std::string message) noexcept;

} // namespace Logging
} // namespace Orv

#endif
