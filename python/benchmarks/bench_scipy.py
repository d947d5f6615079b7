#!/usr/bin/env python3
"""How fast the Python host is against scipy.fft.fft, on complex64 input.

Per N from 2^6 to 2^20 it times, side by side in one process (best of
--repeats rounds, each a loop long enough to time): `plugin.fft`, scipy.fft.fft
under `fftplug.scipy_backend`, the raw transform (`plugin.run` on input already
in the entry's order with a prepared table) and scipy.fft.fft itself, and prints
the first three as ratios to scipy's time (below 1: faster than scipy). Then a
batch of 64 rows of 2^12 points along the last axis, and the peak memory of one
`plugin.fft` call on 2^22 points, measured in a fresh process.

    /usr/bin/python3 python/benchmarks/bench_scipy.py [--entry 7] [--plugin PATH]
"""
import argparse
import contextlib
import platform
import subprocess
import sys
import time
from pathlib import Path

import numpy as np
import scipy.fft

try:
    import fftplug
except ImportError:  # run from the source tree without installing the package
    sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
    import fftplug


def cpu_name():
    """'model name (family F, model M)' from /proc/cpuinfo, else platform's words."""
    fields = {}
    try:
        with open("/proc/cpuinfo", encoding="utf-8", errors="replace") as info:
            for line in info:
                key, _, value = line.partition(":")
                fields.setdefault(key.strip(), value.strip())
    except OSError:
        return platform.processor() or platform.machine()
    name = fields.get("model name", platform.machine())
    return f"{name} (family {fields.get('cpu family', '?')}, model {fields.get('model', '?')})"


def signal(shape, seed=1):
    rng = np.random.default_rng(seed)
    x = np.empty(shape, dtype=np.complex64)
    x.real = rng.uniform(-1, 1, shape).astype(np.float32)
    x.imag = rng.uniform(-1, 1, shape).astype(np.float32)
    return x


def loop_count(function, context, target=2e-3, least=8):
    """How many calls of `function` take about `target` seconds, and at least
    `least`, after one untimed call: the first call of a size builds the
    plan, which would otherwise pass for the time of a call and leave the
    loop one call long. The least count spreads over several calls what the
    first call of a round pays after the other functions' rounds (the heap
    grown back, the caches refilled)."""
    with context():
        function()
    count = least
    while True:
        with context():
            start = time.perf_counter()
            for _ in range(count):
                function()
            elapsed = time.perf_counter() - start
        if elapsed >= target or count >= 1 << 20:
            return count
        count *= 2 if elapsed <= 0 else max(2, min(100, int(target / elapsed) + 1))


def best_times(functions, repeats):
    """The best seconds per call of each function, timed in rounds that take
    every function in turn, so that a disturbance hits them all alike.
    functions: name -> (function, context), the context entered around each
    timed loop."""
    counts = {name: loop_count(f, context) for name, (f, context) in functions.items()}
    best = {name: float("inf") for name in functions}
    for _ in range(repeats):
        for name, (f, context) in functions.items():
            count = counts[name]
            with context():
                start = time.perf_counter()
                for _ in range(count):
                    f()
                elapsed = time.perf_counter() - start
            best[name] = min(best[name], elapsed / count)
    return best


def raw_call(plugin, entry, x):
    """plugin.run on x already in the entry's order, the table prepared."""
    n = x.shape[0]
    table = fftplug.twiddle_table(n)
    if plugin.entries[entry].prepares_table:
        plugin.run(entry, None, None, table, 0)
    input = x if plugin.entries[entry].input_order == "natural" else fftplug.bit_reversed(x)
    work = np.empty_like(x)
    return lambda: plugin.run(entry, input, work, table, 1)


def peak_memory(plugin_path, entry, log2n):
    """Runs this script in a fresh process for one plugin.fft call on 2^log2n
    points; returns its line of figures."""
    command = [sys.executable, __file__, "--measure-memory", str(log2n), "--entry", str(entry)]
    if plugin_path:
        command += ["--plugin", plugin_path]
    return subprocess.run(command, capture_output=True, text=True, check=True).stdout.strip()


def status_kib(field):
    with open("/proc/self/status", encoding="ascii") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError(f"no {field} in /proc/self/status")


def measure_memory(args):
    """One plugin.fft call on 2^log2n points, the first in this process: its
    peak resident memory above what was resident before it (the kernel's
    high-water mark, reset just before the call), and the peak of Python's
    and numpy's allocations (tracemalloc), both relative to the input."""
    import tracemalloc

    plugin = fftplug.Plugin(args.plugin) if args.plugin else fftplug.Plugin()
    n = 1 << args.measure_memory
    x = np.empty(n, dtype=np.complex64)
    step = min(n, 1 << 16)
    rng = np.random.default_rng(1)
    for start in range(0, n, step):  # filled in pieces, to keep temporaries small
        x[start:start + step] = rng.uniform(-1, 1, step) + 1j * rng.uniform(-1, 1, step)
    with open("/proc/self/clear_refs", "w", encoding="ascii") as clear:
        clear.write("5")  # resets VmHWM to the present resident size
    before = status_kib("VmRSS")
    tracemalloc.start()
    y = plugin.fft(x, entry=args.entry)
    traced = tracemalloc.get_traced_memory()[1]
    tracemalloc.stop()
    peak = status_kib("VmHWM") - before
    input_kib = x.nbytes / 1024
    print(f"{peak / input_kib:.2f} {traced / x.nbytes:.2f} {x.nbytes >> 20} {y.nbytes >> 20}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--plugin", help="the plug-in library (default: fftplug.Plugin()'s)")
    parser.add_argument("--entry", type=int, default=7, help="the entry to time (default 7)")
    parser.add_argument("--min-log2", type=int, default=6)
    parser.add_argument("--max-log2", type=int, default=20)
    parser.add_argument("--repeats", type=int, default=7, help="rounds; each figure is the best (default 7)")
    parser.add_argument("--memory-log2", type=int, default=22, help="N of the memory measurement (default 22)")
    parser.add_argument("--measure-memory", type=int, metavar="LOG2N", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.measure_memory is not None:
        measure_memory(args)
        return

    plugin = fftplug.Plugin(args.plugin) if args.plugin else fftplug.Plugin()
    backend = fftplug.scipy_backend(args.entry, plugin)
    entry = args.entry
    print(f"CPU: {cpu_name()}; Python {platform.python_version()}, numpy {np.__version__}, "
          f"scipy {scipy.__version__}; plug-in {plugin.path}")
    print(f"entry {entry}, complex64; times as ratios to scipy.fft.fft's (best of {args.repeats})\n")
    print(f"{'N':>5}  {'scipy µs':>10}  {'plugin.fft':>10}  {'backend':>8}  {'raw':>6}")
    def under_backend():
        return scipy.fft.set_backend(backend)

    for log2n in range(args.min_log2, args.max_log2 + 1):
        x = signal(1 << log2n, seed=log2n)
        functions = {
            "scipy": (lambda: scipy.fft.fft(x), contextlib.nullcontext),
            "plugin.fft": (lambda: plugin.fft(x, entry=entry), contextlib.nullcontext),
            "backend": (lambda: scipy.fft.fft(x), under_backend),
            "raw": (raw_call(plugin, entry, x), contextlib.nullcontext),
        }
        t = best_times(functions, args.repeats)
        print(f"{'2^%d' % log2n:>5}  {t['scipy'] * 1e6:10.2f}  {t['plugin.fft'] / t['scipy']:10.2f}"
              f"  {t['backend'] / t['scipy']:8.2f}  {t['raw'] / t['scipy']:6.2f}", flush=True)

    batch = signal((64, 1 << 12), seed=99)
    t = best_times({"scipy": (lambda: scipy.fft.fft(batch), contextlib.nullcontext),
                    "backend": (lambda: scipy.fft.fft(batch), under_backend)}, 3 * args.repeats)
    print(f"\nbatch 64 × 2^12 along the last axis: scipy {t['scipy'] * 1e6:.0f} µs, "
          f"backend {t['backend'] / t['scipy']:.2f}× scipy")
    rss, traced, input_mib, output_mib = peak_memory(args.plugin, entry, args.memory_log2).split()
    print(f"peak memory of the first plugin.fft call on 2^{args.memory_log2} complex64 "
          f"({input_mib} MiB in, {output_mib} MiB out): {rss}× the input resident above what was in use "
          f"before the call, {traced}× in numpy's allocations (tracemalloc)")


if __name__ == "__main__":
    main()
