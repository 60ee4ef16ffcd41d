#!/usr/bin/env bash
# Runs the demo on a built tree: lays out a demo install of the companion application (its
# settings naming an install directory that holds the conversion server and its garment
# library), a content directory with a host script, and a scene with one selected figure,
# then runs the host on the script (GARBWRIGHT_DEMO_SCRIPT names another script of the
# demo's content folder, e.g. "Check Server.dsa"; GARBWRIGHT_DEMO_WRAPPER a command that
# runs the host, e.g. valgrind; GARBWRIGHT_DEMO_WINDOWS_SERVER the Windows build of the
# conversion server, which then runs under Wine in WINEPREFIX instead of the Linux one).
# Usage: run-demo.sh BUILD_DIR [VENDOR [GARMENT]]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:?usage: run-demo.sh BUILD_DIR [VENDOR [GARMENT]]}" && pwd)"
vendor="${2:-Brackenmoor}"
garment="${3:-Summer Dress}"

demo="${GARBWRIGHT_DEMO_DIR:-$build/demo}"
install="$demo/Tailorforge/"
content="$demo/Content"
script="$content/Scripts/Pliant Clothing/${GARBWRIGHT_DEMO_SCRIPT:-Dress Selected Figure.dsa}"
rm -rf "$demo"
mkdir -p "$install" "$content/Runtime" "$demo/config/Brackenmoor"

# The companion application's install directory, as the plug-in expects to find it.
if [ -n "${GARBWRIGHT_DEMO_WINDOWS_SERVER:-}" ]; then
  # The Windows program beside its garment library, and under the name the module starts a
  # launcher that runs it under Wine, as the system's binary-format handler would.
  cp "$GARBWRIGHT_DEMO_WINDOWS_SERVER" "$install/garbwright-server-windows.exe"
  cat > "$install/Garbwright Server.exe" <<LAUNCHER
#!/bin/sh
export WINEPREFIX="${WINEPREFIX:-}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "\$(dirname "\$0")/garbwright-server-windows.exe" "\$@"
LAUNCHER
  chmod +x "$install/Garbwright Server.exe"
else
  cp "$build/bin/garbwright-server" "$install/Garbwright Server.exe"
fi
cp -r "$root/examples/Garments" "$install/Garments"
# Its settings: the install directory, ending with a separator.
printf '[General]\ninstallDir="%s"\n' "$install" > "$demo/config/Brackenmoor/Tailorforge.conf"
cp -r "$root/examples/content/." "$content/"

port_in_use() { (exec 3<>/dev/tcp/127.0.0.1/12345) 2>/dev/null; }
if port_in_use; then
  echo "demo: something already listens on port 12345; stop it first" >&2
  exit 1
fi

echo "== Host log (the plug-in's lines start with [Pliant Clothing Plugin])"
status=0
# shellcheck disable=SC2086 # the wrapper is a command line, split on purpose
XDG_CONFIG_HOME="$demo/config" ${GARBWRIGHT_DEMO_WRAPPER:-} "$build/bin/dzhost" \
  --content "$content" --scene "$root/examples/demo-scene.json" --dialogs accept \
  "$script" "$vendor" "$garment" || status=$?

converted=$(cd "$content" && find Runtime -name '*.cr2' 2>/dev/null | head -n 1)
echo "== Converted file in the content directory: ${converted:-none}"
for _ in $(seq 50); do port_in_use || break; sleep 0.1; done
if port_in_use; then
  echo "== The conversion server is still running; asking it to stop" >&2
  (exec 3<>/dev/tcp/127.0.0.1/12345 && printf 'stop\n' >&3 && timeout 5 cat <&3 >/dev/null) 2>/dev/null || true
  status=1
else
  echo "== No conversion server left running"
fi
echo "== dzhost exit status: $status"
exit "$status"
