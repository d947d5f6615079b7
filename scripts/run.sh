#!/usr/bin/env bash
# The main job: set up what it uses, build the native library and fftbench,
# then verify every entry of the plug-in, profile what each does (operation
# counts, table reads, memory traffic) and benchmark it against FFTW and
# KissFFT, and put all of it, with every entry's signal-flow graph and
# access map, on one HTML page (out/report/index.html). Tables go to the
# terminal; the CSV, JSON, the plots, the report and a summary of this
# machine's figures (out/summary.md, the form of the README's excerpt) go to
# out/. About five minutes on a fresh two-core machine: one
# to set up, one to build, three to run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh run
# The suite is not built here (scripts/test.sh builds and runs it).
configure_log=$(cmake --preset release -DFFTPLUG_BUILD_TESTS=OFF)
grep -E 'fftbench peers' <<<"$configure_log" | sed 's/^-- //' || echo "fftbench peers: not reported by configure"
cmake --build --preset release --target fftbench

mkdir -p out
fftbench=build/release/bin/fftbench
"$fftbench" list
"$fftbench" verify
"$fftbench" profile --csv out/profile.csv --json out/profile.json --plot out/profile.svg
# The README's excerpt names this command; its test reads it from here.
bench_command="build/release/bin/fftbench bench --csv out/bench.csv --json out/bench.json --plot out/bench.svg"
$bench_command | tee out/bench.txt
bash scripts/summary.sh out/bench.txt "$bench_command" >out/summary.md
# The pictures of the entries and all of the above on one page.
"$fftbench" draw --entry 8 --size 16 --svg out/graph-entry8.svg >/dev/null
"$fftbench" trace --entry 0 --size 2^18 --plot out/trace-entry0.svg >/dev/null
"$fftbench" report --out out/report
echo "Wrote out/profile.csv, out/profile.json, out/bench.csv, out/bench.json, out/bench.txt, the plots"
echo "out/profile.svg, out/bench.svg (speed), out/bench-accuracy.svg (accuracy) and out/bench-limit.svg (limit %),"
echo "and out/summary.md (this machine's figures in the form of the README's excerpt), out/graph-entry8.svg (a signal-flow"
echo "graph), out/trace-entry0.svg (an access map) and the report: open $PWD/out/report/index.html in a browser"
