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

bool isServerRunning();
QString serverStatus();
void stopServer();
QString tfInstallDir();

// How an attempt to start the server ended.
struct ServerStart {
    enum Result {
        AlreadyRunning, // a server answered; nothing was started
        NotStarted,     // no install directory or no program; the user has been told
        Launched,       // the program was started and the start-up wait is over
        Cancelled,      // the program was started and the user cancelled the start-up wait
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

// One call that may wait on the server is under way in the host at a time, across all
// objects: a conversion or a server start that arrives while another waits is refused, so
// that it cannot start a second server or convert against a half-started one.
class WaitingCall {
public:
    WaitingCall();
    ~WaitingCall();
    WaitingCall(const WaitingCall&) = delete;
    WaitingCall& operator=(const WaitingCall&) = delete;

    static bool underWay();
};

} // namespace SlotWork

#endif
