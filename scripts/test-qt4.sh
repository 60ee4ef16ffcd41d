#!/usr/bin/env bash
# The module on the host's own Qt: builds the stand-ins, the host program, the module and its
# suites against Qt 4.8 in ../shared/qt-4.8.7-linux (the qt4 preset, build-qt4/), runs the
# demo's host script under the Qt 4 host and compares its log, line for line, with the Qt 5
# host's (thread ids, times of day and elapsed times masked, progress lines left out: they
# depend on timing; tests/common/comparablelog.sh), then runs the suites. Without that
# folder it says so and does nothing.
# Usage: test-qt4.sh [QT5_BUILD_DIR]   (the Qt 5 build to compare with, default build/)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
qt4="$root/../shared/qt-4.8.7-linux"
if [ ! -x "$qt4/bin/qmake" ]; then
  echo "qt4: skipped, no Qt 4.8 at ../shared/qt-4.8.7-linux"
  exit 0
fi
qt4="$(cd "$qt4" && pwd)"
qt5build="$(cd "${1:-${GARBWRIGHT_BUILD_DIR:-$root/build}}" && pwd)"
build="${GARBWRIGHT_QT4_BUILD_DIR:-$root/build-qt4}"

cmake -S "$root" --preset qt4 -B "$build" -DQT_QMAKE_EXECUTABLE="$qt4/bin/qmake" >/dev/null
cmake --build "$build" -j"$(nproc)"

# What a program built against that Qt needs to find at run time (its libraries it finds
# through its run path).
export QT_PLUGIN_PATH="$qt4/plugins" QT_QPA_FONTDIR="$qt4/lib/fonts"

# The same demo under each host, in the same folders, so that the paths in the logs agree.
# The content folder's name holds Western European letters (its path goes to the server as
# 8-bit text and comes back in the reply), so that every hand-over of text is seen. The demo
# folder, which holds the companion application's settings, stays ASCII: Qt 4 reads the
# settings folder from XDG_CONFIG_HOME as Latin-1.
demo="$build/demo-compare"
run_demo() {
  GARBWRIGHT_DEMO_DIR="$demo/demo" GARBWRIGHT_DEMO_CONTENT="$demo/Café ünï/Content" \
    sh "$root/tests/common/ownnetwork.sh" \
    bash "$root/scripts/run-demo.sh" "$1" > "$2" 2>&1 || {
      echo "qt4: the demo failed on $1; see $2" >&2
      exit 1
    }
}
comparable() { sh "$root/tests/common/comparablelog.sh" "$1"; }
# A fresh folder each time: this script's own, inside the build folder.
rm -rf "$demo"
mkdir -p "$demo"
run_demo "$qt5build" "$demo/qt5.log"
run_demo "$build" "$demo/qt4.log"
if ! diff -u <(comparable "$demo/qt5.log") <(comparable "$demo/qt4.log") > "$demo/difference"; then
  echo "qt4: the demo's log under Qt 4 differs from the Qt 5 log ($demo/difference):" >&2
  head -n 40 "$demo/difference" >&2
  exit 1
fi
echo "qt4: the demo's log under Qt 4 is the Qt 5 log, line for line ($(wc -l < "$demo/qt4.log") lines)"

cd "$build"
ctest --output-on-failure -j2
