// What the host learns of this module when it loads it: the plug-in definition and the
// factory of the one scriptable class, followed by the module's constants. The static
// objects below are built in the order written and destroyed in reverse at unload.

#include "dzplugin.h"
#include "garbwright.h"
#include "garbwrightconstants.h"

// The texts are made QStrings here, so that they mean the same under any codec the host sets.
DZ_PLUGIN_DEFINITION(QString::fromLatin1("Pliant Clothing"));
DZ_PLUGIN_AUTHOR(QString::fromLatin1("Brackenmoor"));
DZ_PLUGIN_VERSION(1, 0, 0, 0);
DZ_PLUGIN_DESCRIPTION(QString::fromLatin1("This plugin allows DAZ Studio users to use Pliant Clothing"));
DZ_PLUGIN_CLASS_GUID(BMPliantClothing, 78494DDE-5300-4CC9-A1D1-001ECDE80AA3);

const std::string serverHost = "localhost";
const QString serverExeName = QString::fromLatin1("Garbwright Server.exe");
const QString updaterExeName = QString::fromLatin1("TF Updater.exe");
const QString homepageUrl = QString::fromLatin1("https://tailorforge.brackenmoor.com/");
