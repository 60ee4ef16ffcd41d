#include "hostplatform.h"

#include "dzprogresscontrol.h"
#include "dzqtcompat.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QString>

#if defined(_WIN32)

#include <windows.h>

#include <shellapi.h>

#include <atomic>

bool hasDisplay()
{
    return true;
}

QString pluginModulePattern()
{
    return QStringLiteral("*.dll");
}

void prepareBatchEnvironment()
{
}

QStringList hostArguments(int, char*[])
{
    // The narrow argv holds the command line in the ANSI code page, which cannot carry
    // every character of a path.
    QStringList arguments;
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!words)
        return arguments;
    for (int i = 0; i < count; ++i)
        arguments.append(QString::fromWCharArray(words[i]));
    ::LocalFree(words);
    return arguments;
}

namespace {

// Console control events arrive on a thread of their own; an event posted to an object of
// the main thread brings the cancel there.
class InterruptToCancel : public QObject {
public:
    InterruptToCancel()
    {
        s_receiver.store(this);
        ::SetConsoleCtrlHandler(&interrupted, TRUE);
    }
    ~InterruptToCancel() override
    {
        ::SetConsoleCtrlHandler(&interrupted, FALSE);
        s_receiver.store(nullptr);
    }

    bool event(QEvent* event) override
    {
        if (event->type() != cancelEvent())
            return QObject::event(event);
        DzProgressControl::cancelShown();
        s_pending.store(false);
        return true;
    }

private:
    static QEvent::Type cancelEvent()
    {
        static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    static BOOL WINAPI interrupted(DWORD kind)
    {
        InterruptToCancel* receiver = s_receiver.load();
        // FALSE hands the event on to the system's handler, which ends the host.
        if (kind != CTRL_C_EVENT || !receiver || !DzProgressControl::cancellableShown()
            || s_pending.exchange(true))
            return FALSE;
        QCoreApplication::postEvent(receiver, new QEvent(cancelEvent()));
        return TRUE;
    }

    static std::atomic<InterruptToCancel*> s_receiver;
    static std::atomic<bool> s_pending;
};

std::atomic<InterruptToCancel*> InterruptToCancel::s_receiver{nullptr};
std::atomic<bool> InterruptToCancel::s_pending{false};

} // namespace

#else

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString pluginModulePattern()
{
    return QStringLiteral("*.so");
}

void prepareBatchEnvironment()
{
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QDir::tempPath().toLocal8Bit() + "/runtime-" + QByteArray::number(getuid()));
}

QStringList hostArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

namespace {

// The signal handler only writes a byte to a pipe, which the main thread's event loop
// watches.
class InterruptToCancel : public QObject {
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
        dzConnectCall(m_notifier.get(), SIGNAL(activated(int)), m_notifier.get(), [] {
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

} // namespace

#endif

std::unique_ptr<QObject> cancelOnInterrupt()
{
    return std::make_unique<InterruptToCancel>();
}
