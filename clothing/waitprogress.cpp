#include "waitprogress.h"

#include "dzprogress.h"
#include "socketclient.h"

#include <algorithm>
#include <thread>

namespace {

void stopIfCancelled(const DzProgress& progress)
{
    if (progress.isCancelled())
        throw WaitCancelled();
}

} // namespace

void waitUnder(DzProgress& progress, std::chrono::steady_clock::time_point end)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    // The ticks stepped so far: the host's progress object does not tell its position, so
    // the wait counts its own steps.
    int stepped = 0;
    // Ticks fall on fixed instants after the start, so slow steps do not stretch the wait.
    for (Clock::time_point now = start; now < end; now = Clock::now()) {
        const Clock::time_point nextTick = start + ((now - start) / progressTick + 1) * progressTick;
        std::this_thread::sleep_until(std::min(nextTick, end));
        const int due = static_cast<int>((Clock::now() - start) / progressTick);
        progress.step(due - stepped); // a step of none still lets the host handle its events
        stepped = due;
        stopIfCancelled(progress);
    }
}

bool waitShowingProgress(const QString& info, std::chrono::milliseconds duration)
{
    const int ticks = static_cast<int>((duration + progressTick - std::chrono::milliseconds(1)) / progressTick);
    DzProgress progress(info, ticks, true, true);
    try {
        waitUnder(progress, std::chrono::steady_clock::now() + duration);
        return true;
    } catch (const WaitCancelled&) {
        return false;
    }
}

void stepWhileWaiting(SocketClient& client, DzProgress& progress)
{
    client.setWaitingHook(
        [&progress] {
            progress.step();
            stopIfCancelled(progress);
        },
        progressTick);
}

ProgressWhenSlow::ProgressWhenSlow(SocketClient& client, const QString& info)
    : m_info(info)
    , m_showAt(std::chrono::steady_clock::now() + progressDelay)
{
    client.setWaitingHook([this] { waiting(); }, progressTick);
}

ProgressWhenSlow::~ProgressWhenSlow() = default;

void ProgressWhenSlow::waiting()
{
    if (!m_progress) {
        if (std::chrono::steady_clock::now() < m_showAt)
            return;
        m_progress.reset(new DzProgress(m_info, 0, true, true));
    }
    m_progress->step();
    stopIfCancelled(*m_progress);
}
