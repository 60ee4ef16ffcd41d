// writesetting: stores one text value in an application's settings through Qt's settings
// library, in the native format and user scope, exactly where and how that application
// reads it back. The demo uses it to lay out the companion application's settings.
//
// Usage: writesetting ORGANIZATION APPLICATION KEY VALUE

#include "dzqtcompat.h"
#include "hostplatform.h"

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
    // Not Qt 4's own reading of the Windows command line, which takes the backslash that ends
    // a quoted folder name ("C:\Folder\") for the escape of its closing quote.
    const QStringList arguments = hostArguments(argc, argv);
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
