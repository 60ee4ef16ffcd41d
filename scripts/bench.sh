#!/usr/bin/env bash
# Builds the benchmarks (Release, in build-bench/ or the folder named by
# GARBWRIGHT_BENCH_BUILD_DIR) and runs them. Each one times the module next to its
# baseline in the same run and ends with a summary of the ratios (docs/performance.md).
# Arguments go to every benchmark program; without any, each figure is the median of five
# repetitions. The conversion benchmark uses the server's fixed port 12345: do not run it
# beside the tests or a running server.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${GARBWRIGHT_BENCH_BUILD_DIR:-$root/build-bench}"

# The bench group holds Google Benchmark and spdlog, the logging benchmark's baseline.
bash "$root/scripts/setup.sh" bench

cmake -S "$root" --preset bench -B "$build" >/dev/null
cmake --build "$build" -j2 --target garbwright_benches

if [ $# -eq 0 ]; then
  set -- --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
fi

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
for program in logging_bench socketclient_bench conversion_bench objects_bench; do
  echo
  echo "== $program"
  "$build/bin/$program" "$@"
done
