#!/usr/bin/env python3
"""A two-temperature drift run on the simulated bench, its clock sped up: the chamber
goes to 25 and 35 degC, each mode of Register.txt is measured at each, and the run
writes VzTEMPB.CSV and VzTEMPA.CSV as dmmctl drift does."""
import argparse
import pathlib
import tempfile

import dmmbench

# Two modes: the converter's setup, the input voltage the calibrator gives each.
STEP_FILES = {
    "Register.txt": "  3C  3E  24\r\n  84  10  30\r\n  94  10  30\r\n",
    "Delay.txt": "     1\r\n     1\r\n",
    "ACM.txt": "   1.2\r\n   1.2\r\n",
    "Fluke.txt": "   1OUT 100 mV ,0 Hz\r\n   1OUT 200 mV ,0 Hz\r\n",
}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--dir", help="bench directory (default: a fresh temporary one)")
    parser.add_argument("--sim-speed", type=float, default=1000)
    parser.add_argument("--soak-min", type=int, default=1)
    args = parser.parse_args()
    directory = pathlib.Path(args.dir or tempfile.mkdtemp(prefix="dmmbench-"))
    directory.mkdir(parents=True, exist_ok=True)
    for name, text in STEP_FILES.items():
        (directory / name).write_bytes(text.encode())
    with dmmbench.open(sim=True, dir=directory, sim_speed=args.sim_speed) as bench:
        run = bench.drift(count=2, start=25, step=10, soak_min=args.soak_min,
                          on_progress=lambda p: print(p.text))
    print(run.outcome)
    for path in run.files:
        print(path)
        print(pathlib.Path(path).read_text(errors="replace"))


if __name__ == "__main__":
    main()
