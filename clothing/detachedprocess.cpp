#include "detachedprocess.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX)

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Closes every descriptor from 3 up. Runs between fork and exec, so only calls that are
// safe there.
void closeInheritedDescriptors(int openLimit)
{
    if (::close_range(3, ~0u, 0) == 0)
        return;
    for (int fd = 3; fd < openLimit; ++fd)
        ::close(fd);
}

} // namespace

// Qt's own detached start leaves every descriptor that is not marked close-on-exec open
// in the new process, and the host's are not ours to mark. So the start is done here, the
// way QProcess::startDetached does it (a double fork, so the server is nobody's child and
// leaves no zombie), with the descriptors closed before the program is run.
bool startDetachedProgram(const QString& path)
{
    // Everything the child needs is prepared before the fork: after it, in a process that
    // may have other threads, only async-signal-safe calls are allowed.
    const QByteArray program = QFile::encodeName(path);
    const char* const nullDevice = "/dev/null";
    char* const argv[] = {const_cast<char*>(program.constData()), nullptr};
    rlimit limit{};
    const int openLimit = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536
        ? static_cast<int>(limit.rlim_cur)
        : 65536;

    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::setsid();
        if (::fork() != 0)
            ::_exit(0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        ::sigaction(SIGPIPE, &byDefault, nullptr);
        const int null = ::open(nullDevice, O_RDWR);
        if (null < 0)
            ::_exit(127);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        closeInheritedDescriptors(openLimit);
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

#else

#include <QDir>
#include <QProcess>
#include <QStringList>

// Windows: Qt starts the program with no arguments, in a console of its own, and hands it
// none of the host's handles. macOS: Qt's own detached start (a double fork), in which the
// server keeps the host's standard streams and any descriptor not marked close-on-exec.
bool startDetachedProgram(const QString& path)
{
    return QProcess::startDetached(path, QStringList(), QDir::currentPath());
}

#endif
