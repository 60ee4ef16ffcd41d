#ifndef HOSTPLATFORM_H
#define HOSTPLATFORM_H

// What the host program does differently on Windows and on Linux: whether it has a display,
// its command line as text, and Ctrl+C in a batch run.

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// Whether windows can be shown: on Linux, a display to connect to; Windows always has one.
bool hasDisplay();

// The file names of plug-in modules in a folder: "*.dll" on Windows, "*.so" on Linux.
QString pluginModulePattern();

// Sets up what Qt's start-up needs from the environment in a batch run (Linux: the per-user
// runtime folder that Qt would pick itself, without its warning on every start).
void prepareBatchEnvironment();

// The program's command line as the user typed it: on Windows the system's wide text, on
// Linux the arguments as local text.
QStringList hostArguments(int argc, char* argv[]);

// Ctrl+C in a batch run, for as long as the returned object lives: the first cancels the
// innermost piece of work that the user may cancel, as the progress dialog's Cancel button
// would; a second, or one while nothing cancellable is shown, ends the host as it always
// did. The interrupt is only noted where it arrives; the cancel itself happens on the main
// thread, the next time the waiting work lets the host handle its events.
std::unique_ptr<QObject> cancelOnInterrupt();

#endif
