#ifndef DZQTCOMPAT_H
#define DZQTCOMPAT_H

// What the stand-ins, the host program and the tests use of Qt where Qt 4 (the host's own)
// and Qt 5 differ. The module never includes this: its code uses only what both offer.

#include "dzcoreexport.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

#if QT_VERSION < 0x050000
#include <QMetaType>
#include <QTextCodec>
#define QStringLiteral(text) QString::fromUtf8(text)
template <typename T>
const T& qAsConst(T& value)
{
    return value;
}
inline bool qEnvironmentVariableIsEmpty(const char* name)
{
    return qgetenv(name).isEmpty();
}
// Qt 5 knows every pointer to a QObject class as a meta-type; Qt 4 only those declared.
#define DZ_DECLARE_OBJECT_POINTER(Class) Q_DECLARE_METATYPE(Class*)
// The platform plug-in that needs no display (QT_QPA_PLATFORM).
#define DZ_HEADLESS_PLATFORM "minimal"
// File names, the command line and the console in UTF-8, as Qt 5 always takes them on Linux;
// Qt 4 follows the C library's locale, Latin-1 where none is set. The codec for C strings,
// which the module meets, stays Qt's own. Windows takes file names and the command line as
// wide text, and its local text is the system's code page.
inline void dzUseUtf8ForLocalText()
{
#if !defined(_WIN32)
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
#endif
}
#else
inline void dzUseUtf8ForLocalText()
{
}
#define DZ_DECLARE_OBJECT_POINTER(Class)
#define DZ_HEADLESS_PLATFORM "offscreen"
#endif

// A value from outside (a path from a reply, a name from a file) made fit for one line of
// the host's messages, exactly as the module's log shows such values and with the same
// text under either Qt.
DZCORE_EXPORT QString dzShownValue(const QString& value);

// Calls the function whenever the sender emits the signal (given with SIGNAL(); its
// arguments are dropped), for as long as both the sender and the context object live. Qt 4
// connects no functions, only slots.
DZCORE_EXPORT void dzConnectCall(QObject* sender, const char* signal, QObject* context,
                                 std::function<void()> function);
// Ends every such call from the sender made for that context.
DZCORE_EXPORT void dzDisconnectCalls(const QObject* sender, const QObject* context);

#endif
