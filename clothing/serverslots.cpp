// Finding, starting, probing and stopping the conversion server. Nothing is tracked
// between calls: whether the server runs is decided afresh by a probe each time.

#include "garbwright.h"

#include "detachedprocess.h"
#include "garbwrightconstants.h"
#include "messages.h"
#include "protocol.h"
#include "slotlog.h"
#include "socketclient.h"
#include "waitprogress.h"
#include "wiretext.h"

#include <QFile>
#include <QSettings>

namespace {

// After launching the server, the caller waits this long before probing it.
constexpr std::chrono::milliseconds serverStartWait{2000};

// Probes and the stop request are answered at once by a working server.
SocketClient quickClient()
{
    return SocketClient(serverHost, Protocol::serverPort, Protocol::probeTimeout);
}

} // namespace

void BMPliantClothing::startServer()
{
    guardedSlot("startServer", [&] {
        trace("Starting pliant clothing server");

        trace(" - Checking if server is already running");
        if (isServerRunning())
            return;

        trace(" - Getting TF installation directory");
        const QString directory = tfInstallDir();
        trace(" - TF Dir: ", directory);
        if (directory.isEmpty())
            return;

        trace(" - Checking for server executable");
        // The stored directory ends with a separator; nothing is inserted.
        const QString serverPath = directory + serverExeName;
        trace(" - Path: ", serverPath);
        if (!QFile::exists(serverPath)) {
            displayError(Messages::serverNotFound(directory + updaterExeName), false);
            return;
        }

        trace(" - Starting server");
        // Exactly the path that was checked, with no arguments, in the host's working
        // directory; its result shows only in the caller's probe.
        startDetachedProgram(serverPath);

        trace(" - Waiting for server to start");
        waitShowingProgress(Messages::startingServer(), serverStartWait);

        trace("Done starting server");
    });
}

void BMPliantClothing::stopServer()
{
    guardedSlot("stopServer", [&] {
        trace("Stopping pliant clothing server");
        try {
            SocketClient client = quickClient();
            client.request(Protocol::stopRequest);
        } catch (...) {
            displayError(Messages::couldNotStopServer(), false);
        }
    });
}

QString BMPliantClothing::serverStatus()
{
    return guardedSlot("serverStatus", QString(), [&] {
        trace("Getting server status");

        trace(" - Creating socket client");
        SocketClient client = quickClient();
        try {
            trace(" - Creating message");
            const std::string message = Protocol::probeRequest;

            trace(" - Sending message");
            const std::string reply = client.request(message);

            trace(" - Converting response");
            const QString text = fromWireText(reply);

            trace(" - Returning result");
            return text;
        } catch (...) {
            displayError(Messages::serverCommunicationFailed(), false);
            return QString();
        }
    });
}

bool BMPliantClothing::isServerRunning()
{
    return guardedSlot("isServerRunning", false, [&] {
        trace("Determining if pliant clothing server is running");

        trace(" - Creating socket client");
        SocketClient client = quickClient();
        try {
            trace(" - Sending request");
            client.request(Protocol::probeRequest);
            trace(" - Server is running");
            return true;
        } catch (...) {
            trace(" - Server is not running");
            return false;
        }
    });
}

QString BMPliantClothing::tfInstallDir()
{
    return guardedSlot("tfInstallDir", QString(), [&] {
        trace("Getting tf installation directory");

        trace(" - Initializing settings");
        const QSettings settings(CompanionSettings::organisation(), CompanionSettings::application());

        trace(" - Returning install directory");
        const QString directory = settings.value(CompanionSettings::installDirKey(), QString()).toString();
        if (directory.isEmpty())
            displayError(Messages::installDirNotFound(homepageUrl), false);
        return directory;
    });
}
