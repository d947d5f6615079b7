#!/usr/bin/env python3
"""Every entry's relative RMS error against numpy.fft (double precision) for
N = 2 ... 2^20, printed as a table and, with --plot and matplotlib, plotted.

    /usr/bin/python3 examples/compare.py [--plugin PATH] [--max-log2 20] [--plot out/compare.svg]
"""
import argparse
import sys
from pathlib import Path

import numpy as np

try:
    import fftplug
except ImportError:  # run from the source tree without installing the package
    sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "python"))
    import fftplug


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--plugin", help="the plug-in library (default: $FFTPLUG_PLUGIN or the built libfftplug)")
    parser.add_argument("--max-log2", type=int, default=20, help="largest N as a power of two (default 20)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the random signals")
    parser.add_argument("--plot", metavar="FILE", help="also plot the errors into FILE (needs matplotlib)")
    args = parser.parse_args()
    if not 1 <= args.max_log2 <= 24:
        parser.error("--max-log2 must be from 1 to 24")
    if args.plot:
        try:
            import matplotlib
            matplotlib.use("Agg")
            import matplotlib.pyplot as plt
        except ImportError:
            parser.error("--plot needs matplotlib (Debian: apt-get install python3-matplotlib)")

    try:
        plugin = fftplug.Plugin(args.plugin)
    except fftplug.PluginLoadError as error:
        sys.exit(f"compare.py: {error}")
    entries = plugin.entries
    sizes = [1 << b for b in range(1, args.max_log2 + 1)]
    rng = np.random.default_rng(args.seed)
    errors = np.empty((len(sizes), len(entries)))
    for row, n in enumerate(sizes):
        x = (rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)).astype(np.complex64)
        reference = np.fft.fft(x.astype(np.complex128))
        norm = np.linalg.norm(reference)
        for e in entries:
            errors[row, e.index] = np.linalg.norm(plugin.fft(x, entry=e) - reference) / norm

    print(f"relative RMS error against numpy.fft, {plugin.path}")
    print("N      " + "".join(f"{e.index:>10}" for e in entries) + "     bound")
    for row, n in enumerate(sizes):
        cells = "".join(f"{v:10.2e}" for v in errors[row])
        print(f"2^{row + 1:<5}{cells}{fftplug.error_bound(n):10.2e}")
    print("worst  " + "".join(f"{v:10.2e}" for v in errors.max(axis=0)))

    if args.plot:
        figure, axes = plt.subplots(figsize=(9, 5.5))
        log2n = np.arange(1, args.max_log2 + 1)
        for e in entries:
            axes.plot(log2n, errors[:, e.index], marker="o", markersize=3, label=f"{e.index}")
        axes.plot(log2n, [fftplug.error_bound(n) for n in sizes], "k:", label="bound of fftbench verify")
        axes.set_yscale("log")
        ticks = log2n[::2] if len(log2n) > 10 else log2n
        axes.set_xticks(ticks, [f"$2^{{{k}}}$" for k in ticks])
        axes.set_xlabel("N")
        axes.set_ylabel("relative RMS error against numpy.fft")
        axes.set_title("fftplug entries in single precision")
        axes.legend(title="entry", ncol=2, fontsize="small")
        axes.grid(True, which="both", alpha=0.3)
        figure.tight_layout()
        figure.savefig(args.plot)
        print(f"plot: {args.plot}")


if __name__ == "__main__":
    main()
