#!/usr/bin/env bash
# Builds the portable core's tests and "Garbwright Server.exe" for 64-bit Windows with
# mingw-w64 in build-windows/ (or GARBWRIGHT_WINDOWS_BUILD_DIR) and runs them under Wine,
# in a Wine prefix of the build folder's own that is made once. Extra arguments go to the
# CMake configure step.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${GARBWRIGHT_WINDOWS_BUILD_DIR:-$root/build-windows}"

bash "$root/scripts/setup.sh" windows
cmake -S "$root" --preset windows -B "$build" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"

export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== Making the Wine prefix $WINEPREFIX"
  wine wineboot --init >/dev/null 2>&1
  wineserver --wait
fi
cd "$build"
ctest --output-on-failure -j2
