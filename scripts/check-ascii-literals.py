#!/usr/bin/env python3
"""Checks that the string and character literals of the given C++ files hold only ASCII: no
byte above 0x7f, no escape (\\x, octal, \\u, \\U) for a character above it. The module turns
C strings into QStrings implicitly, as the host SDK's headers do, and an ASCII literal reads
the same under any codec the host sets for C strings. Comments may hold any text.

Usage: check-ascii-literals.py FILE...
"""
import re
import sys

# Comments, then literals (with an optional encoding prefix; raw strings are not used here).
TOKEN = re.compile(rb'//[^\n]*|/\*.*?\*/|(?:u8|[uUL])?"(?:\\.|[^"\\\n])*"|(?:u8|[uUL])?\'(?:\\.|[^\'\\\n])+\'',
                   re.S)
ESCAPE = re.compile(rb'\\(x[0-9a-fA-F]+|[0-7]{1,3}|.)', re.S)


def escapes_beyond_ascii(token):
    """True when an escape of the literal names a character above 0x7f."""
    for match in ESCAPE.finditer(token):
        escape = match.group(1)
        if escape[:1] in (b'u', b'U'):
            return True
        if escape[:1] == b'x' and int(escape[1:], 16) > 0x7f:
            return True
        if escape[:1].isdigit() and int(escape, 8) > 0x7f:
            return True
    return False


def faults(path):
    with open(path, 'rb') as source:
        text = source.read()
    for match in TOKEN.finditer(text):
        token = match.group()
        if token.startswith((b'//', b'/*')):
            continue
        if any(byte > 0x7f for byte in token) or escapes_beyond_ascii(token):
            line = text.count(b'\n', 0, match.start()) + 1
            yield '%s:%d: %s' % (path, line, token.decode('utf-8', 'replace'))


def main(paths):
    found = [fault for path in paths for fault in faults(path)]
    for fault in found:
        print(fault, file=sys.stderr)
    if found:
        print('FAULT: the module has literals beyond ASCII (above), whose meaning depends on the '
              'codec the host sets; build such text with QString::fromUtf8 or QChar', file=sys.stderr)
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
