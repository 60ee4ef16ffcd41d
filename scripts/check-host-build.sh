#!/usr/bin/env bash
# Compiles, syntax only, every source of the module and of the portable core it links as the
# host's platform sees them: 32-bit and 64-bit Windows code (mingw-w64), against the Qt 4.8.1
# headers the host ships, the stand-in SDK's headers and Boost's, with the module's own
# warning flags as errors. The source list, include folders and flags come from
# cmake/GarbwrightModule.cmake. The Qt 4.8.1 headers are not part of the project: they are
# read from ../shared/qt-4.8.1/include beside the checkout (or GARBWRIGHT_QT4_INCLUDE); where
# they are absent, the check says so and is skipped.
# Usage: check-host-build.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-${GARBWRIGHT_BUILD_DIR:-$root/build}}"
qt4="${GARBWRIGHT_QT4_INCLUDE:-$root/../shared/qt-4.8.1/include}"

if [ ! -d "$qt4/QtCore" ]; then
  echo "host build check skipped: no Qt 4.8.1 headers at $qt4"
  exit 0
fi

# The lists of cmake/GarbwrightModule.cmake, one shell array assignment each.
mkdir -p "$build/host-check"
cat >"$build/host-check/lists.cmake" <<CMAKE
include("$root/cmake/GarbwrightModule.cmake")
foreach(name GARBWRIGHT_MODULE_SOURCES GARBWRIGHT_LOGGING_WINDOWS_SOURCES GARBWRIGHT_MODULE_INCLUDE_DIRS
             GARBWRIGHT_WARNING_FLAGS GARBWRIGHT_WINDOWS_DEFINITIONS)
  string(REPLACE ";" " " words "\${\${name}}")
  execute_process(COMMAND "\${CMAKE_COMMAND}" -E echo "\${name}=(\${words})")
endforeach()
CMAKE
eval "$(cmake -P "$build/host-check/lists.cmake")"

# Boost's headers through a folder that holds only a link to them, so that no other header
# of this machine is seen by the cross compilers.
boost="$build/host-check/boost-headers"
mkdir -p "$boost"
ln -sfn /usr/include/boost "$boost/boost"

flags=(-fsyntax-only -std=c++17 "${GARBWRIGHT_WARNING_FLAGS[@]}" -Werror)
for definition in "${GARBWRIGHT_WINDOWS_DEFINITIONS[@]}"; do flags+=("-D$definition"); done
for dir in "${GARBWRIGHT_MODULE_INCLUDE_DIRS[@]}"; do flags+=(-I "$root/$dir"); done
# The SDK's headers and Qt's are system headers to the module, as the host's own are.
flags+=(-isystem "$root/dzcore" -isystem "$boost" -isystem "$qt4")
for library in QtCore QtGui QtScript QtNetwork; do flags+=(-isystem "$qt4/$library"); done

sources=("${GARBWRIGHT_MODULE_SOURCES[@]}" "${GARBWRIGHT_LOGGING_WINDOWS_SOURCES[@]}")
failed=0
for compiler in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix; do
  if ! command -v "$compiler" >/dev/null; then
    echo "FAULT: $compiler is missing (scripts/setup.sh windows installs it)" >&2
    exit 1
  fi
  # Two compiles at a time; each prints its own errors.
  if ! printf '%s\0' "${sources[@]}" | (cd "$root" && xargs -0 -n 1 -P 2 "$compiler" "${flags[@]}"); then
    echo "FAULT: the module does not compile as Windows code with $compiler and Qt 4.8.1" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] || exit 1
echo "host build check: ${#sources[@]} sources compile as 32-bit and 64-bit Windows code against Qt 4.8.1"
