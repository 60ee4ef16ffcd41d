#ifndef GARBWRIGHT_SLOTWORK_H
#define GARBWRIGHT_SLOTWORK_H

// What the slots that use no object state do, as functions of no object.
//
// While a call waits on the server, the host's event loop turns: its timers, queued signals
// and other scripts run, and one of them may delete the BMPliantClothing whose slot is
// waiting, change the selection or call the module again. So the work a slot goes on with
// after a wait never needs its object; only the conversion's last step, which remembers the
// figure, does, and it first checks that the object is still there.

#include <QString>

#include <chrono>

class DzSkeleton;

namespace SlotWork {

int displayError(const QString& msg, bool needsConfirmation);

DzSkeleton* getSelectedFigure();
// The selected figure's name; `figure`, when given, receives the figure (null when none).
QString figureGeomPath(DzSkeleton** figure = nullptr);

// Whether the server answers a probe: a peer that closes without a byte does not. The
// probe shows progress once it has waited a while, and the user may cancel it.
enum class Probe { Answered, NotAnswered, Cancelled };
Probe probeServer();
bool isServerRunning();
QString serverStatus();
void stopServer();
QString tfInstallDir();

// How an attempt to start the server ended.
struct ServerStart {
    enum Result {
        AlreadyRunning, // a server answered; nothing was started
        NotStarted,     // no install directory or no program; the user has been told
        Launched,       // the program was started (by this call or, still starting, by an
                        // earlier one) and the start-up wait is over
        Cancelled,      // the user cancelled the probe or the start-up wait
    };
    Result result = NotStarted;
    QString serverPath;
    std::chrono::steady_clock::time_point launchedAt;
};
ServerStart startServer();

// After a launch whose server did not answer at the end of the start-up wait (a first start
// on a slow machine, or a virus scanner looking at a new program): probes it quietly, every
// little while, until it answers or a bound after the launch has passed.
enum class Awaited { Answered, NotAnswered, Cancelled };
constexpr std::chrono::seconds launchedServerBound{30};
Awaited awaitLaunchedServer(const ServerStart& start);

// One call that waits on the server is under way in the host at a time, across all
// objects: a conversion or a server start that arrives while another waits is refused, so
// that it cannot start a second server or convert against a half-started one. A call holds
// this only while it waits (the server's start, the wait for a slow start, the exchange):
// loading the garment, the host's notices of the load and any dialog are not waits, and a
// call made from them proceeds.
class WaitingCall {
public:
    WaitingCall();
    ~WaitingCall();
    WaitingCall(const WaitingCall&) = delete;
    WaitingCall& operator=(const WaitingCall&) = delete;

    static bool underWay();

    // While one lives (around a dialog), no call counts as waiting.
    class Paused {
    public:
        Paused();
        ~Paused();
        Paused(const Paused&) = delete;
        Paused& operator=(const Paused&) = delete;

    private:
        int m_held;
    };
};

// While one lives, `loader`'s conversion has the host load its garment: a skeleton the host
// announces then is that conversion's, and no other object judges it.
class GarmentLoad {
public:
    explicit GarmentLoad(const void* loader);
    ~GarmentLoad();
    GarmentLoad(const GarmentLoad&) = delete;
    GarmentLoad& operator=(const GarmentLoad&) = delete;

    // The object whose garment is loading, if any.
    static const void* loader();

private:
    const void* m_outer;
};

} // namespace SlotWork

#endif
