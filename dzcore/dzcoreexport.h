#ifndef DZCORE_EXPORT_H
#define DZCORE_EXPORT_H

// Symbols of the host SDK library are visible to the host program and to plug-in modules.
// On Windows a module imports them from the host's library (the stand-in itself is built
// for Linux only).
#if defined(_WIN32)
#define DZCORE_EXPORT __declspec(dllimport)
#else
#define DZCORE_EXPORT __attribute__((visibility("default")))
#endif

#endif
