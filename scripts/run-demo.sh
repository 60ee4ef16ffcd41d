#!/usr/bin/env bash
# Runs the demo on a built tree: lays out a demo install of the companion application (its
# settings naming an install directory that holds the conversion server and its garment
# library), a content directory with a host script, and a scene with one selected figure,
# then runs the host on the script (GARBWRIGHT_DEMO_SCRIPT names another script of the
# demo's content folder, e.g. "Check Server.dsa"; GARBWRIGHT_DEMO_WRAPPER a command that
# runs the host, e.g. valgrind; GARBWRIGHT_DEMO_DIR and GARBWRIGHT_DEMO_CONTENT place the
# demo and its content folder elsewhere; GARBWRIGHT_DEMO_WINDOWS_SERVER the Windows build of
# the conversion server, which then runs under Wine in WINEPREFIX instead of the Linux one).
# The calling script's path goes to the server as 8-bit text, so the content folder's path
# must hold only Western European characters.
# Usage: run-demo.sh BUILD_DIR [VENDOR [GARMENT]]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:?usage: run-demo.sh BUILD_DIR [VENDOR [GARMENT]]}" && pwd)"
vendor="${2:-Brackenmoor}"
garment="${3:-Summer Dress}"

demo="${GARBWRIGHT_DEMO_DIR:-$build/demo}"
install="$demo/Tailorforge/"
content="${GARBWRIGHT_DEMO_CONTENT:-$demo/Content}"
script="$content/Scripts/Pliant Clothing/${GARBWRIGHT_DEMO_SCRIPT:-Dress Selected Figure.dsa}"
# The demo lays its folders out afresh, but removes only what it laid out itself. When a
# run ends, each of its folders gets a list: the files in it with their checksums, and the
# folders the demo made there. The next run removes exactly those files, when they are
# regular files reached through no link and unchanged, and then those folders when they are
# empty. A folder holding anything else (a file the list does not name, or one changed
# since) stops the demo, which then removes nothing; so does a list holding any line that
# the demo does not write, or one naming a path through a link or outside its folder.
list=".garbwright-demo"
# Folders are judged by the paths they resolve to, whatever the names given for them.
resolved() { realpath -m -- "$1"; }
own=("$(resolved "$demo")")
case "$(resolved "$content")/" in
  "${own[0]}/"*) ;;
  *) own+=("$(resolved "$content")") ;;
esac
refuse() {
  echo "demo: not removing $1: $2; remove it yourself, or name an empty or new folder" \
    "(GARBWRIGHT_DEMO_DIR, GARBWRIGHT_DEMO_CONTENT)" >&2
  exit 2
}
file_line='^([0-9a-f]{64})  (\./.+)$'
folder_line='^folder  (\.|\./.+)$'
# Checks the list of a folder (the current one) and prints its entries as "file PATH" and
# "folder PATH"; stops the demo on a line it does not write, or one whose path leaves the
# folder, passes through a link or names the wrong kind of thing.
bad() { echo "demo: $PWD/$list, line $number: $1: ${line@Q}" >&2; exit 2; }
read_list() {
  local number=0 line kind path rest part sofar
  while IFS= read -r line || [ -n "$line" ]; do
    number=$((number + 1))
    if [[ $line =~ $file_line ]]; then
      kind=file path=${BASH_REMATCH[2]}
    elif [[ $line =~ $folder_line ]]; then
      kind=folder path=${BASH_REMATCH[1]}
    else
      kind=
    fi
    [ -n "$kind" ] || bad "not a line the demo writes"
    rest=${path#.} sofar=.
    while [ -n "$rest" ]; do
      rest=${rest#/} part=${rest%%/*}
      [ "$rest" != "$part" ] && rest=/${rest#*/} || rest=
      case "$part" in ""|.|..) bad "not a path inside the folder" ;; esac
      sofar=$sofar/$part
      [ ! -L "$sofar" ] || bad "a link stands in the path"
    done
    if [ "$kind" = file ]; then
      [ ! -e "$path" ] || [ -f "$path" ] || bad "not a regular file"
      [ ! -e "$path" ] || [ "$(sha256sum < "$path")" = "${BASH_REMATCH[1]}  -" ] \
        || refuse "$PWD" "a file the demo laid out there was changed since"
    else
      [ ! -e "$path" ] || [ -d "$path" ] || bad "not a folder"
    fi
    printf '%s %s\n' "$kind" "$path"
  done < "$list"
}
declare -A entries
for folder in "${own[@]}"; do
  if [ -L "$folder" ] || { [ -e "$folder" ] && [ ! -d "$folder" ]; }; then
    refuse "$folder" "it is not a folder"
  fi
  [ -d "$folder" ] && [ -n "$(ls -A "$folder")" ] || continue
  { [ -f "$folder/$list" ] && [ ! -L "$folder/$list" ]; } \
    || refuse "$folder" "it holds files that the demo did not lay out"
  entries[$folder]=$(cd "$folder" && read_list) || exit $?
  stranger=$(cd "$folder" && comm -23 <(find . -mindepth 1 ! -type d ! -path "./$list" | sort) \
    <(sed -n 's/^file //p' <<<"${entries[$folder]}" | sort) | head -n 1) || true
  [ -z "$stranger" ] || refuse "$folder" "it holds ${stranger#./}, which the demo did not lay out"
done
for folder in "${own[@]}"; do
  [ -f "$folder/$list" ] || continue
  (cd "$folder" && sed -n 's/^file //p' <<<"${entries[$folder]}" | while IFS= read -r file; do
     rm -f -- "$file"; done
   rm -f -- "$list")
  sed -n 's/^folder //p' <<<"${entries[$folder]}" | LC_ALL=C sort -r | while IFS= read -r made; do
    rmdir -- "$folder${made#.}" 2>/dev/null || true; done
done
# Folders that are there now and that the demo did not make are never recorded as its own.
declare -A found
for folder in "${own[@]}"; do
  [ ! -d "$folder" ] || [ -z "$(cd "$folder" && find . -mindepth 1 ! -type d | head -n 1)" ] \
    || refuse "$folder" "something in it was added while the demo cleared it"
  [ ! -d "$folder" ] || while IFS= read -r -d '' made; do found[$folder/$made]=1; done \
    < <(cd "$folder" && find . -type d -print0)
done
# Whatever the run ends with is the demo's own: the layout, the converted file, the logs.
list_own_files() {
  for folder in "${own[@]}"; do
    [ -d "$folder" ] || continue
    (cd "$folder" && {
       find . -mindepth 1 -type f ! -path "./$list" -print0 | sort -z | xargs -0 -r sha256sum
       find . -type d -print0 | sort -z | while IFS= read -r -d '' made; do
         [ -n "${found[$folder/$made]:-}" ] || printf 'folder  %s\n' "$made"; done
     } > "$list.new" && mv "$list.new" "$list") || true
  done
}
trap list_own_files EXIT
mkdir -p "$install" "$content/Runtime" "$demo/config"

# The companion application's install directory, as the plug-in expects to find it.
if [ -n "${GARBWRIGHT_DEMO_WINDOWS_SERVER:-}" ]; then
  # The Windows program beside its garment library, and under the name the module starts a
  # launcher that runs it under Wine, as the system's binary-format handler would.
  cp "$GARBWRIGHT_DEMO_WINDOWS_SERVER" "$install/garbwright-server-windows.exe"
  cat > "$install/Garbwright Server.exe" <<LAUNCHER
#!/bin/sh
export WINEPREFIX="${WINEPREFIX:-}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The module gives the server the null device for its streams; keep what it says.
exec wine "\$(dirname "\$0")/garbwright-server-windows.exe" "\$@" 2>>"\$(dirname "\$0")/server.log"
LAUNCHER
  chmod +x "$install/Garbwright Server.exe"
else
  cp "$build/bin/garbwright-server" "$install/Garbwright Server.exe"
fi
cp -r "$root/examples/Garments" "$install/Garments"
# Its settings: the install directory, ending with a separator, written through the same
# settings library that reads it (any character of the path survives the round trip).
XDG_CONFIG_HOME="$demo/config" "$build/bin/writesetting" Brackenmoor Tailorforge installDir "$install"
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
if [ -n "${GARBWRIGHT_DEMO_WINDOWS_SERVER:-}" ] && [ -f "$install/server.log" ]; then
  echo "== The Windows server's own log"
  cat "$install/server.log"
fi
echo "== dzhost exit status: $status"
if [ "$status" -ne 0 ]; then
  echo "== The demo failed: see the reason above (dzhost reports why the script stopped)" >&2
fi
exit "$status"
