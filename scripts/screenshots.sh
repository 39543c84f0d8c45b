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
# The switch network in a comparator mode with the comparator high (SENSE above VDSC<10>).
shot mpn-panel.png --window-only --show TMPN --trigger USBScan,Menu_ReadRAM \
  --field EN_CMP=1,S_CMPRH=3,S_CMPRL=3,SMODE=14,SFUVR=11,PS2=1,DS5=1,FS5=1,SS0=1,ACC=5 \
  --trigger-after Menu_ReadRAM
shot op-panel.png --window-only --show TOP --trigger USBScan,Menu_ReadRAM \
  --field EN_OP1=1,OPS1=1,S_OP1P=1,EN_REFO=1,EN_BIAS=1,ENVS=1,OPCHP=1
shot clk-panel.png --window-only --show TDMMADCCLKA --trigger USBScan,Menu_ReadRAM --field FCLK_SEL=1
# The 500nF range measuring the simulated 220 nF capacitor.
shot counter-panel.png --window-only --show TProCounterA --trigger USBScan,Menu_ReadRAM \
  --click TProCounterA/P500nF,TProCounterA/BBG --delay-ms 3500
# The setup dialog with the simulated calibrator, power supply and chamber identified.
shot setup-dialog.png --window-only --show TOption --trigger USBScan,SMenu_Option \
  --click TOption/FlukeCOM=1,TOption/FlukeSelect,TOption/PowerCOM=2,TOption/PowerSelect,TOption/ChamberCOM=3,TOption/ChamberSelect \
  --delay-ms 5000
# The calibrator's COM selector open: the simulated bench's ports, who holds them, the
# indexes with nothing behind them greyed.
shot setup-com-selector.png --window-only --show TOption --trigger USBScan,SMenu_Option \
  --click TOption/FlukeCOM=1,TOption/FlukeSelect,TOption/FlukeCOM=1,TOption/FlukeCOM=1,TOption/FlukeCOM=popup \
  --delay-ms 1500
shot register-panel.png --window-only --show TVz_Reg2 --trigger USBScan,Menu_ReadRAM
shot ram-panel.png --window-only --show TVz_RAM --trigger USBScan,Menu_ReadRAM
# ADC1 converting (references apart, fastest oversampling), 256 samples, the chart shown.
shot analysis-window.png --window-only --show TAnxADC --trigger USBScan \
  --field ENAD_S=1,S_AD1RL=2,AD1OSR=0 --click TAnxADC/ShowChart,TAnxADC/CatchADC1 --delay-ms 4000
# The same converter, 4096 samples at every conversion, as a histogram with its Gaussian.
shot analysis-histogram.png --window-only --show TAnxADC --trigger USBScan \
  --field ENAD_S=1,S_AD1RL=2,AD1OSR=0 \
  --click TAnxADC/NPointIndex=6,TAnxADC/ENInterrupt,TAnxADC/CatchADC1,TAnxADC/ShowHistogram \
  --delay-ms 10000
# A 0.5 V, 50 Hz tone with -60/-70/-80 dBc harmonics on SENSE (the simulated source put
# straight on the input node), 2048 samples through the Blackman-Harris window.
shot analysis-tone.png --window-only --show TAnxADC --trigger USBScan \
  --sim-tone 0.5,50 --sim-harmonics -60,-70,-80 --field ENAD_S=1,S_AD1RL=2,AD1OSR=0,S_AD1IN=3 \
  --click TAnxADC/NPointIndex=5,TAnxADC/ENInterrupt,TAnxADC/ShowChart,TAnxADC/FTChange,TAnxADC/SpectrumWindow=2,TAnxADC/CatchADC1 \
  --delay-ms 7000
# ADC1 converting against VREF - FB, chopped: "AUTO" measures the simulated divider resistors.
shot resistor-calibration.png --window-only --show TRESCALA --trigger USBScan,Menu_ReadRAM,Menu_INTF \
  --field ENAD_S=1,S_AD1RH=2,S_AD1RL=0,AD1CHO=1,AD1OSR=2 --click TRESCALA/PAUTO --delay-ms 6000
# The "5K" range calibrated against the simulated 10 kΩ resistor (--sim-rx chooses another).
shot resistance-measure.png --window-only --show TDMMResister \
  --trigger USBScan,Menu_ReadRAM,Menu_INTF --field ENAD_S=1,S_AD1RH=2,S_AD1RL=0,AD1CHO=1,AD1OSR=2 \
  --click TDMMResister/B1K,TDMMResister/BC5K --delay-ms 5000
# A set saved from the chip's registers, selected, and its gain taken from SENSE - AGND.
shot calibration-sets.png --window-only --show TSETDMM --trigger USBScan,Menu_ReadRAM,SETDMM1 \
  --field ENAD_S=1,S_AD1RH=2,S_AD1RL=0,AD1CHO=1,AD1OSR=2,S_AD1IN=3 \
  --click TSETDMM/Button1,TSETDMM/Panel1,TSETDMM/BSave --delay-ms 5000
# The channel switch test after a run on the simulated RX405 (Special link): channels 1 to 3
# on inputs AIN1, AIN4 and AIN6, 8 samples a step, 4 loops, from a step table of its own.
switch_dir=$(mktemp -d)
trap 'rm -rf "$bench_dir" "$switch_dir"' EXIT
{
  printf '   3   2\r\n   1   1   1   0   0   0   0   0\r\n'
  printf '  49  50  55  60  61  62  63  64  48  73  52\r\n'
  for pin in 1 4 6 0 0 0 0 0; do
    printf '   0   0%4d   0   0   0   0   0   0   0   0\r\n' "$pin"
  done
  printf '   0\r\n'
} >"$switch_dir/StepADC.txt"
"$gui" --sim-chip RX405 --kind special --dir "$switch_dir" --screenshot "$out/switch-test.png" \
  --window-only --show TWeightCAL --trigger USBScan --click TWeightCAL/TestBegin \
  --delay-ms 9000 2>/dev/null
echo "wrote $out/switch-test.png"
# The six simulated meters, each at its own scan period (100 ms .. 5 s), after 5.6 s of reading.
shot meter-window.png --window-only --show TMeter --click TMeter/RDandStop --delay-ms 5600
# The temperature drift test after a simulated run with the chamber (clock 100 times
# faster): the calibrator and the chamber identified in Setup, 15, 25 and 35 degC,
# 2-minute soaks, ADC1 on the calibrator's 100 mV and 200 mV; the plot shows each mode's
# drift against the first temperature.
drift_dir=$(mktemp -d)
trap 'rm -rf "$bench_dir" "$switch_dir" "$drift_dir"' EXIT
printf '  3C  3E  24\r\n  84  10  30\r\n  94  10  30\r\n' >"$drift_dir/Register.txt"
printf '     1\r\n     1\r\n' >"$drift_dir/Delay.txt"
printf '   1.2\r\n   1.2\r\n' >"$drift_dir/ACM.txt"
printf '   1OUT 100 mV ,0 Hz\r\n   1OUT 200 mV ,0 Hz\r\n' >"$drift_dir/Fluke.txt"
"$gui" --sim --sim-speed 100 --dir "$drift_dir" --screenshot "$out/temperature-test.png" \
  --window-only --show TTMP --trigger USBScan,Regist,DownloadReg1,DownLoadFluke1,DownloadPower1 \
  --click TOption/FlukeCOM=1,TOption/FlukeSelect,TOption/ChamberCOM=3,TOption/ChamberSelect,TTMP/ETempCount=3,TTMP/ETMPBG=15,TTMP/ETMPScale=10,TTMP/Edit2=2,TTMP/PlotFigure=2,TTMP/TMPCNTSET,TTMP/TBg \
  --delay-ms 30000 2>/dev/null
echo "wrote $out/temperature-test.png"
