#include "orvlogging.h"

#include "orvstrings.h"
#include "platform.h"

#include <array>
#include <cstring>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

namespace Orv {
namespace Logging {

namespace {

using Detail::Field;

// In the order in which they are replaced, the order of Field.
constexpr std::array<std::string_view, Detail::placeholderCount> placeholders = {"{LEVEL}", "{THREAD}", "{TIME}",
                                                                                 "{MESSAGE}"};

constexpr std::array<std::string_view, 5> levelNames = {"Debug", "Info", "Warning", "Error", "Critical"};

std::string_view levelText(Level level)
{
    const auto index = static_cast<std::int32_t>(level);
    if (index < 0 || index >= static_cast<std::int32_t>(levelNames.size()))
        return ""; // not a null view: the text is copied with memcpy
    return levelNames[static_cast<std::size_t>(index)];
}

// --- Elapsed running time -------------------------------------------------------------
//
// The time text carries the seconds the process has been running; each platform measures
// them in its own way (platform.h).

// The start reference is taken when the library is loaded, not on the first log line.
[[maybe_unused]] const bool s_startTaken = (Platform::takeStartReference(), true);

// --- Per-thread values ----------------------------------------------------------------

// A thread's identifier never changes, so its text is made once per thread. Should that
// fail, the exception leaves this call and the next call tries again.
const std::string& currentThreadText()
{
    thread_local const std::string text = Platform::currentThreadText();
    return text;
}

void appendTwoDigits(std::string& text, int value)
{
    if (value < 10)
        text += '0';
    text += toText(value);
}

// "HH:MM:SS ", the part of the time text that changes once a second.
void assignClockText(std::string& text, const std::tm& localTime)
{
    text.clear();
    appendTwoDigits(text, localTime.tm_hour);
    text += ':';
    appendTwoDigits(text, localTime.tm_min);
    text += ':';
    appendTwoDigits(text, localTime.tm_sec);
    text += ' ';
}

std::string elapsedText(std::int64_t elapsedMilliseconds)
{
    return toText(static_cast<double>(elapsedMilliseconds) * 0.001);
}

} // namespace

std::string levelName(Level level)
{
    return std::string(levelText(level));
}

std::string timeText(const std::tm& localTime, std::int64_t elapsed)
{
    std::string text;
    assignClockText(text, localTime);
    text += elapsedText(elapsed);
    return text;
}

std::string_view Detail::TimeTextCache::text(std::time_t now, std::int64_t elapsed)
{
    // A clock set back lands on another second too, so any change of second, also across
    // midnight, converts afresh.
    if (!m_filled || now != m_second) {
        std::tm local{};
        if (!Platform::localTime(now, local))
            local = std::tm{};
        assignClockText(m_clock, local);
        m_second = now;
        m_filled = false;
    }
    if (!m_filled || elapsed != m_elapsedMilliseconds) {
        // Both texts keep their buffers, so that a line allocates nothing here.
        m_text.assign(m_clock);
        m_text += elapsedText(elapsed);
        m_elapsedMilliseconds = elapsed;
        m_filled = true;
    }
    return m_text;
}

namespace {

// Each thread keeps its own cache, so that lines need no lock.
std::string_view currentTimeText()
{
    thread_local Detail::TimeTextCache cache;
    return cache.text(std::time(nullptr), Platform::elapsedMilliseconds());
}

} // namespace

std::string timeText()
{
    return std::string(currentTimeText());
}

namespace {

// --- Line template --------------------------------------------------------------------
//
// A line is what replacing {LEVEL}, {THREAD}, {TIME} and {MESSAGE} in turn makes of the
// template, each at every occurrence and never inside what that same step put in. A later
// step does search what an earlier one put in, together with the text around it: an empty
// level name joins "{TI" and "ME}" into a placeholder that the time step then fills.
//
// The template is split into its parts once. Walking those parts gives the same line as
// the steps whenever each value put in before the message stands apart (below): then no
// later placeholder can begin, end or lie inside it, so the later steps find exactly the
// placeholders of the template's own text. The level names stand apart (checked when
// compiling), and so does the time text, which is digits, colons, a blank and a number.
// The thread text is checked once per thread. For a line with a value that does not
// stand apart (a level outside the table, whose name is empty), the template is split
// afresh with the values written in as text, which the later steps search like the
// template's own.

// Not empty, no brace, and no part of a later placeholder's name.
constexpr bool standsApart(std::string_view value, Field field)
{
    if (value.empty() || value.find('{') != std::string_view::npos || value.find('}') != std::string_view::npos)
        return false;
    for (auto later = static_cast<std::size_t>(field) + 1; later < placeholders.size(); ++later) {
        if (placeholders[later].find(value) != std::string_view::npos)
            return false;
    }
    return true;
}

constexpr bool everyLevelNameStandsApart()
{
    for (const std::string_view name : levelNames) {
        if (!standsApart(name, Field::Level))
            return false;
    }
    return true;
}

static_assert(everyLevelNameStandsApart(), "a level name could form a placeholder with the text around it");

// The thread text never changes, so whether it stands apart is found once per thread.
struct ThreadValue
{
    std::string_view text;
    bool apart;
};

const ThreadValue& currentThreadValue()
{
    thread_local const ThreadValue value = [] {
        const std::string& text = currentThreadText();
        return ThreadValue{text, standsApart(text, Field::Thread)};
    }();
    return value;
}

using Values = std::array<std::string_view, Detail::placeholderCount>;
// A value given here is written into the template as text; the others become parts.
using WrittenIn = std::array<std::optional<std::string_view>, Detail::placeholderCount>;

Detail::CompiledTemplate compile(std::string_view lineTemplate, const WrittenIn& writtenIn)
{
    // Literal text, or the placeholder of one step.
    struct Piece
    {
        Field placeholder;
        std::string text;
    };
    const auto isLiteral = [](const Piece& piece) { return piece.placeholder == Field::None; };
    // Adjacent literal text is kept as one piece, so that a later step finds a placeholder
    // that a written-in value forms with the text around it.
    const auto appendLiteral = [&](std::vector<Piece>& pieces, std::string_view text) {
        if (text.empty())
            return;
        if (!pieces.empty() && isLiteral(pieces.back()))
            pieces.back().text += text;
        else
            pieces.push_back({Field::None, std::string(text)});
    };

    std::vector<Piece> pieces;
    appendLiteral(pieces, lineTemplate);
    for (std::size_t step = 0; step < placeholders.size(); ++step) {
        const std::string_view placeholder = placeholders[step];
        std::vector<Piece> next;
        for (Piece& piece : pieces) {
            if (!isLiteral(piece)) {
                next.push_back(std::move(piece));
                continue;
            }
            // Only the text as it was before this step is searched.
            const std::string_view text = piece.text;
            std::size_t start = 0;
            for (auto found = text.find(placeholder); found != std::string_view::npos;
                 found = text.find(placeholder, start)) {
                appendLiteral(next, text.substr(start, found - start));
                if (writtenIn[step])
                    appendLiteral(next, *writtenIn[step]);
                else
                    next.push_back({static_cast<Field>(step), {}});
                start = found + placeholder.size();
            }
            appendLiteral(next, text.substr(start));
        }
        pieces = std::move(next);
    }

    Detail::CompiledTemplate compiled;
    for (const Piece& piece : pieces) {
        if (isLiteral(piece)) {
            compiled.parts.push_back({compiled.literals.size(), piece.text.size(), Field::None});
            compiled.literals += piece.text;
        } else {
            if (compiled.parts.empty() || compiled.parts.back().placeholder != Field::None)
                compiled.parts.push_back({compiled.literals.size(), 0, Field::None});
            compiled.parts.back().placeholder = piece.placeholder;
            ++compiled.occurrences[static_cast<std::size_t>(piece.placeholder)];
        }
    }
    return compiled;
}

// Most texts of a line are a few bytes, which two fixed-size copies that may overlap move
// faster than a call.
char* put(char* to, const char* from, std::size_t size)
{
    if (size > 16) {
        std::memcpy(to, from, size);
    } else if (size >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + size - 8, from + size - 8, 8);
    } else if (size >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + size - 4, from + size - 4, 4);
    } else {
        for (std::size_t i = 0; i < size; ++i)
            to[i] = from[i];
    }
    return to + size;
}

} // namespace

// --- Logger ---------------------------------------------------------------------------

Logger::Logger(Level minimumLevel)
    : m_minimumLevel(minimumLevel)
    , m_enabled(true)
{
    setLineTemplate(defaultFormat);
}

Logger::~Logger() = default;

void Logger::setLineTemplate(std::string lineTemplate)
{
    Detail::CompiledTemplate compiled = compile(lineTemplate, {});
    m_format = std::move(lineTemplate);
    m_compiled = std::move(compiled);
}

std::string Logger::format(std::string message, Level level) const
{
    std::string line;
    appendFormatted(line, message, level);
    return line;
}

void Logger::appendFormatted(std::string& out, std::string_view message, Level level) const
{
    line(message, level).appendTo(out);
}

Line Logger::line(std::string_view message, Level level) const
{
    const ThreadValue& thread = currentThreadValue();
    const Values values = {levelText(level), thread.text, currentTimeText(), message};
    if (!values[0].empty() && thread.apart)
        return Line(&m_compiled, values);
    return Line(compile(m_format, {values[0], values[1], values[2], std::nullopt}), values);
}

// --- Line -----------------------------------------------------------------------------

std::size_t Line::size() const
{
    const Detail::CompiledTemplate& compiled = compiledTemplate();
    std::size_t size = compiled.literals.size();
    for (std::size_t field = 0; field < m_values.size(); ++field)
        size += compiled.occurrences[field] * m_values[field].size();
    return size;
}

char* Line::copyTo(char* out) const
{
    forEachText([&out](std::string_view text) { out = put(out, text.data(), text.size()); });
    return out;
}

void Line::appendTo(std::string& out) const
{
    // The line's size is known, so the texts are copied into place without a check each.
    const std::size_t start = out.size();
    out.resize(start + size());
    copyTo(out.data() + start);
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

bool CompositeLogger::remove(const Logger* child)
{
    const auto found = m_loggers.find(child);
    if (found == m_loggers.end())
        return false;
    m_loggers.erase(found);
    return true;
}

void CompositeLogger::log(std::string message, Level level)
{
    for (auto child = m_loggers.begin(); child != m_loggers.end();) {
        const auto next = std::next(child);
        try {
            if ((*child)->accepts(level)) {
                // Each child gets its own copy; the last one can have the original.
                if (next == m_loggers.end())
                    (*child)->log(std::move(message), level);
                else
                    (*child)->log(message, level);
            }
        } catch (...) {
            // One sink's failure costs it this message only; logging never fails.
        }
        child = next;
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
