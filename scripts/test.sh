#!/usr/bin/env bash
# Builds everything and runs every test. Tests that use the server's fixed port take a
# CTest resource lock, so they never overlap even when run in parallel.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${GARBWRIGHT_BUILD_DIR:-$root/build}"

bash "$root/scripts/build.sh" "$@"
(cd "$build" && ctest --output-on-failure -j2)
# The demo once more, with the host under valgrind's memcheck.
bash "$root/scripts/memcheck-demo.sh" "$build"
