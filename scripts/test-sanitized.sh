#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ (or
# GARBWRIGHT_ASAN_BUILD_DIR) and runs every test suite there. The tests set the sanitizers'
# options themselves (leak suppressions for Qt's own process-wide objects).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${GARBWRIGHT_ASAN_BUILD_DIR:-$root/build-asan}"

bash "$root/scripts/setup.sh" test
cmake -S "$root" --preset sanitize -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j2
