#ifndef ORV_LOGGING_H
#define ORV_LOGGING_H

// The plug-in's own logging library: severity levels, an abstract logger that formats a
// line from a template, a composite that fans a message out to several sinks, and the one
// process-wide entry point through which everything in the module logs:
//
//     Orv::Logging::log(Orv::Logging::Debug, "Getting server status");
//
// Nothing here knows the host; the sink that writes into the host's log is DzAppLogger
// (clothing/dzapplogger.h), part of the module's host glue.

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

namespace Detail {

// The placeholders in the order in which they are replaced; None marks no placeholder.
enum class Field : std::uint8_t { Level, Thread, Time, Message, None };
inline constexpr std::size_t placeholderCount = 4;

// One piece of a line: a run of the template's literal text, then a placeholder.
struct Part
{
    std::size_t literalBegin; // in CompiledTemplate::literals
    std::size_t literalSize;
    Field placeholder;
};

// A template split into its parts, in line order: a line is the parts' texts in turn.
struct CompiledTemplate
{
    std::string literals;
    std::vector<Part> parts;
    std::size_t occurrences[placeholderCount] = {}; // how often each placeholder is a part
};

// The time text for given readings of the two clocks, remade only when a reading moves on:
// the local time when the second changes, the elapsed part when the millisecond does.
class TimeTextCache
{
public:
    // The text of timeText(local time of `now`, elapsedMilliseconds); valid until the next
    // call.
    std::string_view text(std::time_t now, std::int64_t elapsedMilliseconds);

private:
    bool m_filled = false;
    std::time_t m_second = 0;
    std::int64_t m_elapsedMilliseconds = 0;
    std::string m_clock; // "HH:MM:SS " of m_second
    std::string m_text;
};

} // namespace Detail

// One finished line, as the texts that make it up in order, each viewed where it lies: the
// template's literal runs and the values put in. Valid on the thread that made it until
// that thread's next line, and while the message it was made from lives.
class Line
{
public:
    std::size_t size() const;

    // Calls write(text) with each text of the line in turn, as std::string_view; some
    // texts are empty.
    template <class Write>
    void forEachText(Write&& write) const
    {
        const Detail::CompiledTemplate& compiled = compiledTemplate();
        for (const Detail::Part& part : compiled.parts) {
            write(std::string_view(compiled.literals.data() + part.literalBegin, part.literalSize));
            if (part.placeholder != Detail::Field::None)
                write(m_values[static_cast<std::size_t>(part.placeholder)]);
        }
    }

    // Writes the texts one after another from `out` on, which has room for size() bytes;
    // returns the end.
    char* copyTo(char* out) const;

    void appendTo(std::string& out) const;

private:
    friend class Logger;
    using Values = std::array<std::string_view, Detail::placeholderCount>;

    Line(const Detail::CompiledTemplate* shared, const Values& values)
        : m_shared(shared)
        , m_values(values)
    {
    }
    Line(Detail::CompiledTemplate own, const Values& values)
        : m_own(std::move(own))
        , m_values(values)
    {
    }

    const Detail::CompiledTemplate& compiledTemplate() const { return m_shared ? *m_shared : m_own; }

    // The logger's own template, or (null) one made for this line alone.
    const Detail::CompiledTemplate* m_shared = nullptr;
    Detail::CompiledTemplate m_own;
    Values m_values;
};

// Base of every sink. The module sets nothing after construction; the setters are for
// tests and tools, and must not run while another thread logs through the same logger.
class Logger
{
public:
    explicit Logger(Level minimumLevel);
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Writes one message to the destination. Does no level filtering: callers apply
    // accepts() first.
    virtual void log(std::string message, Level level) = 0;

    // The finished line for a message: the template with {LEVEL}, {THREAD}, {TIME} and
    // finally {MESSAGE} replaced, each at every occurrence. No newline is added.
    std::string format(std::string message, Level level) const;

    // The same line, appended to `out`: lets a sink put its own text in front without
    // building the line twice.
    void appendFormatted(std::string& out, std::string_view message, Level level) const;

    // The same line as its texts, for a sink that copies them straight into a string of
    // its own kind.
    Line line(std::string_view message, Level level) const;

    // The delivery rule every caller of log() applies: the level reaches the threshold
    // (signed comparison) and the switch is on.
    bool accepts(Level level) const { return m_enabled && level >= m_minimumLevel; }

    Level minimumLevel() const { return m_minimumLevel; }
    void setMinimumLevel(Level level) { m_minimumLevel = level; }

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    const std::string& lineTemplate() const { return m_format; }
    // Takes a new template and splits it into its parts once, so that no line searches it.
    void setLineTemplate(std::string lineTemplate);

protected:
    // Not virtual on purpose: a logger is always destroyed through its concrete type,
    // which a shared owner made from that type guarantees. Protected, so that deleting
    // through a Logger pointer does not compile.
    ~Logger();

private:
    Level m_minimumLevel;
    std::string m_format;
    bool m_enabled;
    Detail::CompiledTemplate m_compiled;
};

// Hands each message to its children in ascending order of their addresses. Its own
// threshold and switch are for whoever calls it; each child's are tested here.
class CompositeLogger final : public Logger
{
public:
    explicit CompositeLogger(Level minimumLevel);

    // Adds a child until it is removed. A logger already present, a null pointer and the
    // composite itself are ignored.
    void add(std::shared_ptr<Logger> child);

    // Drops the composite's reference to a child; false when it was not a child. Like add(),
    // not while another thread logs through the composite, nor from inside a child's log().
    bool remove(const Logger* child);

    // Delivers to every accepting child. A child that throws loses that one message;
    // the children after it still get it.
    void log(std::string message, Level level) override;

private:
    struct AddressOrder
    {
        using is_transparent = void;
        static std::uintptr_t address(const Logger* logger) { return reinterpret_cast<std::uintptr_t>(logger); }
        static std::uintptr_t address(const std::shared_ptr<Logger>& logger) { return address(logger.get()); }
        template <class A, class B>
        bool operator()(const A& a, const B& b) const
        {
            return address(a) < address(b);
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
