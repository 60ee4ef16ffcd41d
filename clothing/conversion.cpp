// Converting a garment for the selected figure and having the host load the result.

#include "garbwright.h"

#include "conversionreply.h"
#include "dzapp.h"
#include "dzcontentfolder.h"
#include "dzcontentmgr.h"
#include "dzprogress.h"
#include "dzskeleton.h"
#include "garbwrightconstants.h"
#include "messages.h"
#include "protocol.h"
#include "slotlog.h"
#include "socketclient.h"
#include "waitprogress.h"
#include "wiretext.h"

#include <utility>

void BMPliantClothing::processPliantClothing(QString vendor, QString clothing, QString scriptPath)
{
    guardedSlot("processPliantClothing", [&] {
        trace("Processing Pliant Clothing");

        trace(" - Checking if server is running");
        startServer();
        if (!isServerRunning())
            return;

        trace(" - Getting figure geom path");
        const QString geomPath = figureGeomPath();
        trace(" - Geom path: ", geomPath);
        if (geomPath.isEmpty())
            return;

        trace(" - Assembling message");
        const QString field(QLatin1Char(Protocol::fieldTerminator));
        const QString message = geomPath + field + vendor + field + clothing + field + scriptPath
            + field + QLatin1Char(Protocol::requestTerminator);
        trace(" - Message: ", message);

        // A character the wire cannot carry would reach the server as '?': a different
        // vendor, garment or folder. Nothing is sent then, and the user is told which field.
        const std::pair<Messages::RequestField, const QString*> fields[] = {
            {Messages::RequestField::Figure, &geomPath},
            {Messages::RequestField::Vendor, &vendor},
            {Messages::RequestField::Clothing, &clothing},
            {Messages::RequestField::ScriptPath, &scriptPath},
        };
        for (const auto& [which, value] : fields) {
            if (!fitsWireText(*value)) {
                displayError(Messages::fieldNotSendable(which), false);
                return;
            }
        }

        std::string relativePath;
        try {
            trace(" - Connecting to server");
            SocketClient client(serverHost, Protocol::serverPort);
            DzProgress progress(Messages::converting(clothing, geomPath), 0, false, true);
            stepWhileWaiting(client, progress);

            trace(" - Converting message");
            const std::string request = toWireText(message);

            trace(" - Sending conversion message");
            relativePath = cleanConversionReply(client.request(request));

            traceReceived(" - Converted cr2 file: ", relativePath);
        } catch (...) {
            displayError(Messages::processingFailed(), false);
            return;
        }

        if (isErrorReply(relativePath))
            return;
        const std::string refusal = refusalReason(relativePath);
        if (!refusal.empty()) {
            trace(" - Refusing the converted cr2 file: ", refusal);
            displayError(Messages::processingFailed(), false);
            return;
        }

        trace(" - Determining current runtime directory");
        DzContentMgr* contentMgr = dzApp->getContentMgr();
        const DzContentFolder* folder = contentMgr->findBaseDirectory(scriptPath, true);
        if (!folder) {
            displayError(Messages::scriptOutsideContent(scriptPath), false);
            return;
        }
        const QString runtime = folder->getName();
        trace(" - Current runtime: ", runtime);

        traceReceived(" - Relative cr2 path: ", relativePath);
        const QString cr2Path = contentMgr->getAbsolutePath(fromWireText(relativePath), true, runtime);
        traceReceived(" - Cr2 path: ", cr2Path);

        // Remembered before the host opens the file, so that it is in place when the host
        // reports the loaded garment.
        trace(" - Remembering current figure");
        m_currentFigure = getSelectedFigure();

        trace(" - Loading clothing");
        contentMgr->openFile(cr2Path, true);

        trace("Done processing clothing");
    });
}
