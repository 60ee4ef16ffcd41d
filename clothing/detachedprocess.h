#ifndef GARBWRIGHT_DETACHEDPROCESS_H
#define GARBWRIGHT_DETACHEDPROCESS_H

#include <QString>

// Starts the program at `path` itself, with no arguments, as a process of its own that
// outlives the host, in the host's working directory and environment. On Linux it gets the
// null device for its standard streams and none of the host's other descriptors (a server
// that kept the host's output pipe would keep whoever reads that pipe waiting after the
// host has ended); elsewhere Qt's own detached start gives what that system's start gives.
// The path is never split or parsed as a command line. Returns whether a process was made;
// whether the program then runs shows only in whether it answers.
bool startDetachedProgram(const QString& path);

#endif
