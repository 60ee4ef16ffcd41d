#!/usr/bin/env bash
# Builds everything and runs every test: the Windows build of the core and the server under
# Wine, the demo under valgrind's memcheck, a short run of every fuzz target, then the test
# suites, among them the Linux module against the Windows server, then the module on the
# host's Qt 4.8 where ../shared/qt-4.8.7-linux is at hand (scripts/test-qt4.sh), and last the
# module built for Windows and run under Wine where ../shared/qt-4.8.7-win64 is at hand
# (scripts/test-windows-host.sh). Tests that use the
# server's fixed port take a CTest resource lock, so they never overlap even when run in
# parallel.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${GARBWRIGHT_BUILD_DIR:-$root/build}"

# Everything the steps below need, at once: the test group and the Windows build's.
bash "$root/scripts/setup.sh" test windows
bash "$root/scripts/build.sh" "$@"
bash "$root/scripts/check-layout.sh" "$build"
bash "$root/scripts/check-host-build.sh" "$build"
bash "$root/scripts/test-windows.sh"
windows="${GARBWRIGHT_WINDOWS_BUILD_DIR:-$root/build-windows}"
export GARBWRIGHT_WINDOWS_SERVER="$windows/bin/Garbwright Server.exe" WINEPREFIX="$windows/wineprefix"
bash "$root/scripts/memcheck-demo.sh" "$build"
# A short run of every fuzz target.
bash "$root/scripts/fuzz.sh" 5
(cd "$build" && ctest --output-on-failure -j2)
bash "$root/scripts/test-qt4.sh" "$build"
# Its own Wine prefix, not the core's.
unset WINEPREFIX GARBWRIGHT_WINDOWS_SERVER
bash "$root/scripts/test-windows-host.sh"
