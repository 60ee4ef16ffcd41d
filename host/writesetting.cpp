// writesetting: stores one text value in an application's settings through Qt's settings
// library, in the native format and user scope, exactly where and how that application
// reads it back. The demo uses it to lay out the companion application's settings.
//
// Usage: writesetting ORGANIZATION APPLICATION KEY VALUE

#include "dzqtcompat.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    enum { Written = 0, NotWritten = 1, BadUsage = 2 };
    dzUseUtf8ForLocalText();
    const QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 5) {
        std::fputs("usage: writesetting ORGANIZATION APPLICATION KEY VALUE\n", stderr);
        return BadUsage;
    }
    QSettings settings(arguments.at(1), arguments.at(2));
    settings.setValue(arguments.at(3), arguments.at(4));
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        std::fprintf(stderr, "writesetting: cannot write %s\n", QFile::encodeName(settings.fileName()).constData());
        return NotWritten;
    }
    return Written;
}
