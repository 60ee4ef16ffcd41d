#ifndef DZCORE_EXPORT_H
#define DZCORE_EXPORT_H

// Symbols of the host SDK library are visible to the host program and to plug-in modules.
#define DZCORE_EXPORT __attribute__((visibility("default")))

#endif
