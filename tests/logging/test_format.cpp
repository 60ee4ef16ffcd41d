#include "recordinglogger.h"

#include <orvlogging.h>
#include <orvstrings.h>
#include <platform.h>

#ifdef GARBWRIGHT_COMPARE_BOOST_THREAD
#include <boost/thread/barrier.hpp>
#include <boost/thread/thread.hpp>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <regex>
#include <string>
#include <thread>

using namespace Orv::Logging;

namespace {

std::tm localTime(int hours, int minutes, int seconds)
{
    std::tm time{};
    time.tm_hour = hours;
    time.tm_min = minutes;
    time.tm_sec = seconds;
    return time;
}

// The elapsed part of a live time text, in seconds.
double elapsedSeconds(const std::string& time)
{
    return std::stod(time.substr(time.find(' ') + 1));
}

// The calling thread's identifier text, as a logger puts it into a line.
std::string threadText()
{
    RecordingLogger formatter;
    formatter.setLineTemplate("{THREAD}");
    return formatter.format("", Debug);
}

} // namespace

TEST(LoggerFormat, DefaultTemplate_LevelThreadTimeMessage)
{
    RecordingLogger logger;
    const std::string line = logger.format("Getting server status", Debug);
    const std::regex expected(R"(\[Debug\]\t\[[0-9a-fA-Fx]+\] \d\d:\d\d:\d\d \d+(\.\d{1,3})?\tGetting server status)");
    EXPECT_TRUE(std::regex_match(line, expected)) << line;

    // The bracketed thread identifier is that of the calling thread.
    EXPECT_NE(line.find("[" + threadText() + "] "), std::string::npos) << line;
}

TEST(LevelName, InsideAndOutsideTable_NameOrEmpty)
{
    EXPECT_EQ(levelName(Debug) + levelName(Info) + levelName(Warning) + levelName(Error) + levelName(Critical),
              "DebugInfoWarningErrorCritical");

    RecordingLogger logger;
    for (Level level : {static_cast<Level>(-1), static_cast<Level>(5)}) {
        EXPECT_EQ(levelName(level), "");
        const std::string line = logger.format("m", level);
        EXPECT_EQ(line.rfind("[]\t[", 0), 0u) << line;
    }
}

TEST(LoggerFormat, PlaceholdersInMessage_StayLiteral)
{
    RecordingLogger logger;
    const std::string message = "{TIME} {LEVEL} {THREAD} {MESSAGE}";
    const std::string line = logger.format(message, Warning);
    ASSERT_GE(line.size(), message.size() + 1);
    EXPECT_EQ(line.substr(line.size() - message.size() - 1), "\t" + message);
    EXPECT_EQ(line.rfind("[Warning]\t[", 0), 0u) << line;
    // Exactly the two tabs of the template: the message was inserted once.
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2);
}

TEST(LoggerFormat, AnyTemplate_SameAsReplacingEachPlaceholderInTurn)
{
    // In `line`, %t stands for the thread text and %T for the time text.
    struct Case
    {
        const char* lineTemplate;
        int level;
        const char* message;
        const char* line;
    };
    const Case cases[] = {
        {"{LEVEL}|{MESSAGE}|{LEVEL}|{MESSAGE}|{THREAD}{THREAD}", Error, "m", "Error|m|Error|m|%t%t"},
        // An empty level name joins the text around it into a placeholder of a later step...
        {"{TI{LEVEL}ME}", 5, "m", "%T"},
        {"{THR{LEVEL}EAD}|{MES{LEVEL}SAGE}", -1, "m", "%t|m"},
        {"{TI{LEVEL}ME}", Debug, "m", "{TIDebugME}"},
        // ...but not into one of its own step, and the message is never searched.
        {"{LEVEL{LEVEL}}", 5, "m", "{LEVEL}"},
        {"{MESSAGE}{TI{LEVEL}ME}", 7, "{TIME}", "{TIME}%T"},
        {"{{LEVEL}}{{MESSAGE}}", Info, "{LEVEL}", "{Info}{{LEVEL}}"},
        {"no placeholder", Debug, "m", "no placeholder"},
        {"", Debug, "m", ""},
    };
    const std::string thread = threadText();
    for (const Case& c : cases) {
        RecordingLogger logger;
        logger.setLineTemplate(c.lineTemplate);
        EXPECT_EQ(logger.lineTemplate(), c.lineTemplate);
        // The time text moves on; take a line made within one reading of it.
        std::string time, line;
        do {
            time = timeText();
            line = logger.format(c.message, static_cast<Level>(c.level));
        } while (time != timeText());
        EXPECT_EQ(line, Orv::replaceAll(Orv::replaceAll(c.line, "%t", thread), "%T", time)) << c.lineTemplate;
    }
}

TEST(LoggerFormat, EmptyMessage_LineEndsWithTabAfterTime)
{
    RecordingLogger logger;
    const std::string line = logger.format("", Debug);
    const std::regex expected(R"(\[Debug\]\t\[[^\]]+\] \d\d:\d\d:\d\d [0-9.e+]+\t)");
    EXPECT_TRUE(std::regex_match(line, expected)) << line;
}

TEST(TimeText, GivenTime_TwoDigitFieldsAndElapsedSeconds)
{
    EXPECT_EQ(timeText(localTime(9, 5, 3), 12345), "09:05:03 12.345");
    EXPECT_EQ(timeText(localTime(23, 59, 59), 0), "23:59:59 0");
    EXPECT_EQ(timeText(localTime(0, 0, 0), 15), "00:00:00 0.015");
    EXPECT_EQ(timeText(localTime(10, 10, 10), 2000), "10:10:10 2");
    EXPECT_EQ(timeText(localTime(12, 0, 60), 3723456), "12:00:60 3723.46");
    EXPECT_EQ(timeText(localTime(1, 2, 3), 1000000000), "01:02:03 1e+06");
}

TEST(TimeText, CachedReadings_SameAsConvertedAfresh)
{
    // The last second of a local day.
    std::tm day{};
    day.tm_year = 126;
    day.tm_mon = 2;
    day.tm_mday = 14;
    day.tm_hour = 23;
    day.tm_min = 59;
    day.tm_sec = 59;
    day.tm_isdst = -1;
    const std::time_t lastSecond = std::mktime(&day);
    ASSERT_NE(lastSecond, static_cast<std::time_t>(-1));

    // Readings in the order a thread takes them; each text must be what converting them
    // afresh gives.
    const struct
    {
        std::time_t now;
        std::int64_t elapsed;
    } readings[] = {
        {lastSecond, 41999},
        {lastSecond, 42000},     // the next millisecond, same second
        {lastSecond + 1, 42000}, // the second (and the day) changes, not the millisecond
        {lastSecond + 1, 42001},
        {lastSecond - 3600, 42002}, // the wall clock set back
    };
    Detail::TimeTextCache cache;
    for (const auto& reading : readings) {
        std::tm local{};
        ASSERT_TRUE(Platform::localTime(reading.now, local));
        EXPECT_EQ(cache.text(reading.now, reading.elapsed), timeText(local, reading.elapsed)) << reading.now;
    }
    // The rows did cross midnight.
    EXPECT_EQ(cache.text(lastSecond + 1, 42003).substr(0, 9), "00:00:00 ");
}

TEST(TimeText, Live_LocalTimeAndWallClockElapsed)
{
    const std::string first = timeText();
    EXPECT_TRUE(std::regex_match(first, std::regex(R"(\d\d:\d\d:\d\d \d+(\.\d{1,3})?)"))) << first;

    // The elapsed part must follow the wall clock even while the process uses no
    // processor time at all.
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    const std::string second = timeText();
    const double slept = elapsedSeconds(second) - elapsedSeconds(first);
    EXPECT_GE(slept, 0.1) << first << " / " << second;
    EXPECT_LT(slept, 5.0) << first << " / " << second;

    // And it counts from the process's start, not from some far earlier instant.
    EXPECT_LT(elapsedSeconds(second), 3600.0) << second;
}

TEST(ThreadText, SameThread_SameTextEveryTime)
{
    const std::string text = threadText();
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text, "{Not-any-thread}");
    EXPECT_EQ(threadText(), text);
#ifdef GARBWRIGHT_COMPARE_BOOST_THREAD
    // The same form as Boost.Thread's own text for the thread.
    EXPECT_EQ(text, Orv::toText(boost::this_thread::get_id()));
#endif
}

#ifdef GARBWRIGHT_COMPARE_BOOST_THREAD
TEST(ThreadText, ConcurrentThreads_DistinctTexts)
{
    const std::string mainText = threadText();

    // One thread started by Boost and one that Boost knows nothing of, like the host's own
    // threads; both alive at the same time so that their identifiers cannot be reused.
    boost::barrier bothRunning(2);
    std::string boostFirst, boostSecond, foreignFirst, foreignSecond;
    boost::thread boostThread([&] {
        boostFirst = threadText();
        bothRunning.wait();
        boostSecond = threadText();
    });
    std::thread foreignThread([&] {
        foreignFirst = threadText();
        bothRunning.wait();
        foreignSecond = threadText();
    });
    boostThread.join();
    foreignThread.join();

    EXPECT_EQ(boostFirst, boostSecond);
    EXPECT_EQ(foreignFirst, foreignSecond);
    EXPECT_FALSE(foreignFirst.empty());
    EXPECT_NE(foreignFirst, "{Not-any-thread}");
    EXPECT_NE(boostFirst, foreignFirst);
    EXPECT_NE(boostFirst, mainText);
    EXPECT_NE(foreignFirst, mainText);
}
#endif
