#ifndef DZCORE_EXPORT_H
#define DZCORE_EXPORT_H

// Symbols of the host SDK library are visible to the host program and to plug-in modules.
// On Windows the library exports them (DZCORE_LIBRARY, its own build) and a module or the
// host program imports them.
#if defined(_WIN32) && defined(DZCORE_LIBRARY)
#define DZCORE_EXPORT __declspec(dllexport)
#elif defined(_WIN32)
#define DZCORE_EXPORT __declspec(dllimport)
#else
#define DZCORE_EXPORT __attribute__((visibility("default")))
#endif

// Every header of the SDK brings its general definitions.
#include "dzgeneraldefs.h"

#endif
