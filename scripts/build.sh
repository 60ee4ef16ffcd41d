#!/usr/bin/env bash
# Installs what the build needs (the demo group of scripts/setup.sh), then configures and
# builds the project in build/ (or the folder named by GARBWRIGHT_BUILD_DIR). Extra
# arguments go to the CMake configure step; GARBWRIGHT_TARGETS names the targets to build
# (default: all).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${GARBWRIGHT_BUILD_DIR:-$root/build}"

bash "$root/scripts/setup.sh" demo
cmake -S "$root" --preset dev -B "$build" "$@" >/dev/null
# shellcheck disable=SC2086 # the target list is split on purpose
cmake --build "$build" -j"$(nproc)" --target ${GARBWRIGHT_TARGETS:-all}
