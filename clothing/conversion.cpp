// Converting a garment for the selected figure and having the host load the result.

#include "garbwright.h"

#include "conversionreply.h"
#include "dzapp.h"
#include "dzcontentfolder.h"
#include "dzcontentmgr.h"
#include "dzprogress.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "garbwrightconstants.h"
#include "messages.h"
#include "protocol.h"
#include "slotlog.h"
#include "slotwork.h"
#include "socketclient.h"
#include "waitprogress.h"
#include "wiretext.h"

#include <QPointer>

#include <initializer_list>
#include <optional>
#include <utility>

namespace {

// The characters that end a field or the whole request on the wire; the request format has
// no escape, so a field holding one would reach the server as other fields.
constexpr char requestTerminators[] = {Protocol::fieldTerminator, Protocol::requestTerminator};

// The first terminator in `field`, or 0.
char terminatorIn(const QString& field)
{
    for (const char terminator : requestTerminators) {
        if (field.contains(QLatin1Char(terminator)))
            return terminator;
    }
    return 0;
}

// Why a field cannot go to the server as it is, as the message for the user, or an empty
// text when it can.
QString refusalOf(Messages::RequestField which, const QString& value)
{
    // A character the wire cannot carry would reach the server as '?': a different vendor,
    // garment or folder.
    if (!fitsWireText(value))
        return Messages::fieldNotSendable(which);
    if (const char terminator = terminatorIn(value))
        return Messages::fieldHoldsTerminator(which, terminator);
    return QString();
}

// True when `figure` is still there and is the one selected node.
bool isSoleSelection(const DzSkeleton* figure)
{
    const QObjectList selected = figure && dzScene ? dzScene->getSelectedNodeList() : QObjectList();
    return selected.size() == 1 && selected.first() == figure;
}

const void* s_garmentLoader = nullptr;

} // namespace

SlotWork::GarmentLoad::GarmentLoad(const void* loader) : m_outer(s_garmentLoader)
{
    s_garmentLoader = loader;
}

SlotWork::GarmentLoad::~GarmentLoad()
{
    s_garmentLoader = m_outer;
}

const void* SlotWork::GarmentLoad::loader()
{
    return s_garmentLoader;
}

void BMPliantClothing::processPliantClothing(QString vendor, QString clothing, QString scriptPath)
{
    guardedSlot("processPliantClothing", [&] {
        trace("Processing Pliant Clothing");
        if (SlotWork::WaitingCall::underWay()) {
            SlotWork::displayError(Messages::anotherCallWaiting(), false);
            return;
        }
        // Held until the exchange is over.
        std::optional<SlotWork::WaitingCall> call(std::in_place);
        // The host may delete this object while the call waits; it is not touched then.
        const QPointer<BMPliantClothing> self(this);
        const auto gone = [&self] {
            if (self)
                return false;
            trace(" - The Pliant Clothing object was deleted while waiting; stopping");
            return true;
        };

        trace(" - Checking if server is running");
        const SlotWork::ServerStart start = SlotWork::startServer();
        if (gone())
            return;
        if (start.result == SlotWork::ServerStart::Cancelled)
            return;
        // A server that answered a moment ago and no longer does (one that is stopping) is
        // reported as one that never answers.
        const auto stoppedAnswering = [] {
            SlotWork::displayError(Messages::serverStoppedAnswering(), false);
        };
        SlotWork::Probe probe = SlotWork::probeServer();
        if (gone() || probe == SlotWork::Probe::Cancelled)
            return;
        if (probe == SlotWork::Probe::NotAnswered) {
            if (start.result == SlotWork::ServerStart::AlreadyRunning) {
                stoppedAnswering();
                return;
            }
            // A server this call started may be slow to answer the first time; one it could
            // not start has had its message shown already.
            if (start.result != SlotWork::ServerStart::Launched)
                return;
            const SlotWork::Awaited awaited = SlotWork::awaitLaunchedServer(start);
            if (gone())
                return;
            if (awaited == SlotWork::Awaited::Cancelled) {
                trace(cancelledByUser);
                return;
            }
            if (awaited == SlotWork::Awaited::NotAnswered) {
                SlotWork::displayError(
                    Messages::serverDidNotAnswer(start.serverPath,
                                                 static_cast<int>(SlotWork::launchedServerBound.count())),
                    false);
                return;
            }
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start.launchedAt);
            trace(" - The conversion server answered " + Orv::toText(took.count()) + " ms after it was started");
            probe = SlotWork::probeServer();
            if (gone() || probe == SlotWork::Probe::Cancelled)
                return;
            if (probe == SlotWork::Probe::NotAnswered) {
                stoppedAnswering();
                return;
            }
        }

        trace(" - Getting figure geom path");
        DzSkeleton* selected = nullptr;
        const QString geomPath = SlotWork::figureGeomPath(&selected);
        trace(" - Geom path: ", geomPath);
        if (geomPath.isEmpty())
            return;
        // The figure the garment is converted for; the host may delete it meanwhile.
        const QPointer<DzSkeleton> figure(selected);

        trace(" - Assembling message");
        // Appended in place: a chain of `+` would hold a copy of the whole request per field
        // until its end, and a field may be many megabytes long.
        QString message;
        message.reserve(geomPath.size() + vendor.size() + clothing.size() + scriptPath.size() + 5); // and 5 terminators
        const std::initializer_list<const QString*> values = {&geomPath, &vendor, &clothing, &scriptPath};
        for (const QString* value : values) {
            message += *value;
            message += QLatin1Char(Protocol::fieldTerminator);
        }
        // The request's own terminator ends the line, as it ends the request; a terminator
        // inside a field is shown as data.
        trace(" - Message: " + loggable(message) + Protocol::requestTerminator);
        message += QLatin1Char(Protocol::requestTerminator);

        // Nothing is sent with a field the server would read as something else.
        const std::pair<Messages::RequestField, const QString*> fields[] = {
            {Messages::RequestField::Figure, &geomPath},
            {Messages::RequestField::Vendor, &vendor},
            {Messages::RequestField::Clothing, &clothing},
            {Messages::RequestField::ScriptPath, &scriptPath},
        };
        for (const auto& [which, value] : fields) {
            const QString refusal = refusalOf(which, *value);
            if (!refusal.isEmpty()) {
                SlotWork::displayError(refusal, false);
                return;
            }
        }

        std::string relativePath;
        try {
            trace(" - Connecting to server");
            SocketClient client(serverHost, Protocol::serverPort);
            DzProgress progress(Messages::converting(clothing, geomPath), 0, true, true);
            stepWhileWaiting(client, progress);

            trace(" - Converting message");
            const std::string request = toWireText(message);

            trace(" - Sending conversion message");
            relativePath = cleanConversionReply(client.request(request));

            traceReceived(" - Converted cr2 file: ", relativePath);
        } catch (const WaitCancelled&) {
            // The server may still finish the conversion; nothing of it is loaded.
            trace(cancelledByUser);
            return;
        } catch (...) {
            SlotWork::displayError(Messages::processingFailed(), false);
            return;
        }
        call.reset();
        if (gone())
            return;

        if (isErrorReply(relativePath))
            return;
        const std::string refusal = refusalReason(relativePath);
        if (!refusal.empty()) {
            trace(" - Refusing the converted cr2 file: ", refusal);
            SlotWork::displayError(Messages::processingFailed(), false);
            return;
        }
        // The garment was converted for that figure; fitted to another, or with the figure
        // gone, it would be wrong.
        if (!isSoleSelection(figure)) {
            SlotWork::displayError(Messages::selectionChanged(geomPath), false);
            return;
        }

        trace(" - Determining current runtime directory");
        DzContentMgr* contentMgr = dzApp->getContentMgr();
        const DzContentFolder* folder = contentMgr->findBaseDirectory(scriptPath, true);
        if (!folder) {
            SlotWork::displayError(Messages::scriptOutsideContent(scriptPath), false);
            return;
        }
        const QString runtime = folder->getName();
        trace(" - Current runtime: ", runtime);

        traceReceived(" - Relative cr2 path: ", relativePath);
        const QString cr2Path = contentMgr->getAbsolutePath(fromWireText(relativePath), true, runtime);
        trace(" - Cr2 path: ", cr2Path);

        // Remembered before the host opens the file, so that it is in place when the host
        // reports the loaded garment; it is the figure the garment was converted for, which
        // the selection still holds alone.
        trace(" - Remembering current figure");
        SlotWork::getSelectedFigure();
        m_currentFigure = figure;

        trace(" - Loading clothing");
        const int nodesBefore = dzScene ? dzScene->getNumNodes() : 0;
        bool loaded = false;
        {
            const SlotWork::GarmentLoad load(this);
            loaded = contentMgr->openFile(cr2Path, true);
        }
        // A load that produced no garment (the host could not open the file) leaves nothing
        // for the figure to be checked against: a skeleton loaded later is someone else's.
        // The host may have deleted this object while it loaded.
        const bool producedGarment = loaded && dzScene && dzScene->getNumNodes() > nodesBefore;
        if (self && m_currentFigure && !producedGarment) {
            trace(" - No garment was loaded; forgetting current figure");
            m_currentFigure = nullptr;
        }

        trace("Done processing clothing");
    });
}
