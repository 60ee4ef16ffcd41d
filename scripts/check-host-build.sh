#!/usr/bin/env bash
# Checks that the module builds for the host as the host's own SDK and Qt see it:
# - the stand-in SDK headers the module sees declare, for the SDK's classes, only what the
#   host's SDK declares (the list in ../shared/host-sdk/members.txt, or GARBWRIGHT_SDK_MEMBERS);
# - the module's sources call no conversion between Qt's strings and bytes that leaves the
#   encoding to the Qt version or the host's codec, and their literals, which become QStrings
#   implicitly, are ASCII;
# - every source of the module and of the portable core it links compiles, syntax only, as the
#   host's platform sees them: 32-bit and 64-bit Windows code (mingw-w64), against the Qt 4.8.1
#   headers the host ships, the stand-in SDK's headers (and no stand-in control) and Boost's,
#   with the module's own definitions and warning flags as errors.
# The source list, include folders and flags come from cmake/GarbwrightModule.cmake. The member
# list and the Qt 4.8.1 headers are not part of the project: they are read from ../shared
# beside the checkout (or GARBWRIGHT_QT4_INCLUDE); where one is absent, its check says so and
# is skipped.
# Usage: check-host-build.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-${GARBWRIGHT_BUILD_DIR:-$root/build}}"
qt4="${GARBWRIGHT_QT4_INCLUDE:-$root/../shared/qt-4.8.1/include}"
members="${GARBWRIGHT_SDK_MEMBERS:-$root/../shared/host-sdk/members.txt}"

# The lists of cmake/GarbwrightModule.cmake, one shell array assignment each.
mkdir -p "$build/host-check"
cat >"$build/host-check/lists.cmake" <<CMAKE
include("$root/cmake/GarbwrightModule.cmake")
foreach(name GARBWRIGHT_MODULE_SOURCES GARBWRIGHT_LOGGING_WINDOWS_SOURCES GARBWRIGHT_MODULE_INCLUDE_DIRS
             GARBWRIGHT_WARNING_FLAGS GARBWRIGHT_WINDOWS_DEFINITIONS
             GARBWRIGHT_MODULE_DEFINITIONS GARBWRIGHT_MODULE_FORBIDDEN_CALLS)
  string(REPLACE ";" " " words "\${\${name}}")
  execute_process(COMMAND "\${CMAKE_COMMAND}" -E echo "\${name}=(\${words})")
endforeach()
CMAKE
eval "$(cmake -P "$build/host-check/lists.cmake")"

failed=0
if [ -f "$members" ]; then
  python3 "$root/scripts/check-sdk-members.py" "$members" "$root/dzcore" || failed=1
else
  echo "SDK member check skipped: no member list at $members"
fi

# The module's own sources and headers: those of its include folders.
calls="$(IFS='|'; echo "${GARBWRIGHT_MODULE_FORBIDDEN_CALLS[*]}")"
module_files=()
shopt -s nullglob
for dir in "${GARBWRIGHT_MODULE_INCLUDE_DIRS[@]}"; do
  module_files+=("$root/$dir"/*.cpp "$root/$dir"/*.h)
done
shopt -u nullglob
if grep -n -w -E "$calls" "${module_files[@]}" >&2; then
  echo "FAULT: the module converts between QString and bytes without naming the encoding" \
       "(above; use toUtf8/fromUtf8 for log text, toLatin1/fromLatin1 for the wire)" >&2
  failed=1
fi
# C strings become QStrings implicitly, as the SDK's headers need: only ASCII literals mean the
# same under every codec the host may set.
python3 "$root/scripts/check-ascii-literals.py" "${module_files[@]}" || failed=1

if [ ! -d "$qt4/QtCore" ]; then
  echo "host build check skipped: no Qt 4.8.1 headers at $qt4"
  exit "$failed"
fi

# Boost's headers through a folder that holds only a link to them, so that no other header
# of this machine is seen by the cross compilers.
boost="$build/host-check/boost-headers"
mkdir -p "$boost"
ln -sfn /usr/include/boost "$boost/boost"

flags=(-fsyntax-only -std=c++17 "${GARBWRIGHT_WARNING_FLAGS[@]}" -Werror)
for definition in "${GARBWRIGHT_WINDOWS_DEFINITIONS[@]}" "${GARBWRIGHT_MODULE_DEFINITIONS[@]}"; do
  flags+=("-D$definition")
done
for dir in "${GARBWRIGHT_MODULE_INCLUDE_DIRS[@]}"; do flags+=(-I "$root/$dir"); done
# The SDK's headers and Qt's are system headers to the module, as the host's own are.
flags+=(-isystem "$root/dzcore" -isystem "$boost" -isystem "$qt4")
for library in QtCore QtGui QtScript QtNetwork; do flags+=(-isystem "$qt4/$library"); done

sources=("${GARBWRIGHT_MODULE_SOURCES[@]}" "${GARBWRIGHT_LOGGING_WINDOWS_SOURCES[@]}")
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
