#!/usr/bin/env bash
# Runs every benchmark program of a build: scripts/run-benchmarks.sh BUILD_DIR
set -euo pipefail
build_dir=${1:-build/run}
found=0
for program in "$build_dir"/bench/bench_*; do
  [ -x "$program" ] || continue
  found=1
  echo "== $(basename "$program")"
  "$program"
done
if [ "$found" -eq 0 ]; then
  echo "no benchmark programs in $build_dir/bench" >&2
  exit 1
fi
