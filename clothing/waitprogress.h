#ifndef GARBWRIGHT_WAITPROGRESS_H
#define GARBWRIGHT_WAITPROGRESS_H

// The module's long waits run on the host's script thread. They step a host progress object
// on a short tick, so that the host repaints and shows how long the wait has lasted instead
// of looking frozen.

#include <QString>

#include <chrono>
#include <memory>

class DzProgress;
class SocketClient;

// How often a wait lets the host handle its events: short enough that the host never looks
// stuck, long enough that stepping costs next to nothing.
constexpr std::chrono::milliseconds progressTick{25};

// Raised out of a wait that the user cancelled.
struct WaitCancelled {};

// The line a call logs when the user cancels its wait; it then loads nothing and shows no
// error.
constexpr char cancelledByUser[] = " - Cancelled by the user";

// Sleeps for `duration` on the calling thread under a progress showing `info`, which the
// user may cancel, stepping it every tick. The wait lasts `duration`, plus at most the
// handling of one step. False when the user cancelled it; it then ends at once.
bool waitShowingProgress(const QString& info, std::chrono::milliseconds duration);

// Sleeps until `end` under `progress`, stepping it every tick. Raises WaitCancelled as soon
// as the user cancels.
void waitUnder(DzProgress& progress, std::chrono::steady_clock::time_point end);

// Has `client` step `progress` every tick while its request waits on the server; when the
// user cancels, the request is abandoned at once (its socket closed) with WaitCancelled.
void stepWhileWaiting(SocketClient& client, DzProgress& progress);

// How long a short exchange (a probe, the stop request) waits before it shows progress. A
// working server answers at once, so progress that flashed up every time would only
// distract; a peer that accepts and never answers holds the host for the exchange's bound.
constexpr std::chrono::milliseconds progressDelay{500};

// While it lives, `client`'s request shows a progress with `info`, which the user may
// cancel (the request is then abandoned with WaitCancelled), once it has waited
// progressDelay; an exchange that ends sooner shows nothing.
class ProgressWhenSlow {
public:
    ProgressWhenSlow(SocketClient& client, const QString& info);
    ~ProgressWhenSlow();
    ProgressWhenSlow(const ProgressWhenSlow&) = delete;
    ProgressWhenSlow& operator=(const ProgressWhenSlow&) = delete;

private:
    void waiting();

    QString m_info;
    std::chrono::steady_clock::time_point m_showAt;
    std::unique_ptr<DzProgress> m_progress;
};

#endif
