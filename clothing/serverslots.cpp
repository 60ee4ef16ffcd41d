// Finding, starting, probing and stopping the conversion server. Whether the server runs is
// decided afresh by a probe each time; only a launch is remembered, until it answers.

#include "garbwright.h"

#include "detachedprocess.h"
#include "dzprogress.h"
#include "garbwrightconstants.h"
#include "messages.h"
#include "protocol.h"
#include "slotlog.h"
#include "slotwork.h"
#include "socketclient.h"
#include "waitprogress.h"
#include "wiretext.h"

#include <QFile>
#include <QSettings>

#include <algorithm>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

// After launching the server, the caller waits this long before probing it.
constexpr std::chrono::milliseconds serverStartWait{2000};
// A server that does not answer then is probed this often.
constexpr std::chrono::milliseconds launchProbeInterval{250};

// Probes and the stop request are answered at once by a working server. Only their
// arrival matters, so a reply that reaches the cap ends there instead of failing.
SocketClient quickClient(std::chrono::milliseconds bound = Protocol::probeTimeout)
{
    return SocketClient(serverHost, Protocol::serverPort, bound, Protocol::maxReplyBytes,
                        SocketClient::OverCap::EndReply);
}

// The last server program launched in the host, by any call of any object, until it answers
// or is asked to stop. A call that finds it not answering while it is still within its
// start-up bound waits for it: launching it again would start a second server beside the
// first.
struct Launch {
    QString serverPath;
    Clock::time_point at;
};
std::optional<Launch> s_launch;

// The launch of `serverPath` that is still starting, if any.
std::optional<Launch> launchStillStarting(const QString& serverPath)
{
    if (s_launch && s_launch->serverPath == serverPath && Clock::now() < s_launch->at + SlotWork::launchedServerBound)
        return s_launch;
    return std::nullopt;
}

} // namespace

namespace SlotWork {

ServerStart startServer()
{
    ServerStart start;
    trace("Starting pliant clothing server");

    trace(" - Checking if server is already running");
    const Probe probe = probeServer();
    if (probe == Probe::Answered) {
        start.result = ServerStart::AlreadyRunning;
        return start;
    }
    if (probe == Probe::Cancelled) {
        start.result = ServerStart::Cancelled;
        return start;
    }

    trace(" - Getting TF installation directory");
    const QString directory = tfInstallDir();
    trace(" - TF Dir: ", directory);
    if (directory.isEmpty())
        return start;

    trace(" - Checking for server executable");
    // The stored directory ends with a separator; nothing is inserted.
    start.serverPath = directory + serverExeName;
    trace(" - Path: ", start.serverPath);
    if (!QFile::exists(start.serverPath)) {
        displayError(Messages::serverNotFound(directory + updaterExeName), false);
        return start;
    }

    std::chrono::milliseconds startWait = serverStartWait;
    if (const std::optional<Launch> earlier = launchStillStarting(start.serverPath)) {
        start.launchedAt = earlier->at;
        const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - earlier->at);
        trace(" - The server started " + Orv::toText(since.count()) + " ms ago is still starting; waiting for it");
        startWait = std::max(serverStartWait - since, std::chrono::milliseconds(0));
    } else {
        trace(" - Starting server");
        // Exactly the path that was checked, with no arguments, in the host's working
        // directory; its result shows only in the caller's probe.
        start.launchedAt = Clock::now();
        s_launch = Launch{start.serverPath, start.launchedAt};
        startDetachedProgram(start.serverPath);
    }
    start.result = ServerStart::Launched;

    trace(" - Waiting for server to start");
    if (!waitShowingProgress(Messages::startingServer(), startWait)) {
        trace(cancelledByUser);
        start.result = ServerStart::Cancelled;
        return start;
    }

    trace("Done starting server");
    return start;
}

Awaited awaitLaunchedServer(const ServerStart& start)
{
    const Clock::time_point end = start.launchedAt + launchedServerBound;
    DzProgress progress(Messages::waitingForServer(), 0, true, true);
    try {
        for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
            const Clock::time_point nextProbe = now + launchProbeInterval;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
            SocketClient probe = quickClient(std::clamp(left, std::chrono::milliseconds(1), Protocol::probeTimeout));
            probe.setQuiet(true);
            stepWhileWaiting(probe, progress);
            try {
                probe.request(Protocol::probeRequest);
                s_launch.reset();
                return Awaited::Answered;
            } catch (const WaitCancelled&) {
                throw;
            } catch (...) {
                // Not answering yet.
            }
            waitUnder(progress, std::min(nextProbe, end));
        }
    } catch (const WaitCancelled&) {
        return Awaited::Cancelled;
    }
    return Awaited::NotAnswered;
}

void stopServer()
{
    trace("Stopping pliant clothing server");
    try {
        SocketClient client = quickClient();
        const ProgressWhenSlow progress(client, Messages::stoppingServer());
        client.request(Protocol::stopRequest);
        // Whatever was launched has been asked to end: a later call launches afresh.
        s_launch.reset();
    } catch (const WaitCancelled&) {
        trace(cancelledByUser);
    } catch (...) {
        displayError(Messages::couldNotStopServer(), false);
    }
}

QString serverStatus()
{
    trace("Getting server status");

    trace(" - Creating socket client");
    SocketClient client = quickClient();
    const ProgressWhenSlow progress(client, Messages::askingServer());
    try {
        trace(" - Creating message");
        const std::string message = Protocol::probeRequest;

        trace(" - Sending message");
        const std::string reply = client.request(message);

        trace(" - Converting response");
        const QString text = fromWireText(reply);

        trace(" - Returning result");
        return text;
    } catch (const WaitCancelled&) {
        trace(cancelledByUser);
        return QString();
    } catch (...) {
        displayError(Messages::serverCommunicationFailed(), false);
        return QString();
    }
}

Probe probeServer()
{
    trace("Determining if pliant clothing server is running");

    trace(" - Creating socket client");
    SocketClient client = quickClient();
    const ProgressWhenSlow progress(client, Messages::askingServer());
    try {
        trace(" - Sending request");
        // An exchange that completes is the server running, whatever it replies: what the
        // server answers to a probe is its own business. Whether it can convert shows in
        // the conversion's own reply.
        client.request(Protocol::probeRequest);
        trace(" - Server is running");
        s_launch.reset();
        return Probe::Answered;
    } catch (const WaitCancelled&) {
        trace(cancelledByUser);
        return Probe::Cancelled;
    } catch (...) {
    }
    trace(" - Server is not running");
    return Probe::NotAnswered;
}

bool isServerRunning()
{
    return probeServer() == Probe::Answered;
}

QString tfInstallDir()
{
    trace("Getting tf installation directory");

    trace(" - Initializing settings");
    const QSettings settings(CompanionSettings::organisation(), CompanionSettings::application());

    trace(" - Returning install directory");
    const QString directory = settings.value(CompanionSettings::installDirKey(), QString()).toString();
    if (directory.isEmpty())
        displayError(Messages::installDirNotFound(homepageUrl), false);
    return directory;
}

namespace {

int s_waitingCalls = 0;

} // namespace

WaitingCall::WaitingCall()
{
    ++s_waitingCalls;
}

WaitingCall::~WaitingCall()
{
    --s_waitingCalls;
}

bool WaitingCall::underWay()
{
    return s_waitingCalls > 0;
}

WaitingCall::Paused::Paused() : m_held(s_waitingCalls)
{
    s_waitingCalls = 0;
}

WaitingCall::Paused::~Paused()
{
    s_waitingCalls = m_held;
}

} // namespace SlotWork

void BMPliantClothing::startServer()
{
    guardedSlot("startServer", [] {
        if (SlotWork::WaitingCall::underWay()) {
            trace("Not starting pliant clothing server: another call is waiting on it");
            return;
        }
        const SlotWork::WaitingCall call;
        SlotWork::startServer();
    });
}

void BMPliantClothing::stopServer()
{
    guardedSlot("stopServer", [] { SlotWork::stopServer(); });
}

QString BMPliantClothing::serverStatus()
{
    return guardedSlot("serverStatus", QString(), [] { return SlotWork::serverStatus(); });
}

bool BMPliantClothing::isServerRunning()
{
    return guardedSlot("isServerRunning", false, [] { return SlotWork::isServerRunning(); });
}

QString BMPliantClothing::tfInstallDir()
{
    return guardedSlot("tfInstallDir", QString(), [] { return SlotWork::tfInstallDir(); });
}
