#!/usr/bin/env bash
# The module on Windows, as the host builds and loads it: builds the stand-in SDK
# (dzcore.dll), the host program (dzhost.exe), the settings writer, the module
# (garbwright.dll) and "Garbwright Server.exe" for 64-bit Windows against
# ../shared/qt-4.8.7-win64 (the windows-qt4 preset, build-windows-qt4/) and, where
# ../shared/qt-4.8.7-win32 is at hand, for 32-bit Windows (windows-qt4-32, built and linked
# only: nothing 32-bit runs here); checks that each garbwright.dll exports its two entry points
# by name. Then, under 64-bit Wine in a prefix of its own (build-windows-qt4/wineprefix) and
# on a virtual display (xvfb-run), with every Wine command under a time-out:
# - writes the companion application's install directory into the registry with the settings
#   writer, as the companion does, and reads it back with `wine reg query`;
# - lays the demo out under a Windows folder whose name holds a space and an accented letter;
# - runs the demo's host script under dzhost.exe, which loads the module, which reads the
#   registry, starts "Garbwright Server.exe" detached and converts; the garment must conform;
# - compares the host log, line for line, with the Linux host's on the same demo (thread ids,
#   times and the demo's folders masked, progress lines left out as tests/common/comparablelog.sh
#   says; Windows paths as `mask_windows_paths` says);
# - runs the module's suites that build for Windows;
# - and leaves no server and no Wine process running.
# Without ../shared/qt-4.8.7-win64 it says so in one line and does nothing.
# Usage: test-windows-host.sh [LINUX_BUILD_DIR]   (the Linux build whose demo log is compared;
#        default build-qt4/ where it holds a host, else build/)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
qt64="$root/../shared/qt-4.8.7-win64"
qt32="$root/../shared/qt-4.8.7-win32"
if [ ! -x "$qt64/bin/qmake" ]; then
  echo "windows host: skipped, no Qt 4.8 for Windows at ../shared/qt-4.8.7-win64"
  exit 0
fi
qt64="$(cd "$qt64" && pwd)"
build="${GARBWRIGHT_WINDOWS_HOST_BUILD_DIR:-$root/build-windows-qt4}"
build32="${GARBWRIGHT_WINDOWS_HOST32_BUILD_DIR:-$root/build-windows-qt4-32}"
linux="${1:-}"
if [ -z "$linux" ]; then
  linux="$root/build-qt4"
  [ -x "$linux/bin/dzhost" ] || linux="${GARBWRIGHT_BUILD_DIR:-$root/build}"
fi
bash "$root/scripts/setup.sh" windows

fail() { echo "windows host: $*" >&2; exit 1; }

# -- The builds, and the exports the host looks up by name.
started=$SECONDS
cmake -S "$root" --preset windows-qt4 -B "$build" -DQT_QMAKE_EXECUTABLE="$qt64/bin/qmake" >/dev/null
cmake --build "$build" -j"$(nproc)"
check_exports() { # OBJDUMP DLL
  local names
  names=$("$1" -p "$2" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
  for name in getSDKVersion getPluginDefinition; do
    grep -q -E "\] $name\$" <<<"$names" || fail "$2 does not export $name by name"
  done
}
check_exports x86_64-w64-mingw32-objdump "$build/plugins/garbwright.dll"
if [ -x "$qt32/bin/qmake" ]; then
  qt32="$(cd "$qt32" && pwd)"
  cmake -S "$root" --preset windows-qt4-32 -B "$build32" -DQT_QMAKE_EXECUTABLE="$qt32/bin/qmake" >/dev/null
  cmake --build "$build32" -j"$(nproc)"
  check_exports i686-w64-mingw32-objdump "$build32/plugins/garbwright.dll"
  echo "windows host: the 32-bit and 64-bit garbwright.dll export getSDKVersion and getPluginDefinition by name"
else
  echo "windows host: the 64-bit garbwright.dll exports both entry points by name; 32-bit skipped, no ../shared/qt-4.8.7-win32"
fi
echo "windows host: builds took $((SECONDS - started)) s"

# -- Wine: a prefix of this script's own, the Qt DLLs on the programs' search path.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export LANG=C.UTF-8
export WINEPATH="Z:${qt64//\//\\}\\bin"
run_wine() { timeout -k 5 "$1" wine "${@:2}"; }
finish_wine() {
  # Whatever a failed step left: the server, the host, Wine itself.
  timeout 20 wineserver -k 2>/dev/null || true
  timeout 20 wineserver -w 2>/dev/null || true
}
trap finish_wine EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "windows host: making the Wine prefix $WINEPREFIX"
  timeout 180 wine wineboot --init >/dev/null 2>&1 || fail "wineboot failed"
fi
timeout 60 wineserver -w

# -- The demo's layout, under C:\ in the prefix: a folder named with a space and an accented letter.
folder="Garbwright Démo"
demo_unix="$WINEPREFIX/drive_c/$folder"
demo_windows="C:\\$folder"
install_windows="$demo_windows\\Tailorforge\\"
content_windows="$demo_windows\\Content"
rm -rf "$demo_unix"
mkdir -p "$demo_unix/Tailorforge" "$demo_unix/Content/Runtime"
cp "$build/bin/Garbwright Server.exe" "$demo_unix/Tailorforge/"
cp -r "$root/examples/Garments" "$demo_unix/Tailorforge/Garments"
cp -r "$root/examples/content/." "$demo_unix/Content/"
log="$build/windows-run"
rm -rf "$log"
mkdir -p "$log"

# -- The companion's install directory, in the registry as the companion writes it.
key='HKEY_CURRENT_USER\Software\Brackenmoor\Tailorforge'
run_wine 30 reg delete "$key" /f >/dev/null 2>&1 || true
run_wine 60 "$build/bin/writesetting.exe" Brackenmoor Tailorforge installDir "$install_windows" \
  || fail "the settings writer failed"
run_wine 30 reg query "$key" /v installDir > "$log/registry" 2>&1 || fail "no $key in the registry"
# reg writes in the console's (OEM) code page: 850 here.
iconv -f CP850 -t UTF-8 "$log/registry" | tr -d '\r' | grep -q -x -F "    installDir    REG_SZ    $install_windows" \
  || { cat "$log/registry" >&2; fail "the registry does not hold the install directory"; }
echo "windows host: the settings writer put installDir = $install_windows into $key"
timeout 60 wineserver -w

# -- The demo's host script under dzhost.exe, on a virtual display, in a network of its own
# (tests/common/ownnetwork.sh) with a wineserver of that network's (Wine makes a program's
# sockets in its wineserver): the server the module starts listens there, and the run checks
# there that the demo's stop request ended it. Wine ends before its display does.
script_windows="$content_windows\\Scripts\\Pliant Clothing\\Dress Selected Figure.dsa"
status=0
timeout -k 10 240 sh "$root/tests/common/ownnetwork.sh" bash -c '
  port_in_use() { (exec 3<>/dev/tcp/127.0.0.1/12345) 2>/dev/null; }
  wineserver -w
  xvfb-run -a sh -c "wine \"\$@\"; status=\$?; wineserver -w; exit \$status" host "$@"
  status=$?
  if port_in_use; then
    echo "== The conversion server is still running"
    exit 3
  fi
  exit "$status"' demo "$build/bin/dzhost.exe" --content "$content_windows" \
  --scene "Z:${root//\//\\}\\examples\\demo-scene.json" --dialogs accept \
  "$script_windows" Brackenmoor "Summer Dress" > "$log/host.raw" 2>&1 || status=$?
# The console's text is the Windows code page (Wine's for this locale: Windows-1252).
iconv -f WINDOWS-1252 -t UTF-8 "$log/host.raw" | tr -d '\r' > "$log/host.log"
if [ "$status" -ne 0 ] || ! grep -q -F 'Clothing is conformed' "$log/host.log"; then
  tail -n 30 "$log/host.log" >&2
  fail "the demo under dzhost.exe failed (exit $status; $log/host.log)"
fi
[ -f "$demo_unix/Content/Runtime/Libraries/Character/Pliant Clothing/Brackenmoor/Summer Dress.cr2" ] \
  || fail "no converted file in the content folder"
echo "windows host: the demo under dzhost.exe conforms the clothing ($(wc -l < "$log/host.log") lines)"

# -- The same demo under the Linux host, and the two logs line for line.
linux_demo="$log/linux"
qt4linux="$root/../shared/qt-4.8.7-linux"
if [ -d "$linux/qt4-lib" ] && [ -d "$qt4linux" ]; then
  # A Qt 4 build finds its headless platform and font through these (scripts/test-qt4.sh).
  export QT_PLUGIN_PATH="$qt4linux/plugins" QT_QPA_FONTDIR="$qt4linux/lib/fonts"
fi
GARBWRIGHT_DEMO_DIR="$linux_demo/demo" GARBWRIGHT_DEMO_CONTENT="$linux_demo/$folder/Content" \
  sh "$root/tests/common/ownnetwork.sh" bash "$root/scripts/run-demo.sh" "$linux" \
  > "$log/linux.raw" 2>&1 || fail "the Linux demo failed; see $log/linux.raw"
sed -n '/^== Host log/,/^== Converted file/{/^== Host log/d;/^== Converted file/d;p}' "$log/linux.raw" \
  > "$log/linux.log"
literal() { sed 's/[][\\.*^$|]/\\&/g' <<<"$1"; } # TEXT as a sed pattern of itself
mask_folders() { # INSTALL_DIR CONTENT_DIR
  sed -e "s|$(literal "$1")|<install>/|g" -e "s|$(literal "$2")|<content>|g"
}
# The one place where Windows paths are told apart from Linux ones: a path below a masked
# folder is written with backslashes where Windows joins it, and with forward slashes where
# Qt gives it; either way it reads with forward slashes here. (The reply's relative path keeps
# its backslashes on both systems.)
mask_windows_paths() {
  sed -E -e ':a' -e 's,(<(install|content)>[^#"]*)\\,\1/,' -e 'ta' \
         -e 's,<install>/+,<install>/,g'
}
comparable="$root/tests/common/comparablelog.sh"
sh "$comparable" "$log/linux.log" \
  | mask_folders "$linux_demo/demo/Tailorforge/" "$linux_demo/$folder/Content" > "$log/linux.masked"
sh "$comparable" "$log/host.log" | mask_folders "$install_windows" "$content_windows" \
  | mask_windows_paths | mask_folders "C:/$folder/Tailorforge/" "C:/$folder/Content" > "$log/windows.masked"
if ! diff -u "$log/linux.masked" "$log/windows.masked" > "$log/difference"; then
  head -n 40 "$log/difference" >&2
  fail "the host log under Windows differs from the Linux one ($log/difference)"
fi
echo "windows host: the host log under Windows is the Linux host's, line for line"

# -- The module's suites that build for Windows, under Wine.
timeout 60 wineserver -w
(cd "$build" && timeout -k 10 600 xvfb-run -a sh -c 'ctest --output-on-failure -j1; status=$?; wineserver -w; exit $status')

finish_wine
trap - EXIT
# Every process of this prefix carries it in its environment; others' Wine runs are not ours.
left=""
for pid in $(pgrep -u "$(id -u)" -f '\.exe|wineserver|wine-preloader' || true); do
  if { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -q -x -F "WINEPREFIX=$WINEPREFIX"; then
    left="$left $pid"
  fi
done
[ -z "$left" ] || { ps -o pid,args -p $left >&2; fail "a Windows program or Wine is still running"; }
echo "windows host: done in $((SECONDS - started)) s; no server and no Wine process left running"
