// A plug-in module that reports a later SDK than the host implements, as a module built
// against the next major SDK would.

#include "dzplugin.h"

#undef DZ_SDK_VERSION_MAJOR
#undef DZ_SDK_VERSION_MINOR
#undef DZ_SDK_VERSION_REV
#undef DZ_SDK_VERSION_BUILD
#define DZ_SDK_VERSION_MAJOR 5
#define DZ_SDK_VERSION_MINOR 0
#define DZ_SDK_VERSION_REV 0
#define DZ_SDK_VERSION_BUILD 0

DZ_PLUGIN_DEFINITION(QString::fromLatin1("Future Plugin"));
