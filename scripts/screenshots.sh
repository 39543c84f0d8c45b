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

shot() {  # shot FILE WINDOWS MENU-ITEMS
  "$gui" --sim --dir "$bench_dir" --screenshot "$out/$1" --show "$2" --trigger "$3" --delay-ms 1500 2>/dev/null
  echo "wrote $out/$1"
}

shot_window() {  # shot_window FILE WINDOW MENU-ITEMS: the one tool window in its frame
  "$gui" --sim --dir "$bench_dir" --screenshot "$out/$1" --show "$2" --trigger "$3" --delay-ms 1500 \
    --window-only 2>/dev/null
  echo "wrote $out/$1"
}

shot main-window.png "TVz_RAM,TVz_Reg2,TADS" "USBScan,Menu_ReadRAM,Menu_INTF"
shot_window ads-panel.png "TADS" "USBScan,Menu_ReadRAM"
shot_window adf-panel.png "TADF" "USBScan,Menu_ReadRAM"
shot_window register-panel.png "TVz_Reg2" "USBScan,Menu_ReadRAM"
shot_window ram-panel.png "TVz_RAM" "USBScan,Menu_ReadRAM"
