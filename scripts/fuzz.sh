#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang in build-fuzz/ and runs each for N
# seconds (first argument, default 5) on a copy of its seed corpus. Exits non-zero when a
# target finds a crash; the input that crashed is kept as build-fuzz/artifacts/<target>-*.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
seconds="${1:-5}"
targets=(fuzz_conversionreply fuzz_logging fuzz_request fuzz_contentfolder)

# The fuzzers need clang and its libFuzzer runtime.
bash "$root/scripts/setup.sh" demo clang libclang-rt-14-dev

cmake -S "$root" --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target garbwright_fuzzers

# The corpus copies and the crash artifacts live in the build folder; the seeds in the
# source tree stay as they are. The content folder target remakes a small folder tree on
# every run, which is a hundred times faster in memory than on disk.
work="$build/run"
rm -rf "$work"
mkdir -p "$work" "$build/artifacts"
trees="$(mktemp -d /dev/shm/garbwright-fuzz.XXXXXX 2>/dev/null || mktemp -d "$work/tmp.XXXXXX")"
trap 'rm -rf "$trees"' EXIT
failed=()
for target in "${targets[@]}"; do
  cp -r "$root/fuzz/corpus/$target" "$work/$target"
  echo "== $target: ${seconds}s"
  if ! TMPDIR="$trees" "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
      -dict="$root/fuzz/dict/$target.dict" -artifact_prefix="$build/artifacts/$target-" \
      "$work/$target" >"$work/$target.log" 2>&1; then
    failed+=("$target")
    tail -n 40 "$work/$target.log"
  fi
  grep -E '^(#[0-9]+\s+DONE|Done [0-9]+ runs)' "$work/$target.log" || true
done

echo "fuzzing: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
  echo "crashes in: ${failed[*]} (inputs in $build/artifacts/)" >&2
  exit 1
fi
