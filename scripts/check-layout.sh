#!/usr/bin/env bash
# Checks the dependency rules of the layout (docs/architecture.md) on a configured build
# folder (default build/): in the target graph of `cmake --graphviz`, the core's targets
# reach neither Qt nor the host SDK, and the module's reach no stand-in control; and no
# compile line has an include path at the repository root. Writes the graph to
# BUILD/dependencies.dot.
# Usage: check-layout.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"

(cd "$build" && cmake --graphviz=dependencies.dot . >/dev/null)

python3 - "$build/dependencies.dot" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
names = dict(re.findall(r'"(node\d+)" \[ label = "([^"]+)"', text))
edges = {}
for a, b in re.findall(r'"(node\d+)" -> "(node\d+)"', text):
    edges.setdefault(names[a], set()).add(names[b])
core = ["garbwright_protocol", "orvlogging", "garbwright_server_link", "garbwright_replyrules"]
# The module sees only the host SDK's own headers, never the stand-in's controls.
module = ["garbwright", "garbwright_plugin", "garbwright_clothing", "garbwright_hostlog"]


def reached(target):
    seen, todo = set(), [target]
    while todo:
        for nxt in edges.get(todo.pop(), ()):
            if nxt not in seen:
                seen.add(nxt)
                todo.append(nxt)
    return seen


failed = False
for target in core:
    seen = reached(target)
    bound = sorted(n for n in seen if n.startswith("Qt") or n == "dzcore")
    print(f"{target}: depends on {', '.join(sorted(seen)) or 'nothing'}")
    if bound:
        print(f"  FAULT: {target} reaches {', '.join(bound)}")
        failed = True
for target in module:
    if target in names.values() and "dzcore_control" in reached(target):
        print(f"  FAULT: the module's {target} reaches the stand-in's controls, dzcore_control")
        failed = True
sys.exit(1 if failed else 0)
PY

if grep -E -- "(-I|-isystem )$root( |\$)" "$build/build.ninja" >/dev/null; then
  echo "FAULT: a target includes from the repository root $root:" >&2
  grep -E -o -- "(-I|-isystem )$root( |\$)" "$build/build.ninja" | sort -u >&2
  exit 1
fi
echo "layout: the core reaches neither Qt nor the host SDK, the module no stand-in control; no include path at the repository root"
