#!/usr/bin/env python3
"""A tone from the simulated calibrator measured by ADC1: the calibrator puts out
100 mV at 50 Hz, the capture's spectrum figures say what arrived."""
import argparse
import tempfile

import dmmbench


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--dir", help="bench directory (default: a fresh temporary one)")
    # Faster bench clocks let the board's stream fall behind the converter, and the
    # spectrum's figures are then withheld.
    parser.add_argument("--sim-speed", type=float, default=1)
    args = parser.parse_args()
    directory = args.dir or tempfile.mkdtemp(prefix="dmmbench-")
    with dmmbench.open(sim=True, dir=directory, sim_speed=args.sim_speed,
                       sim_harmonics="-60,-70") as bench:
        print(bench.calibrator.send("OUT 100 mV ,50 Hz"))
        print(bench.calibrator.send("OPER"))
        # ADC1 on, its input on the meter input the calibrator drives.
        for name, value in (("ENAD_S", 1), ("S_AD1RL", 2), ("S_AD1IN", 3)):
            bench.fields[name] = value
        block = bench.capture(points=4096, window="bh4")
        bench.calibrator.send("STBY")
    for name in ("Fundamental (Hz)", "Fundamental (dBFS)", "SNR (dB)", "THD (dBc)",
                 "SFDR (dBc)", "H2 (dBc)", "H3 (dBc)"):
        value = block.figures.get(name)
        shown = f"{value:10.2f}" if value is not None else block.withheld.get(name, "----")
        print(f"{name:<20} {shown}")
    print(f"{len(block.samples)} samples, peak to peak {block.samples.ptp():.0f} counts")


if __name__ == "__main__":
    main()
