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
"$ctl" --sim scan
"$ctl" --sim --trace reg 0x12 0x5A
"$ctl" --sim write 0x20 0x11 0x22 0x33 read 0x20 3
