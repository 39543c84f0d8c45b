#!/usr/bin/env python3
"""Noise against oversampling on the simulated bench: one capture per AD1OSR setting,
a table of the output rate, the noise and the effective resolution; with matplotlib,
the same as a plot (noise_sweep.png)."""
import argparse
import tempfile

import dmmbench


def sweep(bench, points):
    # ADC1 on, its input shorted (SENSE - SENSE): what is left is the converter's noise.
    # Its reference from FB to VREF: with both ends on FB (the reset state) the reference is
    # nothing and every sample sits at full scale.
    bench.fields["ENAD_S"] = 1
    bench.fields["S_AD1RL"] = 2
    rows = []
    for osr in range(8):
        bench.fields["AD1OSR"] = osr
        figures = bench.capture(points=points, scale=24).figures
        rows.append((osr, figures["Output rate (Hz)"], figures["Noise (uV rms)"],
                     figures["ENOB IEEE 1241"]))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--dir", help="bench directory (default: a fresh temporary one)")
    parser.add_argument("--points", type=int, default=1024)
    parser.add_argument("--sim-speed", type=float, default=100)
    parser.add_argument("--plot", default="noise_sweep.png", help="where the plot goes")
    args = parser.parse_args()
    directory = args.dir or tempfile.mkdtemp(prefix="dmmbench-")
    with dmmbench.open(sim=True, dir=directory, sim_speed=args.sim_speed) as bench:
        rows = sweep(bench, args.points)
    print(f"{'AD1OSR':>6} {'rate (Hz)':>10} {'noise (uV rms)':>15} {'ENOB':>7}")
    for osr, rate, noise, enob in rows:
        print(f"{osr:>6} {rate:>10.1f} {noise:>15.3f} {enob:>7.2f}")
    try:
        import matplotlib
    except ImportError:
        return
    matplotlib.use("Agg")  # a file, with or without a display
    import matplotlib.pyplot as plt
    figure, axis = plt.subplots()
    axis.semilogx([r[1] for r in rows], [r[2] for r in rows], "o-")
    axis.set_xlabel("output rate (Hz)")
    axis.set_ylabel("noise (uV rms)")
    axis.set_title("ADC1 noise against oversampling")
    figure.savefig(args.plot)
    print(f"plot: {args.plot}")


if __name__ == "__main__":
    main()
