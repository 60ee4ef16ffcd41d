#ifndef DZPLUGINCONTROL_H
#define DZPLUGINCONTROL_H

// What the stand-in host reads of a plug-in definition to register the module's classes.
// The host program and the tests use it; a plug-in module never sees this folder.

#include "dzcoreexport.h"

#include <QList>

class DzClassFactory;
class DzPlugin;

class DZCORE_EXPORT DzPluginControl {
public:
    // The definition's class factories, in the order the module added them.
    static QList<DzClassFactory*> classFactories(const DzPlugin& plugin);
};

#endif
