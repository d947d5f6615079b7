#!/usr/bin/env bash
# The main job: set up, build, then verify every entry of the plug-in and
# benchmark it against FFTW and KissFFT. Tables go to the terminal; the CSV,
# JSON and the plot go to out/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

mkdir -p out
bench=build/release/bin/fftbench
"$bench" list
"$bench" verify
"$bench" bench --csv out/bench.csv --json out/bench.json --plot out/bench.svg
echo "Wrote out/bench.csv, out/bench.json and the plot out/bench.svg"
