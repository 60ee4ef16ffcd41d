#!/usr/bin/env bash
# Builds everything and runs every test: the demo under valgrind's memcheck, a short run
# of every fuzz target, then the test suites. Tests that use the server's fixed port take
# a CTest resource lock, so they never overlap even when run in parallel.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${GARBWRIGHT_BUILD_DIR:-$root/build}"

bash "$root/scripts/build.sh" "$@"
bash "$root/scripts/memcheck-demo.sh" "$build"
# A short run of every fuzz target.
bash "$root/scripts/fuzz.sh" 5
cd "$build"
ctest --output-on-failure -j2
