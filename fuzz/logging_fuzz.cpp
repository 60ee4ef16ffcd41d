// Line formatting and the string helpers under arbitrary templates, messages, levels and
// texts, each compared with a plain reference written apart from the library.

#include "orvlogging.h"
#include "orvstrings.h"

#include <boost/thread/thread.hpp>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>

namespace {

class FormattingLogger final : public Orv::Logging::Logger
{
public:
    FormattingLogger()
        : Logger(Orv::Logging::Debug)
    {
    }
    ~FormattingLogger() = default;

    void log(std::string, Orv::Logging::Level) override {}
};

[[noreturn]] void fail(const char* what, const std::string& expected, const std::string& actual)
{
    std::fprintf(stderr, "%s\n expected: \"%s\"\n actual:   \"%s\"\n", what, expected.c_str(), actual.c_str());
    std::abort();
}

// One pass over the text: each occurrence of `from` is copied out as `to`, everything else
// as it is, so nothing inserted is ever looked at again.
std::string referenceReplaceAll(const std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty())
        return text;
    std::string result;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, from.size(), from) == 0) {
            result += to;
            i += from.size();
        } else {
            result += text[i++];
        }
    }
    return result;
}

std::string referenceTrim(std::string text, const std::string& set)
{
    while (!text.empty() && set.find(text.back()) != std::string::npos)
        text.pop_back();
    while (!text.empty() && set.find(text.front()) != std::string::npos)
        text.erase(0, 1);
    return text;
}

std::string referenceLevelName(std::int32_t level)
{
    static const char* const names[] = {"Debug", "Info", "Warning", "Error", "Critical"};
    return level >= 0 && level < 5 ? names[level] : "";
}

std::string referenceThreadText()
{
    std::ostringstream stream;
    stream << boost::this_thread::get_id();
    return stream.str();
}

std::string referenceLine(const std::string& format, const std::string& message, std::int32_t level,
                          const std::string& time)
{
    std::string line = referenceReplaceAll(format, "{LEVEL}", referenceLevelName(level));
    line = referenceReplaceAll(line, "{THREAD}", referenceThreadText());
    line = referenceReplaceAll(line, "{TIME}", time);
    return referenceReplaceAll(line, "{MESSAGE}", message);
}

void checkFormat(const std::string& format, const std::string& message, std::int32_t level)
{
    FormattingLogger logger;
    logger.setLineTemplate(format);
    // The time text moves on every millisecond; compare only a line whose time could not
    // have changed while it was made.
    for (int attempt = 0; attempt < 20; ++attempt) {
        const std::string before = Orv::Logging::timeText();
        const std::string line = logger.format(message, static_cast<Orv::Logging::Level>(level));
        const std::string after = Orv::Logging::timeText();
        if (before != after)
            continue;
        const std::string expected = referenceLine(format, message, level, before);
        if (line != expected)
            fail("Logger::format differs from the reference", expected, line);
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto level = input.ConsumeIntegral<std::int32_t>();
    const std::string first = input.ConsumeRandomLengthString(512);
    const std::string second = input.ConsumeRandomLengthString(512);
    const std::string third = input.ConsumeRemainingBytesAsString();

    checkFormat(first, second, level);

    const std::string replaced = Orv::replaceAll(first, second, third);
    const std::string expectedReplaced = referenceReplaceAll(first, second, third);
    if (replaced != expectedReplaced)
        fail("replaceAll differs from the reference", expectedReplaced, replaced);

    const std::string trimmed = Orv::trimChars(first, second);
    const std::string expectedTrimmed = referenceTrim(first, second);
    if (trimmed != expectedTrimmed)
        fail("trimChars differs from the reference", expectedTrimmed, trimmed);

    // A time text from any clock reading must at least be made safely.
    std::tm time{};
    time.tm_hour = static_cast<int>(level % 100);
    time.tm_min = static_cast<int>((level / 100) % 100);
    time.tm_sec = static_cast<int>((level / 10000) % 100);
    const std::string text = Orv::Logging::timeText(time, static_cast<std::int64_t>(level) * 1000003);
    if (text.find(' ') == std::string::npos)
        fail("time text without its elapsed part", "HH:MM:SS E", text);
    return 0;
}
