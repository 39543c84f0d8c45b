#!/usr/bin/env bash
# Regenerates the pictures in docs/screenshots/ from the simulated bench, offscreen.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default build/run; run 'make build-run' first)
set -euo pipefail
build_dir=${1:-build/run}
gui="$build_dir/gui/dmmbench"
out=docs/screenshots
[ -x "$gui" ] || { echo "build dmmbench first (make build-run)"; exit 1; }
mkdir -p "$out"
bench_dir=$(mktemp -d)
trap 'rm -rf "$bench_dir"' EXIT
export QT_QPA_PLATFORM=offscreen QT_QPA_OFFSCREEN_NO_GLX=1

# shot FILE [dmmbench picture options...]: one picture of the simulated bench.
shot() {
  local file=$1
  shift
  "$gui" --sim --dir "$bench_dir" --screenshot "$out/$file" "$@" 2>/dev/null
  echo "wrote $out/$file"
}

shot main-window.png --show TVz_RAM,TVz_Reg2,TADS --trigger USBScan,Menu_ReadRAM,Menu_INTF
shot ads-panel.png --window-only --show TADS --trigger USBScan,Menu_ReadRAM
shot adf-panel.png --window-only --show TADF --trigger USBScan,Menu_ReadRAM
shot register-panel.png --window-only --show TVz_Reg2 --trigger USBScan,Menu_ReadRAM
shot ram-panel.png --window-only --show TVz_RAM --trigger USBScan,Menu_ReadRAM
# ADC1 converting (references apart, fastest oversampling), 256 samples, the chart shown.
shot analysis-window.png --window-only --show TAnxADC --trigger USBScan \
  --field ENAD_S=1,S_AD1RL=2,AD1OSR=0 --click TAnxADC/ShowChart,TAnxADC/CatchADC1 --delay-ms 4000
# The six simulated meters, each at its own scan period (100 ms .. 5 s), after 5.6 s of reading.
shot meter-window.png --window-only --show TMeter --click TMeter/RDandStop --delay-ms 5600
