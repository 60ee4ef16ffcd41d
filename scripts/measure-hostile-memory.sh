#!/usr/bin/env bash
# How far a misbehaving peer can grow the host: the peak memory of dzhost after CALLS
# conversions (default 20) against a peer on the server's port that answers every
# conversion with a reply one byte under the client's cap, less the peak after one such
# conversion, per call. Runs in a network namespace of its own with only loopback up, so
# the peer's port is nobody else's. docs/performance.md keeps the figure.
# Usage: measure-hostile-memory.sh [BUILD_DIR [CALLS]]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
calls="${2:-20}"

if [ -z "${GARBWRIGHT_OWN_NETWORK:-}" ]; then
  exec env GARBWRIGHT_OWN_NETWORK=1 unshare -n \
    bash -c 'ip link set lo up && exec bash "$0" "$@"' "${BASH_SOURCE[0]}" "$build" "$calls"
fi

bash "$root/scripts/setup.sh" demo python3 time
# The cap and the port as the client has them (the cap as written, e.g. "64u * 1024u").
protocol="$(find "$root" -name protocol.h -not -path "$root/build*" | head -n 1)"
cap=$(( $(sed -n 's/.*maxReplyBytes = \(.*\);/\1/p' "$protocol" | tr -d u) ))
port=$(sed -n 's/.*serverPort = \([0-9]*\);/\1/p' "$protocol")

work="$(mktemp -d)"
peer_pid=""
cleanup() {
  [ -z "$peer_pid" ] || kill "$peer_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/content/Runtime" "$work/content/Scripts"
cat > "$work/content/Scripts/hostile.dsa" <<'SCRIPT'
var calls = parseInt(getScriptArguments()[0]);
var pliant = new BMPliantClothing();
for (var i = 0; i < calls; ++i)
    pliant.processPliantClothing("Brackenmoor", "Summer Dress", getScriptFileName());
SCRIPT

# Answers probes like the server and every other request with a character-file path
# that is one byte under the cap, so that it passes every check and is logged wherever a
# real path is. Every wait is bounded; it ends when this script does.
python3 - "$port" "$cap" <<'PEER' &
import socket, sys
port, cap = int(sys.argv[1]), int(sys.argv[2])
reply = b"Runtime:" + b"a" * (cap - 1 - len(b"Runtime:.cr2\n")) + b".cr2\n"
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", port))
listener.listen(8)
listener.settimeout(120)
while True:
    connection, _ = listener.accept()
    connection.settimeout(10)
    try:
        request = b""
        while not request.endswith(b"\n"):
            chunk = connection.recv(4096)
            if not chunk:
                break
            request += chunk
        if request:
            connection.sendall(b"ready\n" if request == b"test\n" else reply)
            connection.shutdown(socket.SHUT_WR)
            while connection.recv(4096):
                pass
    except OSError:
        pass  # a client that went away; the next one is served
    connection.close()
PEER
peer_pid=$!
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done

# Peak resident memory in KiB of one host run making $1 hostile conversions.
peak_kib() {
  /usr/bin/time -f '%M' -o "$work/peak" "$build/bin/dzhost" --content "$work/content" \
    --scene "$root/examples/demo-scene.json" --dialogs accept --log "$work/host.log" \
    "$work/content/Scripts/hostile.dsa" "$1" >/dev/null
  cat "$work/peak"
}

one=$(peak_kib 1)
many=$(peak_kib $((calls + 1)))
lines=$(wc -l < "$work/host.log")
bytes=$(wc -c < "$work/host.log")
echo "reply: $((cap - 1)) bytes (cap $cap)"
echo "peak RSS after 1 hostile conversion: $one KiB"
echo "peak RSS after $((calls + 1)) hostile conversions: $many KiB"
echo "host log of the longer run: $lines lines, $bytes bytes"
echo "growth per hostile conversion: $(( (many - one) / calls )) KiB"
