#ifndef DZSCRIPTTYPES_H
#define DZSCRIPTTYPES_H

#include "dzcoreexport.h"

class QScriptEngine;

// Teaches a script engine the host's own object types (nodes, figures, content folders and
// the content manager), so that they can cross between scripts and slots, and gives it the
// host's timer class, DzTimer. The host calls
// this for every engine it prepares, before plug-ins register their classes. Host objects
// stay owned by the host: script wrappers never delete them.
DZCORE_EXPORT void dzRegisterScriptTypes(QScriptEngine* engine);

#endif
