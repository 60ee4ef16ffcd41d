#include "platform.h"

#include <cstdio>
#include <ctime>

namespace Orv {
namespace Logging {
namespace Platform {

// The C runtime's clock() counts the wall-clock time since the process started here, in
// milliseconds (CLOCKS_PER_SEC is 1000), which is the elapsed time a line carries. The
// runtime takes the start itself.
void takeStartReference()
{
}

std::int64_t elapsedMilliseconds()
{
    const std::clock_t ticks = std::clock();
    if (ticks == static_cast<std::clock_t>(-1))
        return 0;
    return static_cast<std::int64_t>(ticks) * 1000 / CLOCKS_PER_SEC;
}

// Boost.Thread writes a thread identifier here as the address of its per-thread record:
// upper-case hexadecimal, no prefix, as many digits as a pointer has. A thread-local object
// is that record's counterpart: it exists for every thread, also one the library did not
// start, and its address stays the same for the thread's life.
std::string currentThreadText()
{
    thread_local const char record = 0;
    char text[2 * sizeof(void*) + 1];
    std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(&record)));
    return text;
}

bool localTime(std::time_t time, std::tm& local)
{
    return localtime_s(&local, &time) == 0;
}

} // namespace Platform
} // namespace Logging
} // namespace Orv
