#ifndef GARBWRIGHT_WAITPROGRESS_H
#define GARBWRIGHT_WAITPROGRESS_H

// The module's long waits run on the host's script thread. They step a host progress object
// on a short tick, so that the host repaints and shows how long the wait has lasted instead
// of looking frozen.

#include <QString>

#include <chrono>

class DzProgress;
class SocketClient;

// How often a wait lets the host handle its events: short enough that the host never looks
// stuck, long enough that stepping costs next to nothing.
constexpr std::chrono::milliseconds progressTick{25};

// Sleeps for `duration` on the calling thread under a progress showing `info`, stepping it
// every tick. The wait lasts `duration`, plus at most the handling of one step.
void waitShowingProgress(const QString& info, std::chrono::milliseconds duration);

// Has `client` step `progress` every tick while its request waits on the server.
void stepWhileWaiting(SocketClient& client, DzProgress& progress);

#endif
