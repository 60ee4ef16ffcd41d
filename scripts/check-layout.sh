#!/usr/bin/env bash
# Checks the dependency rules of the layout (docs/architecture.md) on a configured build
# folder (default build/): the core's targets reach neither Qt nor the host SDK in the
# target graph of `cmake --graphviz`, and no compile line has an include path at the
# repository root. Writes the graph to BUILD/dependencies.dot.
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
failed = False
for target in core:
    seen, todo = set(), [target]
    while todo:
        for nxt in edges.get(todo.pop(), ()):
            if nxt not in seen:
                seen.add(nxt)
                todo.append(nxt)
    bound = sorted(n for n in seen if n.startswith("Qt") or n == "dzcore")
    print(f"{target}: depends on {', '.join(sorted(seen)) or 'nothing'}")
    if bound:
        print(f"  FAULT: {target} reaches {', '.join(bound)}")
        failed = True
sys.exit(1 if failed else 0)
PY

if grep -E -- "(-I|-isystem )$root( |\$)" "$build/build.ninja" >/dev/null; then
  echo "FAULT: a target includes from the repository root $root:" >&2
  grep -E -o -- "(-I|-isystem )$root( |\$)" "$build/build.ninja" | sort -u >&2
  exit 1
fi
echo "layout: the core reaches neither Qt nor the host SDK; no include path at the repository root"
