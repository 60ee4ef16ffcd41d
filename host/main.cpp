// dzhost: a headless host application. Loads plug-in modules, prepares a scene and content
// directories, and runs a host script with every plug-in class registered.

#include "dzapp.h"
#include "dzappcontrol.h"
#include "dzcontentmgr.h"
#include "dzprogress.h"
#include "dzprogresscontrol.h"
#include "dzscene.h"
#include "hostplatform.h"
#include "hostqtcompat.h"
#include "pluginloader.h"
#include "scenefile.h"
#include "scripthost.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <memory>

namespace {

enum ExitCode { ScriptFinished = 0, ScriptFailed = 1, BadUsage = 2 };

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
    // Without a display, widgets still work on the headless platform; dialogs are then
    // answered without a user.
    const bool display = hasDisplay();
    if (!display && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray(DZ_HEADLESS_PLATFORM));
    // Batch runs often have no session.
    prepareBatchEnvironment();
    // Qt takes the options it knows (-plugin, -style, -reverse, ...) out of the command line
    // it is given, and would swallow --plugin and a script's own arguments. The host reads
    // its command line itself and gives Qt nothing but the program name.
    int qtArgc = 1;
    // Before the application reads its own settings, which fixes the settings' folder.
    dzUseUtf8ForLocalText();
    QApplication application(qtArgc, argv);
    const QStringList arguments = hostArguments(argc, argv);
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
    std::unique_ptr<QObject> interrupts;
    if (dialogMode != DzAppControl::InteractiveDialogs)
        interrupts = cancelOnInterrupt();

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
