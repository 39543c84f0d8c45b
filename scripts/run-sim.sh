#!/usr/bin/env bash
# Starts dmmbench on the simulated bench with a bench directory under the build tree.
# Without a display it says so and runs a short headless demo with dmmctl instead.
set -euo pipefail
build_dir=${1:-build/run}
bench_dir=${2:-$build_dir/bench-dir}

mkdir -p "$bench_dir"
# The bench directory starts as a copy of the shipped data; later runs keep their files.
if [ -d data ]; then
  cp -rn data/. "$bench_dir"/ 2>/dev/null || true
fi

gui="$build_dir/gui/dmmbench"
ctl="$build_dir/cli/dmmctl"

if [ -x "$gui" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ "${QT_QPA_PLATFORM:-}" = offscreen ]; }; then
  exec "$gui" --sim --dir "$bench_dir"
fi

if [ -x "$gui" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are empty): dmmbench needs a desktop session."
  echo "Try 'xvfb-run make run' for a virtual display. Running a headless demo with dmmctl instead:"
else
  echo "dmmbench is not built; running a headless demo with dmmctl:"
fi
echo
set -x
"$ctl" --sim --dir "$bench_dir" scan
"$ctl" --sim --dir "$bench_dir" --trace reg 0x2A 0x5A
"$ctl" --sim --dir "$bench_dir" chips load 0
"$ctl" --sim --dir "$bench_dir" field ENAD_S 1 field S_AD1RL 2 capture --points 256 --scale 20
