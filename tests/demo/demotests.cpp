#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct DemoRun {
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

DemoRun runDemo(const QStringList& arguments, const QString& script = QString(),
               const QString& windowsServer = QString())
{
    QTemporaryDir demoDir;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!script.isEmpty())
        environment.insert(QStringLiteral("GARBWRIGHT_DEMO_SCRIPT"), script);
    if (!windowsServer.isEmpty())
        environment.insert(QStringLiteral("GARBWRIGHT_DEMO_WINDOWS_SERVER"), windowsServer);
    // A folder name outside ASCII, with a blank, must survive every hand-over on the way:
    // the install directory may hold any character; the content folder's path is sent to
    // the server as 8-bit text, so it may hold accented letters but nothing beyond them.
    environment.insert(QStringLiteral("GARBWRIGHT_DEMO_DIR"), demoDir.path() + QStringLiteral("/ünï 東京/demo"));
    environment.insert(QStringLiteral("GARBWRIGHT_DEMO_CONTENT"), demoDir.path() + QStringLiteral("/ünï/Content"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("bash"),
                  QStringList{QStringLiteral(GARBWRIGHT_RUN_DEMO), QStringLiteral(GARBWRIGHT_BUILD_DIR)} + arguments);
    DemoRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    // The host log's lines end in the message, after the second tab.
    for (const QString& line : QString::fromLocal8Bit(process.readAllStandardOutput()).split(QLatin1Char('\n')))
        run.lines.append(line.section(QLatin1Char('\t'), -1));
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

::testing::AssertionResult containsInOrder(const QStringList& lines, const QStringList& expected)
{
    int next = 0;
    for (const QString& line : lines) {
        if (next < expected.size() && line.startsWith(expected.at(next)))
            ++next;
    }
    if (next == expected.size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "missing, in order: " << expected.at(next).toStdString();
}

TEST(Demo, DressesTheFigureThroughTheRealServerAndStopsIt)
{
    const DemoRun run = runDemo({});

    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString() << run.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(containsInOrder(run.lines, {
        QStringLiteral("Processing Pliant Clothing"),
        QStringLiteral(" - Server is not running"),
        QStringLiteral(" - Starting server"),
        QStringLiteral("Done starting server"),
        QStringLiteral(" - Server is running"),
        QStringLiteral(" - Geom path: Base Female"),
        QStringLiteral(" - Message: Base Female#Brackenmoor#Summer Dress#"),
        QStringLiteral(" - Converted cr2 file: Runtime\\Libraries\\Character\\Pliant Clothing\\Brackenmoor\\"),
        QStringLiteral(" - Loading clothing"),
        QStringLiteral("New item loaded: "),
        QStringLiteral("Clothing is conformed"),
        QStringLiteral("Done processing clothing"),
        QStringLiteral("Clothing conform target REMOVED"),
        QStringLiteral("Stopping pliant clothing server"),
        QStringLiteral("== No conversion server left running")}))
        << run.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(run.errors.contains(QStringLiteral("[dialog]"))) << "no error dialog on the way";
}

// The Windows build of the server (GARBWRIGHT_WINDOWS_SERVER, set by scripts/test.sh), run
// under Wine in WINEPREFIX, serves the Linux module on loopback.
TEST(Demo, WindowsServerUnderWine_DressesTheFigure)
{
    const QString server = qEnvironmentVariable("GARBWRIGHT_WINDOWS_SERVER");
    if (server.isEmpty())
        GTEST_SKIP() << "GARBWRIGHT_WINDOWS_SERVER names no Windows build of the server";
    QProcess probe;
    probe.start(QStringLiteral("wine"), {server, QStringLiteral("--help")});
    if (!probe.waitForFinished(60000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
        probe.kill();
        probe.waitForFinished();
        GTEST_SKIP() << "Wine cannot start " << server.toStdString() << " here";
    }

    const DemoRun run = runDemo({}, QString(), server);

    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString() << run.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(containsInOrder(run.lines, {
        QStringLiteral(" - Starting server"),
        QStringLiteral(" - Converted cr2 file: Runtime\\Libraries\\Character\\Pliant Clothing\\Brackenmoor\\"),
        QStringLiteral("Clothing is conformed"),
        QStringLiteral("== No conversion server left running")}))
        << run.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(run.lines.join(QLatin1Char('\n')).contains(QStringLiteral("garbwright-server: garment library Z:\\")))
        << "the Windows program served: " << run.lines.join(QLatin1Char('\n')).toStdString();
}

TEST(Demo, UnknownGarment_FailsSayingNothingWasLoadedAndTheServerStillStopped)
{
    const DemoRun run = runDemo({QStringLiteral("Brackenmoor"), QStringLiteral("No Such Garment")});

    // Nothing dressed is a failed demo, and it says why.
    EXPECT_NE(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(QStringLiteral("The figure was not dressed: nothing was loaded")))
        << run.errors.toStdString();
    EXPECT_TRUE(containsInOrder(run.lines, {QStringLiteral(" - Converted cr2 file: Error"),
                                            QStringLiteral("   nothing was loaded"),
                                            QStringLiteral("== No conversion server left running")}));
    EXPECT_FALSE(run.lines.contains(QStringLiteral(" - Loading clothing")));
}

TEST(Demo, ServerSlotsFromAHostScript_StartProbeReportAndStopTheRealServer)
{
    const DemoRun run = runDemo({}, QStringLiteral("Check Server.dsa"));

    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_TRUE(containsInOrder(run.lines, {
        QStringLiteral("Getting tf installation directory"),
        QStringLiteral(" - Initializing settings"),
        QStringLiteral(" - Returning install directory"),
        QStringLiteral("== Install directory: /"),
        QStringLiteral("Starting pliant clothing server"),
        QStringLiteral(" - Checking if server is already running"),
        QStringLiteral(" - Server is not running"),
        QStringLiteral(" - TF Dir: /"),
        QStringLiteral(" - Checking for server executable"),
        QStringLiteral(" - Path: /"),
        QStringLiteral(" - Starting server"),
        QStringLiteral(" - Waiting for server to start"),
        QStringLiteral("Done starting server"),
        QStringLiteral("Getting server status"),
        QStringLiteral(" - Creating socket client"),
        QStringLiteral(" - Creating message"),
        QStringLiteral(" - Sending message"),
        QStringLiteral(" - Converting response"),
        QStringLiteral(" - Returning result"),
        QStringLiteral("== Server status: Garbwright Server"),
        QStringLiteral("Determining if pliant clothing server is running"),
        QStringLiteral(" - Server is running"),
        QStringLiteral("== Server running: true"),
        QStringLiteral("Stopping pliant clothing server"),
        QStringLiteral("== No conversion server left running")}))
        << run.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(run.errors.contains(QStringLiteral("[dialog]")));
}

// The demo lays its folders out afresh, but removes only what it laid out itself: a folder
// holding anything else, or a list of its files that it did not write so, is refused and
// kept as it is, and so is everything outside.
TEST(Demo, FoldersNamedToIt_OnlyTheDemosOwnFilesAreRemoved)
{
    const QByteArray victimBytes = QByteArrayLiteral("outside the demo's folders\n");
    const QByteArray victimLine = QCryptographicHash::hash(victimBytes, QCryptographicHash::Sha256).toHex()
                                  + "  ./../victim";
    struct Case {
        const char* what;
        bool laidOutBefore;      // a first run of the demo laid the folder out
        const char* userFile;    // then the user put this file there (or changed it)
        bool refused;
        QByteArray listLine = QByteArray(); // a line added to the content folder's list
        const char* userFolder = nullptr;   // an empty folder the user made there
        const char* contentName = "Content"; // GARBWRIGHT_DEMO_CONTENT, relative to the test's folder
        const char* linked = nullptr;        // a folder in it moved outside, a link to it left in its place
    };
    const Case cases[] = {
        {"a folder of the user's", false, "own.txt", true},
        {"filled by the user since a run", true, "Notes/own.txt", true},
        {"a file the demo laid out, changed since", true, "Scripts/Pliant Clothing/Dress Selected Figure.dsa", true},
        {"a file beside the converted one", true, "Runtime/Libraries/own.cr2", true},
        {"as the last run left it", true, nullptr, false},
        {"an empty folder the user made in it", true, nullptr, false, {}, "Runtime/Mine"},
        {"the user's folder, named through the demo's", false, "Scripts/Pliant Clothing/Dress Selected Figure.dsa",
         true, {}, nullptr, "demo/../Content"},
        {"a list line without a checksum", true, nullptr, true, "./../victim"},
        {"a list line naming a file outside, with its checksum", true, nullptr, true, victimLine},
        {"a malformed list line", true, nullptr, true, victimLine.mid(1)},
        {"a list line naming a sibling folder", true, nullptr, true, "folder  .-old"},
        {"a listed file reached through a link", true, nullptr, true, {}, nullptr, "Content", "Runtime/Libraries"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        QFile victim(dir.filePath(QStringLiteral("victim")));
        ASSERT_TRUE(victim.open(QIODevice::WriteOnly) && victim.write(victimBytes) == victimBytes.size());
        victim.close();
        // An empty folder beside the content folder, its name the content folder's with a suffix.
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Content-old")));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("GARBWRIGHT_DEMO_DIR"), dir.filePath(QStringLiteral("demo")));
        environment.insert(QStringLiteral("GARBWRIGHT_DEMO_CONTENT"), dir.filePath(QString::fromUtf8(c.contentName)));
        const auto run = [&environment](int* exitCode) {
            QProcess process;
            process.setProcessEnvironment(environment);
            process.start(QStringLiteral("bash"),
                          QStringList{QStringLiteral(GARBWRIGHT_RUN_DEMO), QStringLiteral(GARBWRIGHT_BUILD_DIR)});
            if (!process.waitForFinished(60000))
                process.kill();
            process.waitForFinished();
            *exitCode = process.exitCode();
            return QString::fromLocal8Bit(process.readAllStandardError());
        };
        int exitCode = -1;
        if (c.laidOutBefore) {
            run(&exitCode);
            ASSERT_EQ(exitCode, 0);
        }
        QByteArray userBytes;
        if (c.userFile) {
            userBytes = QByteArrayLiteral("the user's own\n");
            QDir(dir.path()).mkpath(QFileInfo(dir.filePath(QStringLiteral("Content/") + c.userFile)).path());
            QFile file(dir.filePath(QStringLiteral("Content/") + c.userFile));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
            file.write(userBytes);
        }
        if (c.userFolder) {
            ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("Content"))).mkpath(QString::fromUtf8(c.userFolder)));
        }
        const QString outside = dir.filePath(QStringLiteral("outside"));
        if (c.linked) {
            const QString inside = dir.filePath(QStringLiteral("Content/") + c.linked);
            ASSERT_TRUE(QDir().rename(inside, outside));
            ASSERT_TRUE(QFile::link(outside, inside));
        }
        if (!c.listLine.isEmpty()) {
            QFile list(dir.filePath(QStringLiteral("Content/.garbwright-demo")));
            ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Append));
            list.write(c.listLine + '\n');
        }

        const QString errors = run(&exitCode);
        EXPECT_TRUE(victim.exists());
        EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("Content-old"))).isDir());
        if (c.linked) {
            EXPECT_FALSE(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
        }
        if (c.refused && c.listLine.isEmpty() && !c.linked) {
            EXPECT_EQ(exitCode, 2) << errors.toStdString();
            EXPECT_TRUE(errors.contains(QStringLiteral("not removing ") + dir.filePath(QStringLiteral("Content"))))
                << errors.toStdString();
            QFile file(dir.filePath(QStringLiteral("Content/") + c.userFile));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_TRUE(file.readAll().endsWith(userBytes));
            // Nothing at all was removed, not even the demo's own files.
            EXPECT_EQ(QFileInfo::exists(dir.filePath(QStringLiteral("Content/Scripts/Pliant Clothing/Check Server.dsa"))),
                      c.laidOutBefore);
        } else if (c.refused) {
            // The list and its line are named, and nothing was removed.
            EXPECT_EQ(exitCode, 2) << errors.toStdString();
            EXPECT_TRUE(errors.contains(dir.filePath(QStringLiteral("Content/.garbwright-demo, line "))))
                << errors.toStdString();
            EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("Content/Scripts/Pliant Clothing"))));
        } else {
            EXPECT_EQ(exitCode, 0) << errors.toStdString();
        }
        if (c.userFolder) {
            // Not the demo's: a later run keeps it too.
            EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("Content/")) + c.userFolder).isDir());
            run(&exitCode);
            EXPECT_EQ(exitCode, 0);
            EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("Content/")) + c.userFolder).isDir());
        }
    }
}

} // namespace
