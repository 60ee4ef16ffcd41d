// The fault matrix: for each way a peer or the companion application's install can go
// wrong, the conversion returns within its bound, shows the right message (or none), loads
// nothing wrongly, remembers a figure only when it loaded a garment, and leaves no server
// behind.

#include "conversionfixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

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

    // Probes are bounded one by one; a conversion starts two of them.
    static constexpr qint64 twoProbesMs = 2 * Protocol::probeTimeout.count();
    static constexpr qint64 startWaitMs = 2000;
    static constexpr qint64 marginMs = 1500;

    QTemporaryDir m_installRoot;
};

// The user is told the conversion failed; nothing is loaded or remembered.
void expectConversionFailed(const Outcome& outcome)
{
    EXPECT_EQ(outcome.dialogs, QStringList{processingFailed});
    EXPECT_EQ(outcome.loaded, 0);
    EXPECT_FALSE(outcome.figureRemembered);
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

    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, twoProbesMs + marginMs);
    EXPECT_GE(outcome.elapsedMs, twoProbesMs - 100);
    ASSERT_EQ(outcome.dialogs.size(), 1) << outcome.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(outcome.dialogs.first().contains(installDirMissing));
    EXPECT_EQ(outcome.loaded, 0);
    EXPECT_FALSE(outcome.figureRemembered);
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

TEST_F(FaultMatrix, ServerProgramThatCannotRun_StopsQuietlyAfterTheStartWait)
{
    const QString install = installServer(QStringLiteral("Not Runnable"), m_dressPath);
    QFile::setPermissions(install + QStringLiteral("Garbwright Server.exe"),
                          QFile::ReadOwner | QFile::WriteOwner);

    const Outcome outcome = convertAndObserve();

    EXPECT_GE(outcome.elapsedMs, startWaitMs);
    EXPECT_LT(outcome.elapsedMs, startWaitMs + marginMs);
    EXPECT_TRUE(outcome.dialogs.isEmpty());
    EXPECT_TRUE(outcome.lines.contains(QStringLiteral("Done starting server")));
    EXPECT_EQ(outcome.lines.last(), QStringLiteral(" - Server is not running"));
    EXPECT_EQ(outcome.loaded, 0);
}

TEST_F(FaultMatrix, ServerProgramThatExitsAtOnce_StopsQuietlyAfterTheStartWait)
{
    QTemporaryDir scripts;
    const QString quitter = scripts.path() + QStringLiteral("/quitter");
    QFile file(quitter);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexit 0\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    installServer(QStringLiteral("Quits"), quitter);

    const Outcome outcome = convertAndObserve();

    EXPECT_LT(outcome.elapsedMs, startWaitMs + marginMs);
    EXPECT_TRUE(outcome.dialogs.isEmpty());
    EXPECT_EQ(outcome.lines.last(), QStringLiteral(" - Server is not running"));
    EXPECT_EQ(outcome.loaded, 0);
}

TEST_F(FaultMatrix, RealServerInANonAsciiFolderWithSpaces_StartsConvertsAndStops)
{
    const QString install = installServer(QStringLiteral("Tailörforgé ✂ Install"),
                                          QStringLiteral(GARBWRIGHT_SERVER_PATH));
    // The server finds its garment library beside itself.
    QProcess copy;
    copy.start(QStringLiteral("cp"), {QStringLiteral("-r"), QStringLiteral(GARBWRIGHT_GARMENTS), install});
    ASSERT_TRUE(copy.waitForFinished(10000));

    const Outcome outcome = convertAndObserve();
    m_clothing->stopServer();

    EXPECT_LT(outcome.elapsedMs, startWaitMs + marginMs);
    EXPECT_TRUE(outcome.dialogs.isEmpty()) << outcome.dialogs.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(outcome.loaded, 1);
    EXPECT_TRUE(outcome.lines.contains(QStringLiteral(" - TF Dir: ") + install));
    EXPECT_TRUE(portFreed(5000)) << "the server did not end";
}

} // namespace
