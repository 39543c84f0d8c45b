#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time, starting from its seed corpus.
# A finding makes the fuzzer (and this script) fail and leaves the crashing input in
# the build directory.
set -euo pipefail
build_dir=${1:-build/fuzz}
seconds=${FUZZ_SECONDS:-20}
shopt -s nullglob
found=0
for fuzzer in "$build_dir"/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus="$build_dir/corpus/$name"
  mkdir -p "$corpus"
  seeds="fuzz/seeds/${name#fuzz_}"
  echo "== $name (${seconds}s)"
  args=(-max_total_time="$seconds" -max_len=8192 -artifact_prefix="$build_dir/$name-" "$corpus")
  [ -d "$seeds" ] && args+=("$seeds")
  "$fuzzer" "${args[@]}" 2>&1 | tail -n 3
  found=1
done
[ "$found" -eq 1 ] || echo "no fuzz targets built"
