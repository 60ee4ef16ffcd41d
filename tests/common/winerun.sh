#!/bin/sh
# Runs a Windows program of the build under Wine, as the tests' emulator. Wine makes a
# program's sockets in its wineserver, so a program run in a network namespace of its own
# (ownnetwork.sh) must have a wineserver of that namespace: this waits until the prefix's
# last one has ended, and the program's Wine then starts its own here; it waits for that one
# too, so that the next program's Wine finds none.
wineserver -w
wine "$@"
status=$?
wineserver -w
exit "$status"
