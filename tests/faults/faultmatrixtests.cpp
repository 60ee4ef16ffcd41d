// The fault matrix: for each way a peer or the companion application's install can go
// wrong, the conversion returns within its bound, shows the right message (or none), loads
// nothing wrongly, remembers a figure only when it loaded a garment, and leaves no server
// behind.

#include "conversionfixture.h"
#include "dzprogresscontrol.h"
#include "dzappcontrol.h"

#include "dzprogress.h"
#include "queuedinput.h"
#include "waitprogress.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;

const QString installDirMissing = QStringLiteral("Could not find the Tailorforge installation directory");

// What a conversion came to.
struct Outcome {
    qint64 elapsedMs = 0;
    QStringList dialogs;
    QStringList lines;
    int loaded = 0;
    bool figureRemembered = false;
};

class FaultMatrix : public Conversion {
protected:
    Outcome convertAndObserve()
    {
        QElapsedTimer timer;
        timer.start();
        convert();
        Outcome outcome;
        outcome.elapsedMs = timer.elapsed();
        outcome.dialogs = dialogTexts();
        outcome.lines = messages();
        outcome.loaded = loadedCount();
        outcome.figureRemembered = figureRemembered();
        return outcome;
    }

    // A peer that answers probes like the server and does `conversion` with the rest.
    void serveProbesThen(LoopbackPeer::Behaviour conversion, int connections = 3)
    {
        serveWith(
            [conversion](PeerConnection& connection) {
                connection.readRequest();
                if (connection.received == Protocol::probeRequest) {
                    connection.send("ready\n");
                    connection.finishReply();
                } else {
                    conversion(connection);
                }
            },
            connections);
    }

    // An install directory holding `program` as the server, named in the settings.
    QString installServer(const QString& folderName, const QString& program)
    {
        const QString install = m_installRoot.path() + QLatin1Char('/') + folderName + QLatin1Char('/');
        EXPECT_TRUE(QDir().mkpath(install));
        EXPECT_TRUE(QFile::copy(program, install + QStringLiteral("Garbwright Server.exe")));
        setInstallDir(install);
        return install;
    }

    // An install directory whose server program is the shell script `body`.
    QString installScript(const QString& folderName, const QByteArray& body)
    {
        const QString program = m_installRoot.path() + QLatin1Char('/') + folderName + QStringLiteral(".sh");
        QFile file(program);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return installServer(folderName, program);
    }

    // Probes are bounded one by one; a conversion starts two of them.
    static constexpr qint64 twoProbesMs = 2 * Protocol::probeTimeout.count();
    static constexpr qint64 startWaitMs = 2000;
    static constexpr qint64 launchBoundMs = 30000;
    static constexpr qint64 marginMs = 1500 + refusedConnectionMs;

    QTemporaryDir m_installRoot;
};

// The user is told the conversion failed; nothing is loaded or remembered.
void expectConversionFailed(const Outcome& outcome)
{
    EXPECT_EQ(outcome.dialogs, QStringList{processingFailed});
    EXPECT_EQ(outcome.loaded, 0);
    EXPECT_FALSE(outcome.figureRemembered);
}

// Counts the key presses that reach it.
class KeyRecorder : public QWidget {
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++presses; }
};

// The time this thread has spent runnable but waiting for a processor, or 0 where the
// system does not tell.
qint64 runQueueWaitMs()
{
    QFile schedstat(QStringLiteral("/proc/thread-self/schedstat"));
    if (!schedstat.open(QIODevice::ReadOnly))
        return 0;
    return schedstat.readAll().split(' ').value(1).toLongLong() / 1000000;
}

// Sends `bytes` one at a time, 100 ms apart, until done, the client goes, or the test ends.
void trickle(PeerConnection& connection, const std::string& bytes)
{
    for (char byte : bytes) {
        if (!connection.send(std::string(1, byte)) || connection.released(100ms))
            return;
    }
    connection.finishReply();
}

TEST_F(FaultMatrix, ConnectionRefused_StopsAfterTheInstallDirMessage)
{
    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, marginMs);
    ASSERT_EQ(outcome.dialogs.size(), 1);
    EXPECT_TRUE(outcome.dialogs.first().contains(installDirMissing));
    EXPECT_EQ(outcome.loaded, 0);
    EXPECT_FALSE(outcome.figureRemembered);
}

TEST_F(FaultMatrix, PeerAcceptsAndNeverAnswers_BothProbesGiveUpInTime)
{
    // Holds each connection open, reading, until the client gives up on it.
    serveWith([](PeerConnection& connection) { connection.awaitClose(); }, 2);
    QStringList progress;
    // When each probe began and when its progress first showed.
    QElapsedTimer sinceStart;
    sinceStart.start();
    QList<qint64> probedAt;
    QList<qint64> shownAt;
    DzProgressControl::setLineWriter([&](const QString& line) {
        if (line.endsWith(QStringLiteral(": 0 s")))
            shownAt.append(sinceStart.elapsed());
        progress.append(line);
    });
    DzAppControl(app()).setLogWriter([&](const QString& line) {
        if (line.endsWith(QStringLiteral("Determining if pliant clothing server is running")))
            probedAt.append(sinceStart.elapsed());
    });

    const Outcome outcome = convertAndObserve();

    DzProgressControl::setLineWriter(nullptr);
    DzAppControl(app()).setLogWriter(nullptr);
    EXPECT_LT(outcome.elapsedMs, twoProbesMs + marginMs);
    EXPECT_GE(outcome.elapsedMs, twoProbesMs - 100);
    ASSERT_EQ(outcome.dialogs.size(), 1) << outcome.lines.join(QStringLiteral("\n")).toStdString();
    EXPECT_TRUE(outcome.dialogs.first().contains(installDirMissing));
    EXPECT_EQ(outcome.loaded, 0);
    EXPECT_FALSE(outcome.figureRemembered);
    // Each probe's wait shows, as every long wait does.
    EXPECT_GE(progress.filter(QStringLiteral("[progress] Asking the conversion server whether it runs")).size(), 2)
        << progress.join(QStringLiteral("\n")).toStdString();
    // But only once it has waited half a second: a quick exchange shows nothing.
    ASSERT_EQ(probedAt.size(), 2);
    ASSERT_EQ(shownAt.size(), 2) << progress.join(QStringLiteral("\n")).toStdString();
    for (int i = 0; i < 2; ++i)
        EXPECT_GE(shownAt.at(i) - probedAt.at(i), 500) << "probe " << i;

    // And the user may cancel it: the call ends there, starting nothing.
    serveWith([](PeerConnection& connection) { connection.awaitClose(); }, 1);
    clearLog();
    DzAppControl(app()).clearDialogRecords();
    QElapsedTimer clock;
    qint64 cancelledAt = -1;
    runLater(1000, [&] {
        cancelledAt = clock.elapsed();
        EXPECT_TRUE(DzProgressControl::cancelShown());
    });
    clock.start();
    const Outcome cancelled = convertAndObserve();
    EXPECT_GE(cancelledAt, 0);
    EXPECT_LT(cancelled.elapsedMs - cancelledAt, 1000); // not the rest of the probe's bound
    EXPECT_TRUE(cancelled.dialogs.isEmpty());
    EXPECT_TRUE(cancelled.lines.contains(QString::fromLatin1(cancelledByUser)));
    EXPECT_FALSE(cancelled.lines.contains(QStringLiteral(" - Getting TF installation directory")));
}

TEST_F(FaultMatrix, PeerTricklingWithoutEnd_BothProbesGiveUpInTime)
{
    serveWith([](PeerConnection& connection) { trickle(connection, std::string(1000, 'x')); }, 2);

    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, twoProbesMs + marginMs);
    EXPECT_EQ(outcome.loaded, 0);
    EXPECT_FALSE(outcome.figureRemembered);
}

TEST_F(FaultMatrix, SlowButFiniteConversionReply_StillLoaded)
{
    ASSERT_TRUE(QFile::copy(m_dressPath, m_content.path() + QStringLiteral("/Runtime/Dress.cr2")));
    serveProbesThen([](PeerConnection& connection) { trickle(connection, "Runtime:Dress.cr2\n"); });

    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, 18 * 100 + marginMs);
    EXPECT_TRUE(outcome.dialogs.isEmpty());
    EXPECT_EQ(outcome.loaded, 1);
    EXPECT_TRUE(outcome.lines.contains(QStringLiteral("Clothing is conformed")));
}

TEST_F(FaultMatrix, ResetInMidReply_PartialPathRefused)
{
    serveProbesThen([](PeerConnection& connection) {
        connection.send("Runtime:Libraries:Char");
        std::this_thread::sleep_for(100ms);
        connection.reset();
    });

    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, marginMs);
    EXPECT_TRUE(outcome.lines.contains(QStringLiteral(" - Converted cr2 file: Runtime\\Libraries\\Char")));
    expectConversionFailed(outcome);
}

TEST_F(FaultMatrix, HundredMebibyteReply_RefusedAtTheCap)
{
    serveProbesThen([](PeerConnection& connection) {
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 100 && connection.send(block); ++i) {
        }
    });

    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, 10000);
    expectConversionFailed(outcome);
}

TEST_F(FaultMatrix, ReplyJustUnderTheCap_LoggedByItsStartAndLength)
{
    const std::string name(Protocol::maxReplyBytes - 20, 'a');
    serveProbesThen([name](PeerConnection& connection) {
        connection.send("Runtime:" + name + ".cr2\n");
        connection.finishReply();
    });

    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, marginMs);
    EXPECT_EQ(outcome.loaded, 0);
    const QString start = QStringLiteral("Runtime\\") + QString(4096 - 8, QLatin1Char('a'));
    EXPECT_TRUE(outcome.lines.contains(QStringLiteral(" - Converted cr2 file: ") + start + QStringLiteral(" ... (")
                                       + QString::number(name.size() + 12) + QStringLiteral(" characters)")));
    for (const QString& line : outcome.lines)
        EXPECT_LT(line.size(), 4200);
}

TEST_F(FaultMatrix, PeerClosesWithoutReading_ConversionFails)
{
    serveProbesThen([](PeerConnection&) {});

    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, marginMs);
    expectConversionFailed(outcome);
}

TEST_F(FaultMatrix, ForeignProgramOnThePort_ItsAnswerIsNeverOpened)
{
    serveWith(replyWith("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));

    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, marginMs);
    expectConversionFailed(outcome);
}

TEST_F(FaultMatrix, ServerEndsBetweenProbeAndConversion_ProblemMessage)
{
    serve(dressReply, 2); // answers the two probes, then stops listening

    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, marginMs);
    expectConversionFailed(outcome);
}

// A server that answers the first probe and is gone by the second (one that is stopping) is
// reported; one whose probe exchange completes without a byte runs, and its conversion goes
// by the conversion's own reply.
TEST_F(FaultMatrix, ProbeAnsweredThenNotOrWithoutAByte_TheConversionsReplyDecides)
{
    const auto probesWithoutAByte = [](std::string conversionReply) {
        return answerWith([conversionReply](const std::string& request) {
            return request == Protocol::probeRequest ? std::string() : conversionReply;
        });
    };
    const struct {
        const char* name;
        std::function<void()> arrange;
        QString dialog; // the one dialog, or none
        int loaded;
    } cases[] = {
        {"gone at the second probe", [this] { serve(dressReply, 1); },
         QStringLiteral("The Garbwright Server did not answer"), 0},
        {"probes without a byte, then no reply", [&] { serveWith(probesWithoutAByte(std::string()), 3); },
         processingFailed, 0},
        {"probes without a byte, then a garment", [&] { serveWith(probesWithoutAByte(dressReply), 3); }, QString(), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearLog();
        DzAppControl(app()).clearDialogRecords();
        c.arrange();

        const Outcome outcome = convertAndObserve();

        EXPECT_LT(outcome.elapsedMs, marginMs);
        if (c.dialog.isEmpty()) {
            EXPECT_TRUE(outcome.dialogs.isEmpty()) << outcome.dialogs.join(QStringLiteral("\n")).toStdString();
        } else {
            ASSERT_EQ(outcome.dialogs.size(), 1) << outcome.lines.join(QStringLiteral("\n")).toStdString();
            EXPECT_TRUE(outcome.dialogs.first().contains(c.dialog)) << outcome.dialogs.first().toStdString();
        }
        EXPECT_EQ(outcome.loaded, c.loaded);
        EXPECT_FALSE(outcome.figureRemembered);
        m_server.reset();
    }
}

// The host cannot open the file the server names, or opens it and a receiver of its notice
// takes the garment away at once: no garment was loaded, so no later skeleton, whoever
// loads it, is judged against the figure.
TEST_F(FaultMatrix, HostLoadsNoGarment_FigureForgotten)
{
    serve("Runtime:Libraries:Missing.cr2\n");

    const Outcome outcome = convertAndObserve();

    ASSERT_EQ(outcome.dialogs.size(), 1) << "the host's own";
    EXPECT_TRUE(outcome.dialogs.first().contains(QStringLiteral("Missing.cr2")));
    EXPECT_TRUE(outcome.lines.contains(QStringLiteral(" - Loading clothing")));
    EXPECT_EQ(outcome.loaded, 0);
    EXPECT_FALSE(outcome.figureRemembered);

    serve(dressReply);
    clearLog();
    DzAppControl(app()).clearDialogRecords();
    QObject receiver;
    dzConnectCall(&scene(), SIGNAL(nodeAdded(DzNode*)), &receiver,
                  [this] { delete scene().getNode(scene().getNumNodes() - 1); });
    const Outcome removed = convertAndObserve();
    EXPECT_TRUE(removed.dialogs.isEmpty()) << removed.dialogs.join(QStringLiteral("\n")).toStdString();
    EXPECT_TRUE(removed.lines.contains(QStringLiteral(" - Loading clothing")));
    EXPECT_EQ(removed.loaded, 0);
    EXPECT_FALSE(removed.figureRemembered);
}

// Cancel in the start-up wait, then a new call at once: the server launched first is still
// starting, and it is waited for, not launched a second time beside itself.
TEST_F(FaultMatrix, CancelThenCallAgainAtOnce_TheStartingServerIsWaitedFor)
{
    if (scriptServerUnavailable)
        GTEST_SKIP() << scriptServerUnavailable;
    installScript(QStringLiteral("Slow"), "sleep 3\nexec '" GARBWRIGHT_SERVER_PATH "'\n");
    runLater(500, [] { EXPECT_TRUE(DzProgressControl::cancelShown()); });
    const Outcome cancelled = convertAndObserve();
    clearLog();

    const Outcome again = convertAndObserve();
    m_clothing->stopServer();

    EXPECT_EQ(cancelled.loaded, 0);
    EXPECT_TRUE(cancelled.lines.contains(QString::fromLatin1(cancelledByUser)));
    EXPECT_FALSE(again.lines.contains(QStringLiteral(" - Starting server")));
    EXPECT_EQ(again.lines.filter(QStringLiteral(" ms ago is still starting; waiting for it")).size(), 1);
    EXPECT_TRUE(again.dialogs.isEmpty()) << again.dialogs.join(QStringLiteral("\n")).toStdString();
    EXPECT_EQ(again.loaded, 1);
    EXPECT_TRUE(portFreed(5000)) << "the server did not end";
}

TEST_F(FaultMatrix, InstallDirMissing_ServerNotFoundMessageNamesTheUpdater)
{
    setInstallDir(QStringLiteral("/nonexistent/Tailorforge/"));

    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, marginMs);
    ASSERT_EQ(outcome.dialogs.size(), 1);
    EXPECT_TRUE(outcome.dialogs.first().contains(QStringLiteral("Could not find the Garbwright Server program")));
    EXPECT_TRUE(outcome.dialogs.first().contains(QStringLiteral("/nonexistent/Tailorforge/TF Updater.exe")));
    EXPECT_EQ(outcome.loaded, 0);
}

// A server this call started is waited for a while after the start-up wait; one that never
// answers is reported once, and nothing is loaded.
TEST_F(FaultMatrix, ServerProgramThatNeverAnswers_OneDialogAfterItsBound)
{
    if (scriptServerUnavailable)
        GTEST_SKIP() << scriptServerUnavailable;
    const QString pidFile = m_installRoot.path() + QStringLiteral("/pid");
    const struct {
        const char* name; // also the install folder's: its path is shown as text, not markup
        QByteArray script;
        bool silentPeer;  // a peer on the port accepts every connection and never answers
        qint64 cancelAtMs; // the user cancels then, in the wait for the slow start; 0: never
    } cases[] = {
        {"exits at once", "exit 0\n", false, 0},
        {"runs but <never> listens & waits", "echo $$ > '" + pidFile.toUtf8() + "'\nexec sleep 60\n", false, 0},
        // Each probe is bounded by what is left of the 30 s too.
        {"exits, a peer never answering", "exit 0\n", true, 0},
        {"exits, cancelled in the wait", "exit 0\n", false, 5000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearLog();
        DzAppControl(app()).clearDialogRecords();
        const QString install = installScript(QString::fromLatin1(c.name), c.script);
        if (c.silentPeer)
            serveWith([](PeerConnection& connection) { connection.awaitClose(); }, 20);
        // The start's first probe waits out its own bound before the launch.
        const qint64 launchedAtMs = c.silentPeer ? Protocol::probeTimeout.count() : 0;
        if (c.cancelAtMs > 0)
            runLater(static_cast<int>(c.cancelAtMs), [] { EXPECT_TRUE(DzProgressControl::cancelShown()); });

        const Outcome outcome = convertAndObserve();
        m_server.reset();

        EXPECT_EQ(outcome.loaded, 0);
        if (c.cancelAtMs > 0) {
            EXPECT_LT(outcome.elapsedMs, c.cancelAtMs + marginMs); // not the 30 s the wait would last
            EXPECT_TRUE(outcome.dialogs.isEmpty()) << outcome.dialogs.join(QStringLiteral("\n")).toStdString();
            EXPECT_TRUE(outcome.lines.contains(QString::fromLatin1(cancelledByUser)));
            continue;
        }
        EXPECT_GE(outcome.elapsedMs, launchedAtMs + launchBoundMs);
        EXPECT_LT(outcome.elapsedMs, launchedAtMs + launchBoundMs + marginMs);
        ASSERT_EQ(outcome.dialogs.size(), 1) << outcome.dialogs.join(QStringLiteral("\n")).toStdString();
        EXPECT_TRUE(outcome.dialogs.first().contains(QStringLiteral("did not answer within 30 s")));
        const QString shownPath = QString(install + QStringLiteral("Garbwright Server.exe"))
                                      .replace(QLatin1Char('&'), QStringLiteral("&amp;"))
                                      .replace(QLatin1Char('<'), QStringLiteral("&lt;"))
                                      .replace(QLatin1Char('>'), QStringLiteral("&gt;"));
        EXPECT_TRUE(outcome.dialogs.first().contains(shownPath)) << outcome.dialogs.first().toStdString();
        EXPECT_TRUE(outcome.lines.contains(QStringLiteral("Done starting server")));
        // The quiet probes write no client lines: the two probes of the start are all.
        EXPECT_EQ(outcome.lines.count(QStringLiteral("Setting up the socket")), 2);
    }
    QFile pid(pidFile);
    if (pid.open(QIODevice::ReadOnly))
        endProcess(pid.readAll().trimmed().toLongLong());
}

TEST_F(FaultMatrix, RealServerInANonAsciiFolderWithSpaces_StartsConvertsAndStops)
{
    const QString install = installServer(QStringLiteral("Tailörforgé ✂ Install"),
                                          QStringLiteral(GARBWRIGHT_SERVER_PATH));
    // The server finds its garment library beside itself.
    ASSERT_TRUE(copyFolder(QStringLiteral(GARBWRIGHT_GARMENTS), install + QStringLiteral("Garments")));

    const Outcome outcome = convertAndObserve();
    m_clothing->stopServer();

    EXPECT_LT(outcome.elapsedMs, startWaitMs + marginMs);
    EXPECT_TRUE(outcome.dialogs.isEmpty()) << outcome.dialogs.join(QStringLiteral("\n")).toStdString();
    EXPECT_EQ(outcome.loaded, 1);
    EXPECT_TRUE(outcome.lines.contains(QStringLiteral(" - TF Dir: ") + install));
    EXPECT_TRUE(portFreed(5000)) << "the server did not end";
}

// While the module waits, the host's timers run, and one may delete the object whose call
// waits, change the selection, delete the figure or call the module again. None of that may
// make the call touch a deleted object, dress the wrong figure, or start a second server.
TEST_F(FaultMatrix, HostEventsDuringWaits_TheWaitingCallHolds)
{
    const QString otherCallRefused = QStringLiteral("Another Pliant Clothing call is still waiting");
    const QString selectionChanged = QStringLiteral("The selection changed while the garment was converted");
    const QString objectGone = QStringLiteral(" - The Pliant Clothing object was deleted while waiting; stopping");
    std::unique_ptr<BMPliantClothing> other;
    BMPliantClothing* caller = nullptr; // whose call waits; owned by the case
    QElapsedTimer clock;
    qint64 cancelledAt = -1;
    const auto cancel = [&] {
        cancelledAt = clock.elapsed();
        EXPECT_TRUE(DzProgressControl::cancelShown());
    };
    const struct {
        const char* name;
        bool startsServer; // the wait is the server's start-up wait, else a slow conversion
        std::function<void()> during;
        QString dialog; // the one dialog expected, if any
        int loaded;
        QString logged; // a line the call must log
    } cases[] = {
        {"object deleted in the start-up wait", true, [&] { caller->deleteLater(); }, QString(), 0, objectGone},
        {"another object converts in the start-up wait", true,
         [&] {
             other = std::make_unique<BMPliantClothing>();
             other->processPliantClothing(QStringLiteral("Brackenmoor"), QStringLiteral("Summer Dress"), m_scriptPath);
             other->startServer();
         },
         otherCallRefused, 1, QStringLiteral("Not starting pliant clothing server: another call is waiting on it")},
        {"another figure selected in a slow conversion", false,
         [&] {
             m_body->select(false);
             addNode<DzSkeleton>(QStringLiteral("Other"), true);
         },
         selectionChanged, 0, QString()},
        {"figure deleted in a slow conversion", false, [&] { delete m_body; }, selectionChanged, 0, QString()},
        // The figure and another node are no longer the figure alone.
        {"another node selected beside the figure in a slow conversion", false,
         [&] { addNode<DzSkeleton>(QStringLiteral("Other"), true); }, selectionChanged, 0, QString()},
        // The user's Cancel, as the progress dialog's button gives it.
        {"cancelled in the start-up wait", true, cancel, QString(), 0, QString::fromLatin1(cancelledByUser)},
        {"cancelled in a slow conversion", false, cancel, QString(), 0, QString::fromLatin1(cancelledByUser)},
    };
    const QString install = installServer(QStringLiteral("Real"), QStringLiteral(GARBWRIGHT_SERVER_PATH));
    ASSERT_TRUE(copyFolder(QStringLiteral(GARBWRIGHT_GARMENTS), install + QStringLiteral("Garments")));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scene().clear();
        m_body = addNode<DzSkeleton>(QStringLiteral("Base Female"), true);
        if (!c.startsServer) {
            serveProbesThen([](PeerConnection& connection) {
                if (!connection.released(1000ms) && connection.send(dressReply))
                    connection.finishReply();
            });
        }
        auto* object = new BMPliantClothing;
        const QPointer<BMPliantClothing> watched(object);
        caller = object;
        clearLog();
        DzAppControl(app()).clearDialogRecords();
        runLater(c.startsServer ? 500 : 300, c.during);
        clock.start();
        cancelledAt = -1;

        object->processPliantClothing(QStringLiteral("Brackenmoor"), QStringLiteral("Summer Dress"), m_scriptPath);

        if (cancelledAt >= 0) {
            RecordProperty(std::string(c.name) + ": return after the cancel (ms)",
                           static_cast<int>(clock.elapsed() - cancelledAt));
            EXPECT_LT(clock.elapsed() - cancelledAt, 200);
        }

        const QStringList dialogs = dialogTexts();
        if (c.dialog.isEmpty()) {
            EXPECT_TRUE(dialogs.isEmpty()) << dialogs.join(QStringLiteral("\n")).toStdString();
        } else {
            ASSERT_EQ(dialogs.size(), 1) << dialogs.join(QStringLiteral("\n")).toStdString();
            EXPECT_TRUE(dialogs.first().contains(c.dialog)) << dialogs.first().toStdString();
        }
        EXPECT_EQ(scene().findNode(QStringLiteral("Summer Dress")) ? 1 : 0, c.loaded);
        if (!c.logged.isEmpty()) {
            EXPECT_TRUE(messages().contains(c.logged)) << messages().join(QStringLiteral("\n")).toStdString();
        }
        EXPECT_EQ(messages().count(QStringLiteral(" - Starting server")), c.startsServer ? 1 : 0);
        if (watched) {
            EXPECT_NE(c.logged, objectGone) << "the object was not deleted during the wait";
            // The garment, if any, was judged against the figure it was converted for.
            clearLog();
            DzSkeleton probe(QStringLiteral("Probe"));
            watched->clothingLoaded(&probe);
            EXPECT_FALSE(messages().contains(QStringLiteral("Forgetting current figure")));
            delete watched.data();
        }
        other.reset();
        m_server.reset();
        if (c.startsServer) {
            m_clothing->stopServer();
            EXPECT_TRUE(portFreed(5000)) << "the server did not end";
        }
    }
}

// The same through the host itself, as its users meet it: a batch run of a host script in
// which Ctrl+C cancels the conversion, or the script's own timer deletes the object or
// changes the selection while the conversion waits. Each time nothing is loaded, and the
// script runs on to its end.
TEST_F(FaultMatrix, BatchRunOfAHostScript_InterruptsAndTimersDuringTheConversion)
{
    const QString convert = QStringLiteral(
        "clothing.processPliantClothing('Brackenmoor', 'Summer Dress', getScriptFileName());\n"
        "print('script ran on');\n");
    const QString converting = QStringLiteral("[progress] Converting Summer Dress for Base Female");
    const struct {
        const char* name;
        QString script;
        int interrupts; // Ctrl+C once the conversion's progress shows; a second once the script ran on
        QString logged; // in the host log
        QString shown;  // on standard error (progress and dialogs), or nothing there if empty
        bool loads = false; // the garment is loaded all the same
    } cases[] = {
        {"Ctrl+C", QStringLiteral("var clothing = new BMPliantClothing();\n") + convert, 1,
         QString::fromLatin1(cancelledByUser), converting + QStringLiteral(": cancelled")},
        // The second, while nothing that may be cancelled is shown, ends the host as always.
        {"Ctrl+C twice",
         QStringLiteral("var clothing = new BMPliantClothing();\n") + convert
             + QStringLiteral("var end = Date.now() + 10000;\nwhile (Date.now() < end) {}\n"),
         2, QString::fromLatin1(cancelledByUser), converting + QStringLiteral(": cancelled")},
        {"a DzTimer deletes the object",
         QStringLiteral("var clothing = new BMPliantClothing();\n"
                        "var timer = new DzTimer();\n"
                        "timer.singleShot = true;\n"
                        "timer.timeout.connect(function () { clothing.deleteLater(); });\n"
                        "timer.start(300);\n")
             + convert,
         0, QStringLiteral(" - The Pliant Clothing object was deleted while waiting; stopping"), QString()},
        {"setTimeout selects another node",
         QStringLiteral("var clothing = new BMPliantClothing();\n"
                        "setTimeout(function () {\n"
                        "    Scene.findNode('Base Female').select(false);\n"
                        "    Scene.findNode('Lamp').select(true);\n"
                        "}, 300);\n")
             + convert,
         0, QStringLiteral("The selection changed while the garment was converted"),
         QStringLiteral("[dialog] Pliant Clothing Error: ")},
        // An error in a handler is the host log's, not the waiting script's.
        {"a DzTimer's handler throws",
         QStringLiteral("var clothing = new BMPliantClothing();\n"
                        "var timer = new DzTimer();\n"
                        "timer.singleShot = true;\n"
                        "timer.timeout.connect(function () { throw new Error('timer handler'); });\n"
                        "timer.start(300);\n")
             + convert,
         0, QStringLiteral("Script error in a timer or signal handler: Error: timer handler"), QString(), true},
        {"a scene signal's handler throws",
         QStringLiteral("var clothing = new BMPliantClothing();\n"
                        "Scene.nodeAdded.connect(function () { throw new Error('signal handler'); });\n")
             + convert,
         0, QStringLiteral("Script error in a timer or signal handler: Error: signal handler"), QString(), true},
    };
    const QString script = m_content.path() + QStringLiteral("/Scripts/Pliant/convert.dsa");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(script).path()));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.interrupts && interruptUnavailable) {
            std::printf("row \"%s\" not run: %s\n", c.name, interruptUnavailable);
            continue;
        }
        serveProbesThen([&c](PeerConnection& connection) {
            if (!connection.released(c.interrupts ? 20000ms : 1500ms) && connection.send(dressReply))
                connection.finishReply();
        });
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.script.toUtf8());
        file.close();

        QProcess host;
        host.setProcessEnvironment(headlessEnvironment());
        host.setStandardInputFile(nullDevice());
        host.start(QStringLiteral(DZHOST_PROGRAM),
                   {QStringLiteral("--plugin"), QStringLiteral(GARBWRIGHT_MODULE_PATH), QStringLiteral("--content"),
                    m_content.path(), QStringLiteral("--scene"), QStringLiteral(GARBWRIGHT_DEMO_SCENE),
                    // Windows always has a display, where the host's default is a real dialog.
                    QStringLiteral("--dialogs"), QStringLiteral("accept"), script});
        ASSERT_TRUE(host.waitForStarted(10000));
        QString errors;
        QString early; // the host log, read while the host runs
        if (c.interrupts) {
            QElapsedTimer clock;
            clock.start();
            while (!errors.contains(converting) && clock.elapsed() < 15000 && host.state() == QProcess::Running) {
                host.waitForReadyRead(100);
                errors += QString::fromLocal8Bit(host.readAllStandardError());
            }
            ASSERT_TRUE(errors.contains(converting)) << errors.toStdString();
            interruptProcess(processId(host));
            if (c.interrupts > 1) {
                while (!errors.contains(c.shown) && clock.elapsed() < 15000 && host.state() == QProcess::Running) {
                    host.waitForReadyRead(100);
                    errors += QString::fromLocal8Bit(host.readAllStandardError());
                }
                while (!early.contains(QStringLiteral("script ran on")) && clock.elapsed() < 15000) {
                    host.waitForReadyRead(100);
                    early += QString::fromLocal8Bit(host.readAllStandardOutput());
                }
                interruptProcess(processId(host));
            }
        }
        ASSERT_TRUE(host.waitForFinished(15000));
        errors += QString::fromLocal8Bit(host.readAllStandardError());
        const QString out = early + QString::fromLocal8Bit(host.readAllStandardOutput());
        if (c.interrupts > 1) {
            // Ended by the interrupt itself (a shell reports status 130).
            EXPECT_TRUE(endedBySignal(host, SIGINT)) << errors.toStdString();
            EXPECT_TRUE(out.contains(QStringLiteral("script ran on")));
            m_server.reset();
            continue;
        }

        EXPECT_EQ(host.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(host.exitCode(), 0) << errors.toStdString();
        EXPECT_TRUE(out.contains(c.logged)) << out.toStdString();
        EXPECT_EQ(out.contains(QStringLiteral(" - Loading clothing")), c.loads);
        EXPECT_EQ(out.count(QStringLiteral("Script error")), c.logged.startsWith(QStringLiteral("Script error")) ? 1 : 0)
            << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("script ran on"))) << out.toStdString();
        if (c.shown.isEmpty()) {
            EXPECT_FALSE(errors.contains(QStringLiteral("[dialog]"))) << errors.toStdString();
        } else {
            EXPECT_TRUE(errors.contains(c.shown)) << errors.toStdString();
            EXPECT_EQ(errors.count(QStringLiteral("[dialog]")), c.shown.startsWith(QStringLiteral("[dialog]")) ? 1 : 0)
                << errors.toStdString();
        }
        m_server.reset();
    }
}

// While the module waits on the server, the host keeps handling its events and shows the
// wait's progress; what the module logs does not depend on how long the server takes.
TEST_F(FaultMatrix, LongWaits_HostStaysResponsiveAndShowsProgress)
{
    const QString converting = QStringLiteral("[progress] Converting Summer Dress for Base Female: ");
    const QString starting = QStringLiteral("[progress] Starting the conversion server: ");
    const QString awaiting = QStringLiteral("[progress] Waiting for the conversion server to answer: ");
    const struct {
        const char* name;
        std::function<void()> arrange;
        QStringList progress; // how the progress lines begin, in this order
        int minProgressLines;
    } cases[] = {
        {"immediate peer", [this] { serve(dressReply); }, {converting}, 1},
        {"peer answering after 5 s",
         [this] {
             serveProbesThen([](PeerConnection& connection) {
                 if (!connection.released(5000ms) && connection.send(dressReply))
                     connection.finishReply();
             });
         },
         {converting}, 4},
        // A first start on a slow machine, or a virus scanner holding a new program up.
        {"server listening only 5 s after its start",
         [this] { installScript(QStringLiteral("Slow"), "sleep 5\nexec '" GARBWRIGHT_SERVER_PATH "'\n"); },
         {starting, awaiting, converting}, 5},
    };

    std::vector<Outcome> outcomes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.progress.first() == starting && scriptServerUnavailable) { // the slow server is a script
            std::printf("row \"%s\" not run: %s\n", c.name, scriptServerUnavailable ? scriptServerUnavailable : "");
            continue;
        }
        scene().clear();
        m_body = addNode<DzSkeleton>(QStringLiteral("Base Female"), true);
        c.arrange();
        clearLog();
        DzAppControl(app()).clearDialogRecords();

        QElapsedTimer clock;
        clock.start();
        QStringList progress;
        DzProgressControl::setLineWriter([&](const QString& line) { progress.append(line); });
        QMap<QString, qint64> loggedAt;
        QString lastLogged;
        DzAppControl(app()).setLogWriter([&](const QString& line) {
            lastLogged = line.section(QLatin1Char('\t'), -1);
            loggedAt.insert(lastLogged, clock.elapsed());
        });
        // How long the event loop went without handling a timer event, less the time the
        // system kept this thread waiting for a processor: on a busy machine that can be
        // more than the module's tick, and it is not the module holding the loop.
        qint64 lastEvent = 0;
        qint64 lastQueued = runQueueWaitMs();
        qint64 longestGap = 0;
        qint64 longestHeld = 0;
        QString heldEnd; // the last line logged before the longest hold ended
        const auto measure = [&] {
            const qint64 gap = clock.elapsed() - lastEvent;
            const qint64 held = gap - (runQueueWaitMs() - lastQueued);
            longestGap = std::max(longestGap, gap);
            if (held > longestHeld) {
                longestHeld = held;
                heldEnd = lastLogged;
            }
            lastEvent = clock.elapsed();
            lastQueued = runQueueWaitMs();
        };
        QTimer events;
        events.setInterval(5);
        dzConnectCall(&events, SIGNAL(timeout()), &events, measure);
        events.start();
        // A key press the user makes while the module waits, queued as the window system
        // queues it (asynchronous delivery; a posted QKeyEvent would not be user input to the
        // event loop). It must reach its widget only after the call has returned. Qt's glib
        // event dispatcher, the default, picks held-back user input up again only once woken,
        // so afterwards the test flushes the window system's queue itself.
        KeyRecorder widget;
        widget.show();
        widget.activateWindow();
        widget.setFocus();
        const bool queued = queueKeyPress(&widget, Qt::Key_A, QStringLiteral("a"));
        ASSERT_EQ(queued, canQueueInput);
        outcomes.push_back(convertAndObserve());
        EXPECT_EQ(widget.presses, 0) << "user input reached a widget while the module waited";
        flushQueuedInput();
        EXPECT_EQ(widget.presses, queued ? 1 : 0);
        events.stop();
        measure();
        DzProgressControl::setLineWriter(nullptr);
        DzAppControl(app()).setLogWriter(nullptr);

        RecordProperty(std::string(c.name) + " longest event-loop gap (ms)", static_cast<int>(longestGap));
        RecordProperty(std::string(c.name) + " longest hold (ms)", static_cast<int>(longestHeld));
        // A busy machine holds the loop up to about 110 ms now and then; a wait that steps
        // the host only every 250 ms, or not at all, holds it longer than this.
        EXPECT_LE(longestHeld, 200) << "ended after " << heldEnd.toStdString();
        EXPECT_TRUE(outcomes.back().dialogs.isEmpty());
        ASSERT_GE(progress.size(), c.minProgressLines) << progress.join(QStringLiteral("\n")).toStdString();
        // Each wait's lines follow the last, and count up its own seconds.
        int wait = 0;
        int previousSeconds = -1;
        for (const QString& line : progress) {
            if (!line.startsWith(c.progress.value(wait)) && line.startsWith(c.progress.value(wait + 1))) {
                ++wait;
                previousSeconds = -1;
            }
            EXPECT_TRUE(line.startsWith(c.progress.value(wait))) << progress.join(QStringLiteral("\n")).toStdString();
            const int seconds = line.section(QLatin1Char(' '), -2, -2).toInt();
            EXPECT_GT(seconds, previousSeconds) << progress.join(QStringLiteral("\n")).toStdString();
            previousSeconds = seconds;
        }
        EXPECT_EQ(wait, c.progress.size() - 1) << progress.join(QStringLiteral("\n")).toStdString();
        EXPECT_EQ(outcomes.back().loaded, 1);
        if (c.progress.first() == starting) {
            const qint64 waited = loggedAt.value(QStringLiteral("Done starting server"))
                - loggedAt.value(QStringLiteral(" - Waiting for server to start"));
            RecordProperty("start-up wait (ms)", static_cast<int>(waited));
            EXPECT_GE(waited, 2000);
            // A busy machine adds a tick's worth now and then; a wait that restarts, counts a
            // step as a second, or is not cut at its end adds more than four.
            EXPECT_LE(waited, 2000 + 4 * progressTick.count());
            const QStringList& lines = outcomes.back().lines;
            EXPECT_TRUE(inOrder(lines, {QStringLiteral(" - Server is not running"),
                                        QStringLiteral(" - Server is running"),
                                        QStringLiteral(" - Getting figure geom path")}));
            EXPECT_EQ(lines.filter(QStringLiteral(" - The conversion server answered ")).size(), 1);
            // Probed every 250 ms: a server that listens 5 s after its start is used at once.
            const QString answered = lines.filter(QStringLiteral(" - The conversion server answered ")).value(0);
            RecordProperty("answered after its start (ms)", answered.section(QLatin1Char(' '), 6, 6).toInt());
            EXPECT_LE(answered.section(QLatin1Char(' '), 6, 6).toInt(), 5000 + 250 + 500) << answered.toStdString();
            m_clothing->stopServer();
            EXPECT_TRUE(portFreed(5000)) << "the server did not end";
        }
    }
    EXPECT_EQ(outcomes.at(0).lines, outcomes.at(1).lines);
}

} // namespace
