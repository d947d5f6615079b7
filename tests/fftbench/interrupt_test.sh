#!/usr/bin/env bash
# Ctrl-C in the middle of `fftbench bench`: the run stops after the current
# measurement, prints and writes what it measured, and exits with 130.
#   interrupt_test.sh <fftbench> <scratch folder>
set -u
fftbench=$1
dir=$2
rm -rf "$dir" && mkdir -p "$dir"

"$fftbench" bench --sizes 2^2..2^20 --min-time 20 --measurements 3 --no-rates \
  --csv "$dir/bench.csv" --json "$dir/bench.json" >"$dir/stdout.txt" 2>"$dir/stderr.txt" &
pid=$!
# Wait for the first rows of the table to be measured (the CSV is only
# written at the end, so watch the clock instead): the first size's cells
# take about two seconds on a busy machine, the whole run well over half a
# minute, so five seconds falls inside it on a fast machine and a slow one.
sleep 5
kill -INT "$pid"
wait "$pid"
status=$?

fail() {
  echo "interrupt_test: $*" >&2
  echo "--- stdout ---" >&2; cat "$dir/stdout.txt" >&2
  echo "--- stderr ---" >&2; cat "$dir/stderr.txt" >&2
  exit 1
}

[ "$status" -eq 130 ] || fail "exit status $status, expected 130"
grep -q "stopping after the current measurement" "$dir/stderr.txt" || fail "no notice on stderr"
grep -q "^interrupted   yes" "$dir/stdout.txt" || fail "the table does not say it was interrupted"
grep -q '"interrupted": true' "$dir/bench.json" || fail "the JSON does not say it was interrupted"
rows=$(($(wc -l <"$dir/bench.csv") - 1))
[ "$rows" -ge 1 ] || fail "no measurements kept"
# 10 entries and up to 2 peers at 19 sizes: an interrupted run has fewer.
[ "$rows" -lt 190 ] || fail "$rows rows: the run was not cut short"
echo "interrupt_test: stopped with $rows cells measured"
