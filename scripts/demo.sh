#!/usr/bin/env bash
# The demo: installs what it needs (the demo group of scripts/setup.sh, through build.sh),
# builds the host, the module and the conversion server in build-demo/ (the demo preset:
# quick to build, no tests), and runs the demo (scripts/run-demo.sh). Arguments: vendor and
# garment (default: Brackenmoor, "Summer Dress").
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${GARBWRIGHT_BUILD_DIR:-$root/build-demo}"

GARBWRIGHT_PRESET=demo GARBWRIGHT_BUILD_DIR="$build" \
  GARBWRIGHT_TARGETS="dzhost garbwright garbwright-server writesetting" bash "$root/scripts/build.sh"
exec bash "$root/scripts/run-demo.sh" "$build" "$@"
