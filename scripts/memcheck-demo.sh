#!/usr/bin/env bash
# Runs the demo with the host under valgrind's memcheck on a built tree; fails when memcheck
# finds a memory error or a definite leak.
# Usage: memcheck-demo.sh BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:?usage: memcheck-demo.sh BUILD_DIR}" && pwd)"
report="$build/memcheck-demo.log"

GARBWRIGHT_DEMO_WRAPPER="valgrind --quiet --leak-check=full --show-leak-kinds=definite \
  --errors-for-leak-kinds=definite --error-exitcode=3 \
  --suppressions=$root/tests/sanitizer/valgrind.supp --log-file=$report" \
  GARBWRIGHT_DEMO_DIR="$build/memcheck-demo" \
  bash "$root/scripts/run-demo.sh" "$build" > "$build/memcheck-demo.out" 2>&1 || {
    echo "memcheck: the demo failed under valgrind; see $report and $build/memcheck-demo.out" >&2
    exit 1
  }
echo "memcheck: no memory errors and no definite leaks in the demo (report: $report)"
