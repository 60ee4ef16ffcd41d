#include "platform.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string_view>

#include <pthread.h>
#include <time.h>
#include <unistd.h>

namespace Orv {
namespace Logging {
namespace Platform {

namespace {

// The C library's clock() counts processor time here, which stands still while the process
// waits, so the elapsed time is measured on the boot clock against the process's start time
// that the kernel records (on the same clock) in /proc/self/stat. Should either be
// unavailable, an instant taken when the library was loaded stands in for the start.

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

} // namespace

void takeStartReference()
{
    loadInstant();
    processStart();
}

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

// The form Boost.Thread's stream output gives a thread identifier here: the pthread handle
// in lower-case hexadecimal without a prefix. Every thread, also one the library did not
// start, has a handle, so there is no "not any thread" case.
std::string currentThreadText()
{
    std::ostringstream stream;
    stream << std::hex << pthread_self();
    return stream.str();
}

bool localTime(std::time_t time, std::tm& local)
{
    return localtime_r(&time, &local) != nullptr;
}

} // namespace Platform
} // namespace Logging
} // namespace Orv
