#!/usr/bin/env bash
# The main job: set up, build, then verify every entry of the plug-in,
# profile what each does (operation counts, table reads, memory traffic) and
# benchmark it against FFTW and KissFFT. Tables go to the terminal; the CSV,
# JSON and the plots go to out/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

mkdir -p out
bench=build/release/bin/fftbench
"$bench" list
"$bench" verify
"$bench" profile --csv out/profile.csv --json out/profile.json --plot out/profile.svg
"$bench" bench --csv out/bench.csv --json out/bench.json --plot out/bench.svg
echo "Wrote out/profile.csv, out/profile.json, out/bench.csv, out/bench.json and the plots out/profile.svg,"
echo "out/bench.svg (speed) and out/bench-accuracy.svg (accuracy)"
