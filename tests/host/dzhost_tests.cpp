// Runs the built host program as a user or a batch job would, with the real plug-in module
// and the tests' own modules.

#include "hostfixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/stat.h>

namespace {

const QString pluginPrefix = QStringLiteral("[Pliant Clothing Plugin] ");

QStringList nonEmptyLines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    lines.removeAll(QString());
    return lines;
}

struct HostRun {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;

    QStringList outLines() const { return nonEmptyLines(out); }
    QStringList errLines() const { return nonEmptyLines(err); }
    // The plug-in's lines in the host log (standard output by default).
    QStringList pluginLines() const
    {
        QStringList lines;
        for (const QString& line : outLines()) {
            if (line.startsWith(pluginPrefix))
                lines.append(line);
        }
        return lines;
    }
};

int countEndingWith(const QStringList& lines, const QString& ending)
{
    int count = 0;
    for (const QString& line : lines) {
        if (line.endsWith(ending))
            ++count;
    }
    return count;
}

QString lineContaining(const QStringList& lines, const QString& text)
{
    for (const QString& line : lines) {
        if (line.contains(text))
            return line;
    }
    return QString();
}

class DzhostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_temp.isValid()); }

    QString path(const QString& name) const { return QDir(m_temp.path()).absoluteFilePath(name); }

    QString writeFile(const QString& name, const QByteArray& bytes) const
    {
        const QString file = path(name);
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            ADD_FAILURE() << "cannot write " << file.toStdString();
        out.write(bytes);
        return file;
    }

    // Runs dzhost in the test's folder, without a display, and waits a bounded time.
    HostRun run(const QStringList& arguments, const QProcessEnvironment& environment = headlessEnvironment()) const
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(m_temp.path());
        process.setStandardInputFile(nullDevice());
        process.start(QStringLiteral(DZHOST_PROGRAM), arguments);

        HostRun result;
        if (!process.waitForStarted(10000)) {
            ADD_FAILURE() << "dzhost did not start: " << process.errorString().toStdString();
            return result;
        }
        result.finished = process.waitForFinished(60000);
        if (!result.finished) {
            process.kill();
            process.waitForFinished(5000);
            ADD_FAILURE() << "dzhost did not finish within 60 s";
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        result.err = QString::fromLocal8Bit(process.readAllStandardError());
        return result;
    }

    static std::string dump(const HostRun& run)
    {
        return ("exit " + QString::number(run.exitCode) + "\n--- stdout\n" + run.out + "--- stderr\n" + run.err)
            .toStdString();
    }

private:
    QTemporaryDir m_temp;
};

} // namespace

TEST_F(DzhostTest, ListPlugins_DescribesThePliantClothingModule)
{
    // Found beside the host without a flag, and named explicitly.
    for (const QStringList& arguments :
         {QStringList{"--list-plugins"},
          QStringList{"--plugin", QStringLiteral(GARBWRIGHT_PLUGIN_FOLDER), "--list-plugins"}}) {
        SCOPED_TRACE(arguments.join(QStringLiteral(" ")).toStdString());
        const HostRun result = run(arguments);
        ASSERT_EQ(result.exitCode, 0) << dump(result);
        const QStringList lines = result.outLines();
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.first(), QStringLiteral("Pliant Clothing"));
        EXPECT_TRUE(lineContaining(lines, QStringLiteral("author")).endsWith(QStringLiteral(" Brackenmoor")));
        EXPECT_TRUE(lineContaining(lines, QStringLiteral("version")).endsWith(QStringLiteral(" 1.0.0.0")));
        EXPECT_TRUE(lineContaining(lines, QStringLiteral("description"))
                        .endsWith(QStringLiteral(" This plugin allows DAZ Studio users to use Pliant Clothing")));
        EXPECT_TRUE(lineContaining(lines, QStringLiteral("class"))
                        .endsWith(QStringLiteral(" BMPliantClothing 78494DDE-5300-4CC9-A1D1-001ECDE80AA3")))
            << dump(result);
    }
}

TEST_F(DzhostTest, PluginOption_LoadsExactlyTheNamedModules)
{
    const HostRun probeOnly = run({"--plugin", QStringLiteral(PROBE_MODULE), "--list-plugins"});
    ASSERT_EQ(probeOnly.exitCode, 0) << dump(probeOnly);
    EXPECT_TRUE(probeOnly.out.startsWith(QStringLiteral("Host Probe\n"))) << dump(probeOnly);
    EXPECT_TRUE(probeOnly.out.contains(QStringLiteral("2.3.4.5")));
    EXPECT_TRUE(probeOnly.out.contains(QStringLiteral("HostProbe 0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0")));
    EXPECT_FALSE(probeOnly.out.contains(QStringLiteral("Pliant Clothing")));

    const QString script = writeFile(QStringLiteral("probe.dsa"),
                                     "print(new HostProbe().ping());\nprint(typeof BMPliantClothing);\n");
    const HostRun both = run({"--plugin", QStringLiteral(PROBE_MODULE), "--plugin",
                              QStringLiteral(GARBWRIGHT_PLUGIN_FOLDER), script});
    ASSERT_EQ(both.exitCode, 0) << dump(both);
    EXPECT_EQ(both.outLines(), (QStringList{"pong", "function"})) << dump(both);
}

TEST_F(DzhostTest, TwoObjects_LoggerSetUpOnceAndEachObjectAnnounced)
{
    const QString script = writeFile(QStringLiteral("two.dsa"),
                                     "var a = new BMPliantClothing();\n"
                                     "var b = new BMPliantClothing();\n"
                                     "print('script done');\n");
    const HostRun result = run({script});
    ASSERT_EQ(result.exitCode, 0) << dump(result);
    const QStringList lines = result.pluginLines();
    EXPECT_EQ(countEndingWith(lines, QStringLiteral("\tdzApp logger setup")), 1) << dump(result);
    EXPECT_EQ(countEndingWith(lines, QStringLiteral(
                  "\tConnecting dzScene::skeletonLoaded() signal to this::clothingLoaded() slot")), 2)
        << dump(result);
    EXPECT_EQ(countEndingWith(lines, QStringLiteral("\tPliant clothing plugin initialized")), 2) << dump(result);
    ASSERT_EQ(lines.size(), 5) << dump(result);
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral("dzApp logger setup")));
    for (const QString& line : lines)
        EXPECT_TRUE(line.startsWith(QStringLiteral("[Pliant Clothing Plugin] [Debug]\t["))) << line.toStdString();
    EXPECT_TRUE(result.outLines().contains(QStringLiteral("script done")));
}

TEST_F(DzhostTest, DisplayError_DialogOnStderrAndRichTextKeptInTheLog)
{
    const QString script = writeFile(QStringLiteral("error.dsa"),
                                     "var r = new BMPliantClothing().displayError('<b>x</b>');\n"
                                     "print('result ' + r);\n");
    struct Case {
        QStringList modeArguments;
        const char* expectedResult;
    };
    // Without a display and without --dialogs, dialogs are accepted.
    const Case cases[] = {{{"--dialogs", "accept"}, "result 1"},
                          {{"--dialogs", "reject"}, "result 0"},
                          {{}, "result 1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.modeArguments.join(QStringLiteral(" ")).toStdString());
        const HostRun result = run(c.modeArguments + QStringList{script});
        ASSERT_EQ(result.exitCode, 0) << dump(result);
        EXPECT_TRUE(result.errLines().contains(QStringLiteral("[dialog] Pliant Clothing Error: x"))) << dump(result);
        const QString errorLine = lineContaining(result.pluginLines(), QStringLiteral("[Error]"));
        EXPECT_TRUE(errorLine.startsWith(QStringLiteral("[Pliant Clothing Plugin] [Error]\t["))) << dump(result);
        EXPECT_TRUE(errorLine.endsWith(QStringLiteral("\t<b>x</b>"))) << dump(result);
        EXPECT_TRUE(result.outLines().contains(QString::fromLatin1(c.expectedResult))) << dump(result);
    }
}

TEST_F(DzhostTest, UncaughtScriptError_Exit1WithFileAndLine)
{
    const QString failing = writeFile(QStringLiteral("failing.dsa"),
                                      "var fine = 1;\n"
                                      "print('before');\n"
                                      "undefinedFunction();\n"
                                      "print('after');\n");
    const HostRun result = run({failing});
    EXPECT_EQ(result.exitCode, 1) << dump(result);
    EXPECT_TRUE(result.err.contains(failing + QStringLiteral(":3:"))) << dump(result);
    EXPECT_TRUE(result.err.contains(QStringLiteral("undefinedFunction"))) << dump(result);
    EXPECT_TRUE(result.outLines().contains(QStringLiteral("before")));
    EXPECT_FALSE(result.outLines().contains(QStringLiteral("after")));

    const QString thrown = writeFile(QStringLiteral("thrown.dsa"),
                                     "function f() {\n  throw new Error('boom');\n}\nf();\n");
    const HostRun thrownResult = run({thrown});
    EXPECT_EQ(thrownResult.exitCode, 1) << dump(thrownResult);
    EXPECT_TRUE(thrownResult.err.contains(thrown + QStringLiteral(":2:"))) << dump(thrownResult);
    EXPECT_TRUE(thrownResult.err.contains(QStringLiteral("boom"))) << dump(thrownResult);

    const QString syntax = writeFile(QStringLiteral("syntax.dsa"), "print('x');\nvar = ;\n");
    const HostRun syntaxResult = run({syntax});
    EXPECT_EQ(syntaxResult.exitCode, 1) << dump(syntaxResult);
    EXPECT_TRUE(syntaxResult.err.contains(syntax + QStringLiteral(":2:"))) << dump(syntaxResult);
}

TEST_F(DzhostTest, BadArgumentsOrModules_Exit2WithAOneLineReasonAndNoScriptRun)
{
    const QString script = writeFile(QStringLiteral("marker.dsa"), "print('script ran');\n");
    const QString badScene = writeFile(QStringLiteral("bad.json"), "{\"nodes\": [{\"name\": \"A\", \"kind\": \"robot\"}]}");
    const QString notJson = writeFile(QStringLiteral("notjson.json"), "nodes: A");
    const QString notAModule = writeFile(QStringLiteral("fake.so"), "not a shared object\n");
    const QString fifo = path(QStringLiteral("scene.fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case {
        const char* what;
        QStringList arguments;
        QString named; // the reason names this
    };
    const Case cases[] = {
        {"unknown option", {"--bogus", script}, "bogus"},
        {"option without its value", {"--dialogs"}, "dialogs"},
        {"no script", {}, "script"},
        {"missing script", {"missing.dsa"}, "missing.dsa"},
        {"bad dialogs mode", {"--dialogs", "maybe", script}, "maybe"},
        {"scene not JSON", {"--scene", notJson, script}, "notjson.json"},
        {"scene with a bad node", {"--scene", badScene, script}, "bad.json"},
        {"missing scene", {"--scene", "nowhere.json", script}, "nowhere.json"},
        // Neither ends by itself: refused before anything is read.
        {"endless scene", {"--scene", "/dev/zero", script}, "/dev/zero: not a regular file"},
        {"scene that is a pipe", {"--scene", fifo, script}, "scene.fifo: not a regular file"},
        {"missing content dir", {"--content", "no-such-dir", script}, "no-such-dir"},
        {"missing module", {"--plugin", "no-such-module.so", script}, "no-such-module.so"},
        {"not a module file", {"--plugin", notAModule, script}, "fake.so"},
        {"library without plug-in exports", {"--plugin", QStringLiteral(DZCORE_LIBRARY), script},
         QFileInfo(QStringLiteral(DZCORE_LIBRARY)).fileName()},
        {"module for a later SDK", {"--plugin", QStringLiteral(FUTURE_SDK_MODULE), script}, "5.0.0.0"},
        {"log file that cannot be written", {"--log", path(QStringLiteral("no/such/dir/host.log")), script},
         "host.log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HostRun result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 2) << dump(result);
        const QStringList errLines = result.errLines();
        ASSERT_FALSE(errLines.isEmpty()) << dump(result);
        // The reason on one line, then at most a pointer to --help.
        EXPECT_TRUE(errLines.first().startsWith(QStringLiteral("dzhost: "))) << dump(result);
        EXPECT_TRUE(errLines.first().contains(c.named))
            << dump(result);
        EXPECT_LE(errLines.size(), 2) << dump(result);
        EXPECT_FALSE(result.out.contains(QStringLiteral("script ran"))) << dump(result);
    }
}

TEST_F(DzhostTest, LogOption_WritesTheLogToTheFile)
{
    const QString script = writeFile(QStringLiteral("log.dsa"), "new BMPliantClothing();\nprint('hello');\n");
    const QString logFile = path(QStringLiteral("host.log"));
    const HostRun result = run({"--log", logFile, script});
    ASSERT_EQ(result.exitCode, 0) << dump(result);
    EXPECT_FALSE(result.out.contains(QStringLiteral("hello"))) << dump(result);
    EXPECT_FALSE(result.out.contains(pluginPrefix)) << dump(result);

    QFile file(logFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = nonEmptyLines(QString::fromUtf8(file.readAll()));
    EXPECT_EQ(countEndingWith(lines, QStringLiteral("\tdzApp logger setup")), 1);
    EXPECT_EQ(countEndingWith(lines, QStringLiteral("\tPliant clothing plugin initialized")), 1);
    EXPECT_EQ(lines.last(), QStringLiteral("hello"));

    // "-" is standard output.
    const HostRun toStdout = run({"--log", "-", script});
    ASSERT_EQ(toStdout.exitCode, 0) << dump(toStdout);
    EXPECT_TRUE(toStdout.outLines().contains(QStringLiteral("hello")));
}

// The command line, the files' names and the console text are UTF-8 whatever the locale
// says, as on the host's own systems: the script and the scene lie in a folder named
// outside ASCII.
TEST_F(DzhostTest, ScriptGlobals_ArgumentsSceneAndFollowTargets)
{
    const QString folder = QString::fromUtf8("scripts/Caf\u00e9 \u6771\u4eac/");
    const QString scene = writeFile(folder + QStringLiteral("scene.json"), R"({"nodes": [
        {"name": "Base Female", "kind": "figure", "selected": true},
        {"name": "Lamp", "kind": "prop"},
        {"name": "Shirt", "kind": "figure", "follows": "Base Female"},
        {"name": "Other", "kind": "figure"}]})");
    const QString script = writeFile(folder + QStringLiteral("globals.dsa"), R"(
print("file=" + getScriptFileName());
var args = getScriptArguments();
print("args=" + args.length + "|" + args.join("|"));
print("same=" + (args[0] == "two wörds 東"));
print("nodes=" + Scene.getNumNodes());
var selected = Scene.getSelectedNodeList();
print("selected=" + selected.length + "|" + selected[0].getName() + "|" + selected[0].iskindof("DzSkeleton"));
var lamp = Scene.findNode("Lamp");
print("lamp=" + lamp.getName() + "|" + lamp.iskindof("DzSkeleton") + "|" + lamp.iskindof("DzNode"));
print("missing=" + Scene.findNode("Nobody"));
var shirt = Scene.findNode("Shirt");
print("follows=" + shirt.getFollowTarget().getName());
var seen = [];
shirt.followTargetChanged.connect(function (target) { seen.push(target ? target.getName() : "null"); });
shirt.setFollowTarget(Scene.findNode("Other"));
shirt.setFollowTarget(null);
print("seen=" + seen.join("|"));
print("after=" + shirt.getFollowTarget());
)");
    // Arguments after the script are the script's, even those that look like options of
    // the host or of Qt.
    QProcessEnvironment cLocale = headlessEnvironment();
    cLocale.remove(QStringLiteral("LANG"));
    cLocale.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    const QString word = QString::fromUtf8("w\u00f6rds \u6771");
    const HostRun result = run({"--scene", scene, folder + QStringLiteral("globals.dsa"), "two " + word,
                                "-reverse", "--plugin", "x"},
                               cLocale);
    ASSERT_EQ(result.exitCode, 0) << dump(result);
    EXPECT_EQ(result.outLines(), (QStringList{
                                     "file=" + script,
                                     "args=4|two " + word + "|-reverse|--plugin|x",
                                     "same=true",
                                     "nodes=4",
                                     "selected=1|Base Female|true",
                                     "lamp=Lamp|false|true",
                                     "missing=null",
                                     "follows=Base Female",
                                     "seen=Other|null",
                                     "after=null",
                                 }))
        << dump(result);
}

TEST_F(DzhostTest, ContentManager_ScriptFindsAndMergesAFileFromItsContentFolder)
{
    writeFile(QStringLiteral("content/Runtime/Libraries/Character/Shirt.cr2"),
              "{\nfigure\n\t{\n\tname Summer Shirt\n\t}\n}\n");
    const QString scene = writeFile(QStringLiteral("scene.json"),
                                    R"({"nodes": [{"name": "Base Female", "kind": "figure", "selected": true}]})");
    const QString script = writeFile(QStringLiteral("content/Scripts/load.dsa"), R"(
var mgr = App.getContentMgr();
var folder = mgr.findBaseDirectory(getScriptFileName(), true);
var file = mgr.getAbsolutePath("Runtime\\Libraries\\Character\\Shirt.cr2", true, folder.getName());
print("opened=" + mgr.openFile(file, true));
print("follows=" + Scene.findNode("Summer Shirt").getFollowTarget().getName());
print("outside=" + mgr.findBaseDirectory("/", true));
// A receiver of the announcement replaces the scene; receivers after it (the module's) still
// get a live skeleton.
var replaced = false;
Scene.skeletonAdded.connect(function (skeleton) {
    if (!replaced) { replaced = true; mgr.openFile(file, false); }
});
var pliant = new BMPliantClothing();
mgr.openFile(file, true);
print("replaced=" + Scene.getNumNodes());
)");
    const HostRun result = run({"--content", path(QStringLiteral("content")), "--scene", scene, script});
    ASSERT_EQ(result.exitCode, 0) << dump(result);
    EXPECT_TRUE(result.outLines().contains(QStringLiteral("opened=true"))) << dump(result);
    EXPECT_TRUE(result.outLines().contains(QStringLiteral("follows=Base Female"))) << dump(result);
    EXPECT_TRUE(result.outLines().contains(QStringLiteral("outside=null"))) << dump(result);
    EXPECT_TRUE(result.outLines().contains(QStringLiteral("replaced=1"))) << dump(result);
}
