#include "waitprogress.h"

#include "dzprogress.h"
#include "socketclient.h"

#include <algorithm>
#include <thread>

void waitShowingProgress(const QString& info, std::chrono::milliseconds duration)
{
    using Clock = std::chrono::steady_clock;
    const int ticks = static_cast<int>((duration + progressTick - std::chrono::milliseconds(1)) / progressTick);
    DzProgress progress(info, ticks, false, true);
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + duration;
    // Ticks fall on fixed instants after the start, so slow steps do not stretch the wait.
    for (Clock::time_point now = start; now < end; now = Clock::now()) {
        const Clock::time_point nextTick = start + ((now - start) / progressTick + 1) * progressTick;
        std::this_thread::sleep_until(std::min(nextTick, end));
        progress.update(static_cast<int>((Clock::now() - start) / progressTick));
    }
}

void stepWhileWaiting(SocketClient& client, DzProgress& progress)
{
    client.setWaitingHook([&progress] { progress.step(); }, progressTick);
}
