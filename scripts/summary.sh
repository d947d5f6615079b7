#!/usr/bin/env bash
# Turns the output of one `fftbench bench` run into the short summary the
# README shows: the machine, the path the library took, the mflops of every
# entry and the peers at every second size, and the best entry against FFTW.
# scripts/run.sh writes it to out/summary.md; the README's excerpt is one.
#
#   scripts/summary.sh BENCH_OUTPUT COMMAND
set -euo pipefail
[ "$#" -eq 2 ] || { echo "usage: summary.sh BENCH_OUTPUT COMMAND" >&2; exit 2; }
output="$1"
command="$2"

cpu=$(sed -n 's/^cpu  *//p' "$output" | head -n 1)
echo "Measured with \`$command\` on ${cpu:-an unnamed processor}. The figures belong to that core and that"
echo "moment: \`scripts/run.sh\` writes your machine's own in this form to out/summary.md."
echo
echo '```'
grep -E '^(cpu|path|method|sizes) ' "$output"
# The plain mflops block: its heading, the column line, every second size.
awk '
  /^mflops$/ { block = 1; print ""; print; next }
  block && /^ +N / { print; next }
  block && /^ +2\^[0-9]+ / { split($1, p, "^"); if (p[2] % 2 == 0) print; next }
  block { block = 0 }
' "$output"
# The summary: best entry against FFTW, over the sizes measured.
awk '
  /^best entry/ { summary = 1; print ""; print; next }
  summary && /^  / { print; next }
  summary { summary = 0 }
' "$output"
echo '```'
