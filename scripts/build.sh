#!/usr/bin/env bash
# Installs what the build needs, then configures and builds the project with a configure
# preset of CMakePresets.json: GARBWRIGHT_PRESET, default dev (everything with the tests, in
# build/), or demo (only what the demo runs, in build-demo/). GARBWRIGHT_BUILD_DIR names
# another folder. Extra arguments go to the CMake configure step; GARBWRIGHT_TARGETS names
# the targets to build (default: all).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
preset="${GARBWRIGHT_PRESET:-dev}"
if [ "$preset" = demo ]; then
  group=demo
  build="${GARBWRIGHT_BUILD_DIR:-$root/build-demo}"
else
  group=test
  build="${GARBWRIGHT_BUILD_DIR:-$root/build}"
fi

bash "$root/scripts/setup.sh" "$group"
cmake -S "$root" --preset "$preset" -B "$build" "$@" >/dev/null
# shellcheck disable=SC2086 # the target list is split on purpose
cmake --build "$build" -j"$(nproc)" --target ${GARBWRIGHT_TARGETS:-all}
