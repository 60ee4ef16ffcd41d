#ifndef ORV_LOGGING_PLATFORM_H
#define ORV_LOGGING_PLATFORM_H

// The facts a log line needs that each platform answers in its own way. One source file per
// platform implements them: platform_posix.cpp and platform_windows.cpp.

#include <cstdint>
#include <ctime>
#include <string>

namespace Orv {
namespace Logging {
namespace Platform {

// Takes whatever reference the elapsed time is measured from. Called once while the
// library is loaded, so that the first log line does not set the start.
void takeStartReference();

// The wall-clock time since the process started, in whole milliseconds.
std::int64_t elapsedMilliseconds();

// The calling thread's identifier as text: a hexadecimal token that stays the same for the
// whole life of the thread and differs between threads alive at the same time.
std::string currentThreadText();

// The local time of `time`, thread-safe; false when it cannot be converted.
bool localTime(std::time_t time, std::tm& local);

} // namespace Platform
} // namespace Logging
} // namespace Orv

#endif
