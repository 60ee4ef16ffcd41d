#ifndef GARBWRIGHT_WIRETEXT_H
#define GARBWRIGHT_WIRETEXT_H

#include <QString>

#include <string>

// Text on the wire to the conversion server is 8-bit, one byte per character (Latin-1), in
// both directions: that is how the host's own string conversions behave on the platform the
// module was written for, and what the server reads and writes.

// True when every character of `text` has a byte of its own on the wire.
bool fitsWireText(const QString& text);

// The bytes for `text`; callers check fitsWireText first, since a character outside the
// set would go out as '?'.
std::string toWireText(const QString& text);

// One character per byte received, NUL bytes and bytes above 127 included.
QString fromWireText(const std::string& bytes);

#endif
