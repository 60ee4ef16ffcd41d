// A minimal well-formed plug-in module, built with the host SDK's own macros.

#include "dzplugin.h"
#include "probemodule.h"

DZ_PLUGIN_DEFINITION(QString::fromLatin1("Host Probe"));
DZ_PLUGIN_AUTHOR(QString::fromLatin1("Host Tests"));
DZ_PLUGIN_VERSION(2, 3, 4, 5);
DZ_PLUGIN_DESCRIPTION(QString::fromLatin1("Answers ping"));
DZ_PLUGIN_CLASS_GUID(HostProbe, 0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0);
