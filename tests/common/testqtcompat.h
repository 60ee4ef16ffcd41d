#ifndef GARBWRIGHT_TESTS_TESTQTCOMPAT_H
#define GARBWRIGHT_TESTS_TESTQTCOMPAT_H

// What the tests use of Qt where Qt 4 and Qt 5 differ, beyond the stand-ins' own
// (dzqtcompat.h), so that the module's suites run on both.

#include "dzqtcompat.h"

#if defined(_WIN32)
#include <windows.h>
#endif
#include <QByteArray>
#include <QCoreApplication>
#include <QMetaMethod>
#include <QMetaType>
#include <QProcess>
#include <QTimer>

#include <functional>

// The id of a type the meta-type system does not know.
constexpr int unknownMetaTypeId = 0;

// Calls the function once, msec from now, when the event loop next runs (Qt 4's timers call
// slots only).
inline void runLater(int msec, std::function<void()> function)
{
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setSingleShot(true);
    dzConnectCall(timer, SIGNAL(timeout()), timer, [timer, function] {
        timer->deleteLater();
        function();
    });
    timer->start(msec);
}

#if QT_VERSION >= 0x050000
#include <QTemporaryDir>

inline QByteArray methodSignature(const QMetaMethod& method)
{
    return method.methodSignature();
}

inline QByteArray returnTypeName(const QMetaMethod& method)
{
    return QByteArray(method.typeName());
}

inline qint64 processId(const QProcess& process)
{
    return process.processId();
}

// The process was ended by that signal.
inline bool endedBySignal(const QProcess& process, int signal)
{
    return process.exitStatus() == QProcess::CrashExit && process.exitCode() == signal;
}

inline QString nullDevice()
{
    return QProcess::nullDevice();
}
#else
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QUuid>

#include <cstdlib>

typedef void (*QFunctionPointer)();

inline QByteArray methodSignature(const QMetaMethod& method)
{
    return QByteArray(method.signature());
}

// Qt 4 names no return type for a method that returns nothing; Qt 5 names it "void".
inline QByteArray returnTypeName(const QMetaMethod& method)
{
    const QByteArray name(method.typeName());
    return name.isEmpty() ? QByteArray("void") : name;
}

inline qint64 processId(const QProcess& process)
{
#if defined(_WIN32)
    const Q_PID id = process.pid();
    return id ? static_cast<qint64>(id->dwProcessId) : 0;
#else
    return process.pid();
#endif
}

// Qt 4 keeps no signal number for a process that a signal ended (its exit code is then 0).
inline bool endedBySignal(const QProcess& process, int)
{
    return process.exitStatus() == QProcess::CrashExit;
}

inline QString nullDevice()
{
#if defined(_WIN32)
    return QStringLiteral("\\\\.\\NUL");
#else
    return QStringLiteral("/dev/null");
#endif
}

// Qt 5's temporary folder: made at once, removed with everything in it at the end.
class QTemporaryDir {
public:
    QTemporaryDir()
    {
#if defined(_WIN32)
        // A folder that is made fails when the name is taken: a fresh name each try.
        for (int attempt = 0; attempt < 100 && m_path.isEmpty(); ++attempt) {
            const QString name = QDir::tempPath() + QStringLiteral("/garbwright-test-")
                + QUuid::createUuid().toString().mid(1, 8);
            if (QDir().mkdir(name))
                m_path = name;
        }
#else
        QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/garbwright-test-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_path = QString::fromLocal8Bit(pattern);
#endif
    }
    ~QTemporaryDir()
    {
        if (!m_path.isEmpty())
            removeAll(m_path);
    }
    QTemporaryDir(const QTemporaryDir&) = delete;
    QTemporaryDir& operator=(const QTemporaryDir&) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

private:
    static void removeAll(const QString& path)
    {
        const QDir folder(path);
        for (const QFileInfo& entry :
             folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            if (entry.isDir() && !entry.isSymLink())
                removeAll(entry.absoluteFilePath());
            else
                QFile::remove(entry.absoluteFilePath());
        }
        QDir().rmdir(path);
    }

    QString m_path;
};
#endif

// What differs between Windows (the Wine run) and Linux for the tests: ending a process the
// test started by its id, interrupting a host as Ctrl+C does, and copying a folder.
#if !defined(_WIN32)
#include <csignal>
#include <sys/types.h>
#endif
#include <QDir>
#include <QFile>
#include <QFileInfo>

inline void endProcess(qint64 id)
{
#if defined(_WIN32)
    if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id))) {
        ::TerminateProcess(process, 1);
        ::CloseHandle(process);
    }
#else
    ::kill(static_cast<pid_t>(id), SIGTERM);
#endif
}

// Windows answers a connection to a closed loopback port only after retrying it for about 2 s,
// where Linux refuses it at once: a bound on a run that meets a closed port allows for that.
#if defined(_WIN32)
constexpr qint64 refusedConnectionMs = 2500;
#else
constexpr qint64 refusedConnectionMs = 0;
#endif

// Why a server program that is a shell script cannot run here, or null where it can.
#if defined(_WIN32)
constexpr const char* scriptServerUnavailable = "Windows starts no shell script as a program";
#else
constexpr const char* scriptServerUnavailable = nullptr;
#endif

// Why a host cannot be interrupted here, or null where it can.
#if defined(_WIN32)
constexpr const char* interruptUnavailable =
    "Ctrl+C reaches a Windows console program only from a console it shares, which the tests have not";
#else
constexpr const char* interruptUnavailable = nullptr;
#endif

// Ctrl+C, as the terminal sends it (where interruptUnavailable is null).
inline void interruptProcess(qint64 id)
{
#if defined(_WIN32)
    (void)id;
#else
    ::kill(static_cast<pid_t>(id), SIGINT);
#endif
}

// Copies a folder with everything in it into `target` (made if missing); false on any failure.
inline bool copyFolder(const QString& source, const QString& target)
{
    if (!QDir().mkpath(target))
        return false;
    for (const QFileInfo& entry : QDir(source).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString copy = target + QLatin1Char('/') + entry.fileName();
        if (entry.isDir() ? !copyFolder(entry.absoluteFilePath(), copy)
                          : !QFile::copy(entry.absoluteFilePath(), copy))
            return false;
    }
    return true;
}

#endif
