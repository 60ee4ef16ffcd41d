// dzhost: a headless host application. Loads plug-in modules, prepares a scene and content
// directories, and runs a host script with every plug-in class registered.

#include "dzapp.h"
#include "dzappcontrol.h"
#include "dzcontentmgr.h"
#include "dzprogress.h"
#include "dzprogresscontrol.h"
#include "dzscene.h"
#include "pluginloader.h"
#include "scenefile.h"
#include "scripthost.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// Ctrl+C in a batch run: the first cancels the innermost piece of work that the user may
// cancel, as the progress dialog's Cancel button would; a second, or one while nothing
// cancellable is shown, ends the host as it always did. The handler only writes a byte to
// a pipe; the cancel itself happens on the main thread, the next time the waiting work lets
// the host handle its events.
class InterruptToCancel {
public:
    InterruptToCancel()
    {
        if (::pipe(s_pipe) != 0)
            return;
        ::fcntl(s_pipe[0], F_SETFL, O_NONBLOCK);
        ::fcntl(s_pipe[1], F_SETFL, O_NONBLOCK);
        ::fcntl(s_pipe[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(s_pipe[1], F_SETFD, FD_CLOEXEC);
        m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [] {
            char byte;
            while (::read(s_pipe[0], &byte, 1) == 1) {
            }
            DzProgressControl::cancelShown();
            arm();
        });
        arm();
    }

private:
    static void arm()
    {
        struct sigaction action {};
        action.sa_handler = &interrupted;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, nullptr);
    }

    static void interrupted(int)
    {
        // One interrupt at a time is turned into a cancel; the next ends the host.
        ::signal(SIGINT, SIG_DFL);
        if (!DzProgressControl::cancellableShown()) {
            ::raise(SIGINT);
            return;
        }
        const int savedErrno = errno;
        const char byte = 1;
        if (::write(s_pipe[1], &byte, 1) != 1)
            ::raise(SIGINT);
        errno = savedErrno;
    }

    static int s_pipe[2];
    std::unique_ptr<QSocketNotifier> m_notifier;
};

int InterruptToCancel::s_pipe[2] = {-1, -1};

enum ExitCode { ScriptFinished = 0, ScriptFailed = 1, BadUsage = 2 };

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void writeLine(FILE* stream, const QString& line)
{
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

int usageError(const QString& message)
{
    writeLine(stderr, QStringLiteral("dzhost: ") + message);
    writeLine(stderr, QStringLiteral("Try 'dzhost --help' for more information."));
    return BadUsage;
}

QString defaultPluginFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../plugins"));
}

// Clears the globals that plug-ins reach the host through, whatever way main() is left.
struct HostGlobals {
    HostGlobals(DzApp* app, DzScene* scene)
    {
        dzApp = app;
        dzScene = scene;
    }
    ~HostGlobals()
    {
        dzScene = nullptr;
        dzApp = nullptr;
    }
};

} // namespace

int main(int argc, char* argv[])
{
    // Without a display, widgets still work on the offscreen platform; dialogs are then
    // answered without a user.
    const bool display = hasDisplay();
    if (!display && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    // Batch runs often have no session; give Qt the per-user runtime folder it would pick
    // itself, without its warning on every start.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QDir::tempPath().toLocal8Bit() + "/runtime-" + QByteArray::number(getuid()));
    // Qt takes the options it knows (-plugin, -style, -reverse, ...) out of the command line
    // it is given, and would swallow --plugin and a script's own arguments. The host reads
    // its command line itself and gives Qt nothing but the program name.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dzhost"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Headless host: loads plug-in modules and runs a host script."));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption pluginOption(QStringLiteral("plugin"),
        QStringLiteral("A plug-in module, or a folder of them (repeatable; default: the build's plug-in folder)."),
        QStringLiteral("PATH"));
    const QCommandLineOption contentOption(QStringLiteral("content"),
        QStringLiteral("A content directory (repeatable)."), QStringLiteral("DIR"));
    const QCommandLineOption sceneOption(QStringLiteral("scene"),
        QStringLiteral("A scene to load, described in JSON."), QStringLiteral("FILE"));
    const QCommandLineOption dialogsOption(QStringLiteral("dialogs"),
        QStringLiteral("How modal dialogs are answered: accept, reject or interactive "
                       "(default: accept without a display, else interactive)."),
        QStringLiteral("MODE"));
    const QCommandLineOption logOption(QStringLiteral("log"),
        QStringLiteral("Where the host log goes: a file, or - for standard output (default)."),
        QStringLiteral("FILE"));
    const QCommandLineOption listOption(QStringLiteral("list-plugins"),
        QStringLiteral("Print each loaded plug-in and its classes, then exit."));
    parser.addOptions({pluginOption, contentOption, sceneOption, dialogsOption, logOption, listOption});
    parser.addPositionalArgument(QStringLiteral("SCRIPT"), QStringLiteral("The host script to run."));
    parser.addPositionalArgument(QStringLiteral("ARG"), QStringLiteral("Arguments for the script."),
                                 QStringLiteral("[ARG...]"));

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        writeLine(stdout, parser.helpText());
        return ScriptFinished;
    }
    const QStringList positional = parser.positionalArguments();
    const bool listOnly = parser.isSet(listOption);
    if (positional.isEmpty() && !listOnly)
        return usageError(QStringLiteral("no script given"));
    // A script that is not there is a bad argument, not a failed script.
    if (!listOnly && !QFileInfo(positional.first()).isFile())
        return usageError(QStringLiteral("script %1 does not exist").arg(positional.first()));

    DzAppControl::DialogMode dialogMode =
        display ? DzAppControl::InteractiveDialogs : DzAppControl::AcceptDialogs;
    if (parser.isSet(dialogsOption)) {
        const QString mode = parser.value(dialogsOption);
        if (mode == QLatin1String("accept"))
            dialogMode = DzAppControl::AcceptDialogs;
        else if (mode == QLatin1String("reject"))
            dialogMode = DzAppControl::RejectDialogs;
        else if (mode == QLatin1String("interactive"))
            dialogMode = DzAppControl::InteractiveDialogs;
        else
            return usageError(QStringLiteral("--dialogs takes accept, reject or interactive, not '%1'").arg(mode));
        if (dialogMode == DzAppControl::InteractiveDialogs && !display)
            return usageError(QStringLiteral("interactive dialogs need a display"));
    }

    DzApp app;
    DzScene scene;
    const HostGlobals globals(&app, &scene);
    DzAppControl(app).setDialogMode(dialogMode);
    DzAppControl(app).setDialogWriter([](const QString& line) { writeLine(stderr, line); });
    // Without dialogs shown to a user, long work reports its progress here instead, and
    // Ctrl+C cancels what may be cancelled.
    DzProgressControl::setLineWriter([](const QString& line) { writeLine(stderr, line); });
    std::unique_ptr<InterruptToCancel> interrupts;
    if (dialogMode != DzAppControl::InteractiveDialogs)
        interrupts = std::make_unique<InterruptToCancel>();

    std::shared_ptr<QFile> logFile;
    const QString logTarget = parser.isSet(logOption) ? parser.value(logOption) : QStringLiteral("-");
    if (logTarget == QLatin1String("-")) {
        DzAppControl(app).setLogWriter([](const QString& line) { writeLine(stdout, line); });
    } else {
        logFile = std::make_shared<QFile>(logTarget);
        if (!logFile->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            return usageError(QStringLiteral("cannot write the log to %1: %2").arg(logTarget, logFile->errorString()));
        DzAppControl(app).setLogWriter([logFile](const QString& line) {
            logFile->write(line.toUtf8() + '\n');
            logFile->flush();
        });
    }

    for (const QString& directory : parser.values(contentOption)) {
        if (!QFileInfo(directory).isDir())
            return usageError(QStringLiteral("content directory %1 does not exist").arg(directory));
        app.getContentMgr()->addContentDirectory(directory);
    }

    if (parser.isSet(sceneOption)) {
        QString error;
        if (!loadSceneFile(parser.value(sceneOption), &scene, &error))
            return usageError(QStringLiteral("cannot load the scene: ") + error);
    }

    PluginLoader plugins;
    const QStringList pluginPaths = parser.isSet(pluginOption) ? parser.values(pluginOption)
                                                               : QStringList{defaultPluginFolder()};
    for (const QString& path : pluginPaths) {
        if (!plugins.load(path))
            return usageError(QStringLiteral("cannot load plug-in ") + plugins.error());
    }

    if (listOnly) {
        std::fputs(plugins.describe().toLocal8Bit().constData(), stdout);
        return ScriptFinished;
    }

    const ScriptHost host(plugins);
    QString error;
    if (!host.runFile(positional.first(), positional.mid(1), &error)) {
        writeLine(stderr, QStringLiteral("dzhost: ") + error);
        return ScriptFailed;
    }
    return ScriptFinished;
}
