// The server slots against real peers on the server's fixed port.

#include "clothingfixture.h"
#include "dzappcontrol.h"
#include "loopbackpeer.h"

#include "dzprogresscontrol.h"
#include "protocol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTimer>

#if !defined(_WIN32)
#include <poll.h>
#include <unistd.h>
#endif

namespace {

const QString installDirMessage = QStringLiteral(
    "<h3>ERROR: Could not find the Tailorforge installation directory</h3><br><br>"
    "Please download and install Tailorforge<br>before using Pliant Clothing.<br><br>"
    "Tailorforge homepage:<br><a href=\"https://tailorforge.brackenmoor.com/\">"
    "https://tailorforge.brackenmoor.com/</a><br><br>");

QString serverNotFoundMessage(const QString& updater)
{
    return QStringLiteral("<h3>ERROR: Could not find the Garbwright Server program.</h3><br><br>"
                          "Run the TF Updater to make sure you have<br>the latest version of "
                          "Tailorforge.<br><br>Updater location:<br>")
        + updater + QStringLiteral("<br><br>");
}

class ServerSlots : public ClothingTest {
protected:
    // A peer on the server's port that answers every request with `reply`.
    std::unique_ptr<LoopbackPeer> answering(const std::string& reply, int connections = 8)
    {
        return std::make_unique<LoopbackPeer>(replyWith(reply), Protocol::serverPort, connections);
    }
};

const QStringList probeAnswered = {
    QStringLiteral("Determining if pliant clothing server is running"),
    QStringLiteral(" - Creating socket client"),
    QStringLiteral(" - Sending request"),
    QStringLiteral(" - Server is running")};

TEST_F(ServerSlots, InstallDirAbsentOrEmpty_OneDialogWithTheHomepageLink)
{
    for (const bool storeEmpty : {false, true}) {
        SCOPED_TRACE(storeEmpty ? "stored empty" : "absent");
        if (storeEmpty)
            setInstallDir(QString());
        clearLog();
        DzAppControl(app()).clearDialogRecords();

        m_clothing->startServer();

        EXPECT_EQ(dialogTexts(), QStringList{installDirMessage});
        const QStringList lines = messagesAt(QStringLiteral("Debug"));
        EXPECT_EQ(lines.last(), QStringLiteral(" - TF Dir: "));
        EXPECT_TRUE(inOrder(lines, {QStringLiteral("Starting pliant clothing server"),
                                    QStringLiteral(" - Checking if server is already running"),
                                    QStringLiteral(" - Server is not running"),
                                    QStringLiteral(" - Getting TF installation directory"),
                                    QStringLiteral("Getting tf installation directory"),
                                    QStringLiteral(" - Initializing settings"),
                                    QStringLiteral(" - Returning install directory"),
                                    QStringLiteral(" - TF Dir: ")}));
        EXPECT_EQ(m_clothing->tfInstallDir(), QString());
    }
}

TEST_F(ServerSlots, InstallDirWithoutTrailingSeparator_NamesRunTogether)
{
    QTemporaryDir install;
    const QString directory = install.path() + QStringLiteral("/Tailorforge");
    setInstallDir(directory);

    m_clothing->startServer();

    EXPECT_EQ(dialogTexts(), QStringList{serverNotFoundMessage(directory + QStringLiteral("TF Updater.exe"))});
    EXPECT_EQ(messagesAt(QStringLiteral("Debug")).last(),
              QStringLiteral(" - Path: ") + directory + QStringLiteral("Garbwright Server.exe"));
}

TEST_F(ServerSlots, ServerProgramMissing_ServerNotFoundMessage)
{
    QTemporaryDir install;
    setInstallDir(install.path() + QLatin1Char('/'));

    m_clothing->startServer();

    EXPECT_EQ(dialogTexts(), QStringList{serverNotFoundMessage(install.path() + QStringLiteral("/TF Updater.exe"))});
    EXPECT_FALSE(messages().contains(QStringLiteral(" - Starting server")));

    // A directory name is shown as text, never rendered as markup.
    DzAppControl(app()).clearDialogRecords();
    setInstallDir(install.path() + QStringLiteral("/<i>Tailor&forge/"));
    m_clothing->startServer();
    EXPECT_EQ(dialogTexts(), QStringList{serverNotFoundMessage(
                                 install.path() + QStringLiteral("/&lt;i&gt;Tailor&amp;forge/TF Updater.exe"))});

    // Its control characters are shown escaped, in the dialog as in the log.
    DzAppControl(app()).clearDialogRecords();
    setInstallDir(install.path() + QStringLiteral("/Tailor\x1b[2J\nforge/"));
    m_clothing->startServer();
    const QString shown = install.path() + QStringLiteral("/Tailor\\x1B[2J\\x0Aforge/");
    EXPECT_EQ(dialogTexts(), QStringList{serverNotFoundMessage(shown + QStringLiteral("TF Updater.exe"))});
    EXPECT_TRUE(messages().contains(QStringLiteral(" - TF Dir: ") + shown));
}

TEST_F(ServerSlots, QuoteInInstallDir_OnlyTheCheckedProgramRunsAndHoldsNothingOfTheHost)
{
#if defined(_WIN32)
    GTEST_SKIP() << "its server is a shell script reading /proc, and Windows hands no descriptors on";
#else
    QTemporaryDir root;
    const QString report = root.path() + QStringLiteral("/report");
    // Records what its standard streams are, then outlives the host's wait for a while.
    const auto writeProgram = [&](const QString& path, const QString& name) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile program(path);
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.write(QStringLiteral("#!/bin/sh\nstreams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
                                     "echo %1 $streams >> '%2'\nsleep 4\n")
                          .arg(name, report)
                          .toUtf8());
        program.close();
        ASSERT_TRUE(program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    };
    const QString install = root.path() + QStringLiteral("/q\"x/");
    writeProgram(install + QStringLiteral("Garbwright Server.exe"), QStringLiteral("checked"));
    // What a command line split at the quote would run.
    writeProgram(root.path() + QStringLiteral("/qx/Garbwright"), QStringLiteral("other"));
    setInstallDir(install);
    // A descriptor of the host that is not marked close-on-exec, like a pipe to a reader.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    // And the host's standard input is a pipe too while the server starts (a test run's own
    // is often the null device already, which would hide a server that kept it).
    int inputEnds[2];
    ASSERT_EQ(::pipe(inputEnds), 0);
    const int savedInput = ::dup(STDIN_FILENO);
    ASSERT_EQ(::dup2(inputEnds[0], STDIN_FILENO), STDIN_FILENO);

    m_clothing->startServer();

    ::dup2(savedInput, STDIN_FILENO);
    ::close(savedInput);
    ::close(inputEnds[0]);
    ::close(inputEnds[1]);

    ::close(pipeEnds[1]);
    pollfd reader{pipeEnds[0], POLLIN, 0};
    EXPECT_EQ(::poll(&reader, 1, 500), 1) << "the started program holds the host's pipe";
    ::close(pipeEnds[0]);
    QFile reportFile(report);
    ASSERT_TRUE(reportFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(reportFile.readAll(), QByteArray("checked /dev/null /dev/null /dev/null\n"));
    EXPECT_TRUE(dialogTexts().isEmpty());
#endif
}

TEST_F(ServerSlots, ServerAlreadyAnswering_NothingElseDone)
{
    const auto peer = answering("ready\n", 1);

    m_clothing->startServer();

    const QStringList lines = messages();
    EXPECT_EQ(lines.mid(0, 2), (QStringList{QStringLiteral("Starting pliant clothing server"),
                                            QStringLiteral(" - Checking if server is already running")}));
    EXPECT_EQ(lines.last(), QStringLiteral(" - Server is running"));
    EXPECT_FALSE(lines.contains(QStringLiteral("Getting tf installation directory")));
    EXPECT_TRUE(inOrder(messages(), probeAnswered));
    EXPECT_TRUE(dialogTexts().isEmpty());
    EXPECT_EQ(peer->received(), std::string("test\n"));
}

TEST_F(ServerSlots, NothingListening_ProbeFalseStatusAndStopShowTheirMessages)
{
    EXPECT_FALSE(m_clothing->isServerRunning());
    EXPECT_EQ(messages().last(), QStringLiteral(" - Server is not running"));
    EXPECT_TRUE(dialogTexts().isEmpty());

    EXPECT_EQ(m_clothing->serverStatus(), QString());
    m_clothing->stopServer();
    EXPECT_EQ(dialogTexts(), (QStringList{QStringLiteral("ERROR: Problem communicating with server."),
                                          QStringLiteral("ERROR:  Could not stop server.")}));
}

TEST_F(ServerSlots, Status_ReplyTextOrEmptyWithoutDialog)
{
    {
        const auto peer = answering("Garbwright Server 1.0 ready\n", 1);
        EXPECT_EQ(m_clothing->serverStatus(), QStringLiteral("Garbwright Server 1.0 ready\n"));
    }
    {
        const auto peer = answering("", 1);
        EXPECT_EQ(m_clothing->serverStatus(), QString());
    }
    {
        // One character per byte, as the host's 8-bit text has it.
        std::string highBytes;
        QString characters;
        for (int value = 0x80; value <= 0xff; ++value) {
            highBytes += static_cast<char>(value);
            characters += QChar(value);
        }
        const auto peer = answering(highBytes, 1);
        EXPECT_EQ(m_clothing->serverStatus(), characters);
    }
    EXPECT_TRUE(dialogTexts().isEmpty());
    EXPECT_TRUE(inOrder(messages(), {QStringLiteral("Getting server status"),
                                     QStringLiteral(" - Creating socket client"),
                                     QStringLiteral(" - Creating message"),
                                     QStringLiteral(" - Sending message"),
                                     QStringLiteral(" - Converting response"),
                                     QStringLiteral(" - Returning result")}));
}

// However much it says, nothing included: a probe's or a stop's reply ends at the reply cap,
// also when the peer then goes on holding the connection open.
TEST_F(ServerSlots, AnyPeerCompletingTheExchange_CountsAsRunning)
{
    const std::string overCap(Protocol::maxReplyBytes + 5000, 'x');
    const struct {
        std::string reply;
        bool thenHoldsOpen;
    } cases[] = {{"whatever it says\n", false}, {std::string(), false}, {overCap, false}, {overCap, true}};
    for (const auto& [reply, thenHoldsOpen] : cases) {
        SCOPED_TRACE(std::to_string(reply.size()) + (thenHoldsOpen ? ", then holds the connection open" : ""));
        clearLog();
        DzAppControl(app()).clearDialogRecords();
        const auto peer = thenHoldsOpen ? std::make_unique<LoopbackPeer>(
                                              [reply = reply](PeerConnection& connection) {
                                                  connection.readRequest();
                                                  if (connection.send(reply))
                                                      connection.awaitClose();
                                              },
                                              Protocol::serverPort, 4)
                                        : answering(reply, 4);
        QElapsedTimer timer;
        timer.start();

        EXPECT_TRUE(m_clothing->isServerRunning());
        EXPECT_TRUE(inOrder(messages(), probeAnswered));
        m_clothing->startServer();
        EXPECT_FALSE(messages().contains(QStringLiteral("Getting tf installation directory")))
            << "a second server was started";
        EXPECT_EQ(m_clothing->serverStatus(),
                  QString::fromLatin1(reply.substr(0, Protocol::maxReplyBytes).c_str()));
        m_clothing->stopServer();
        EXPECT_TRUE(dialogTexts().isEmpty());
        EXPECT_LT(timer.elapsed(), 2000) << "an exchange waited past the cap";
    }
}

TEST_F(ServerSlots, StopRequest_SentAndReplyIgnored)
{
    const auto peer = answering("bye\n", 1);
    m_clothing->stopServer();
    EXPECT_EQ(peer->received(), std::string("stop\n"));
    EXPECT_TRUE(dialogTexts().isEmpty());
}

TEST_F(ServerSlots, PeerThatNeverAnswers_ProbeGivesUpWithinItsBound)
{
    LoopbackPeer silent([](PeerConnection& connection) { connection.awaitClose(); }, Protocol::serverPort, 2);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(m_clothing->isServerRunning());
    EXPECT_LT(timer.elapsed(), Protocol::probeTimeout.count() + 2000);

    // The stop request waits on it as long, showing progress, and the user may cancel it.
    runLater(1000, [] { EXPECT_TRUE(DzProgressControl::cancelShown()); });
    timer.restart();
    m_clothing->stopServer();
    EXPECT_LT(timer.elapsed(), 1500);
    EXPECT_EQ(messages().last(), QStringLiteral(" - Cancelled by the user"));
    EXPECT_TRUE(dialogTexts().isEmpty());
}

TEST_F(ServerSlots, RealServer_StartedFromTheInstallDirProbedAndStopped)
{
    QTemporaryDir root;
    const QString install = root.path() + QStringLiteral("/Tailor Forge Install/");
    ASSERT_TRUE(QDir().mkpath(install));
    ASSERT_TRUE(QFile::copy(QStringLiteral(GARBWRIGHT_SERVER_PATH), install + QStringLiteral("Garbwright Server.exe")));
    setInstallDir(install);

    m_clothing->startServer();

    EXPECT_TRUE(dialogTexts().isEmpty()) << dialogTexts().join(QStringLiteral("\n")).toStdString();
    EXPECT_TRUE(inOrder(messagesAt(QStringLiteral("Debug")),
                        {QStringLiteral(" - TF Dir: ") + install,
                         QStringLiteral(" - Checking for server executable"),
                         QStringLiteral(" - Path: ") + install + QStringLiteral("Garbwright Server.exe"),
                         QStringLiteral(" - Starting server"),
                         QStringLiteral(" - Waiting for server to start"),
                         QStringLiteral("Done starting server")}));
    EXPECT_TRUE(m_clothing->isServerRunning());
    EXPECT_FALSE(m_clothing->serverStatus().isEmpty());

    m_clothing->stopServer();
    EXPECT_TRUE(dialogTexts().isEmpty());
    EXPECT_TRUE(portFreed(5000)) << "the server did not end";
}

} // namespace
