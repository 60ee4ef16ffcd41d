#ifndef GARBWRIGHTCONSTANTS_H
#define GARBWRIGHTCONSTANTS_H

#include <QString>

#include <string>

// Module-wide constants, created when the module is loaded (after the plug-in definition and
// its class factory) and released when it is unloaded.

// Host name of the conversion server; it runs on this machine.
extern const std::string serverHost;
// File names of the conversion server program and of the companion application's updater,
// both in the companion application's install directory.
extern const QString serverExeName;
extern const QString updaterExeName;
// The companion application's homepage, offered when it is not installed.
extern const QString homepageUrl;

#endif
