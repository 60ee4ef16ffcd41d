#ifndef DZGENERALDEFS_H
#define DZGENERALDEFS_H

#include <QString>
#include <QtGlobal>

// A warning with the source place it comes from, as "file(line): text". Like the host SDK's,
// this inline code, seen by every source that includes an SDK header, turns its C string
// template into a QString implicitly, so nothing that includes the SDK's headers builds with
// QT_NO_CAST_FROM_ASCII.
inline void DzWarning(const char* file, unsigned int line, const QString& text)
{
    const QString message = QString("%1(%2): %3").arg(QString::fromUtf8(file)).arg(line).arg(text);
    qWarning("%s", message.toUtf8().constData());
}

#endif
