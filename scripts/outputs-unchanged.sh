#!/usr/bin/env bash
# Every output of fftbench, from a fixed-seed run of every command, kept in a
# folder and compared with a later build's: what a reorganisation of the
# code must leave as it was.
#
#   scripts/outputs-unchanged.sh capture DIR [BUILD]   # run every command, keep the outputs in DIR
#   scripts/outputs-unchanged.sh compare DIR [BUILD]   # run them again and diff against DIR
#
# BUILD is a build folder (default build/release). The runs are short (bench
# without the rates' sweep but once, --min-time 0.1, one measurement, sizes
# 2^2..2^8). What depends on time or on the day is masked before the
# comparison: in the outputs of bench and report every number (the column
# padding squeezed with it), the date, and the temporary folder. gnuplot is
# replaced by a stand-in that keeps the script it is given (the plots'
# script is fftbench's output; gnuplot's drawing of it is gnuplot's) and
# writes a fixed picture.
set -euo pipefail

mode=${1:-}
keep=${2:-}
build=${3:-build/release}
if [[ ( $mode != capture && $mode != compare ) || -z $keep ]]; then
  echo "usage: $0 capture|compare DIR [BUILD]" >&2
  exit 2
fi
cd "$(dirname "$0")/.."
bin=$(cd "$build/bin" && pwd)
fftbench=$bin/fftbench
[[ -x $fftbench ]] || { echo "$0: no fftbench at $fftbench (build first)" >&2; exit 2; }

work=$(mktemp -d /tmp/outputs-unchanged.XXXXXX)
trap 'rm -rf "$work"' EXIT
raw=$work/raw
mkdir -p "$raw/files" "$raw/plots"

# The stand-in for gnuplot: keeps the script under the name of the file it
# draws, and draws a fixed picture there.
cat >"$work/gnuplot" <<'EOF'
#!/usr/bin/env bash
script=$(cat)
output=$(sed -n "s/^set output '\(.*\)'$/\1/p" <<<"$script" | head -1)
printf '%s\n' "$script" >"$PLOTS/$(tr / _ <<<"$output").gp"
printf '<?xml version="1.0"?>\n<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"><rect width="10" height="10"/></svg>\n' >"$output"
EOF
chmod +x "$work/gnuplot"
export FFTBENCH_GNUPLOT=$work/gnuplot PLOTS=$raw/plots

# run NAME ARGS...: stdout, stderr and the exit status of one command.
run() {
  local name=$1
  shift
  local status=0
  (cd "$raw/files" && "$fftbench" "$@" >"$raw/$name.out" 2>"$raw/$name.err") || status=$?
  echo "$status" >"$raw/$name.status"
}

short="--min-time 0.1 --measurements 1 --sizes 2^2..2^8 --seed 7"
run help --help
for command in list verify bench profile draw trace report; do run "help-$command" "$command" --help; done
run list list
run verify verify --sizes 2^0..2^12 --seed 5
run verify-verbose verify --entries 0,4,9 --sizes 2^0..2^6 -v
run verify-broken --plugin "$bin/libfftplug_broken_sign.so" verify --sizes 2^0..2^8 --timeout 2
run bench bench --no-rates $short --csv bench.csv --json bench.json --plot bench.svg
run bench-two bench --no-rates $short --entries 0,5 --plugin "$bin/libfftplug.so" --plugin "$bin/libfftplug-scalar.so" \
  --csv bench-two.csv --json bench-two.json --plot bench-two.svg
run bench-reorder bench --no-rates $short --entries 2,3 --with-reorder --no-peers --csv bench-reorder.csv
run bench-rates bench --min-time 0.1 --measurements 1 --sizes 2^4..2^6 --entries 0,8 --csv bench-rates.csv \
  --json bench-rates.json --plot bench-rates.svg
run profile profile --sizes 2^1..2^12 --csv profile.csv --json profile.json --plot profile.svg
run profile-some profile --entries 0,8 --sizes 2^3,2^4 --no-peers
for entry in 0 2 4 5 7 9; do run "draw-$entry" draw --entry "$entry" --size 16 --svg "draw-$entry.svg" --json "draw-$entry.json"; done
run draw-small draw --entry 8 --size 4
for entry in 0 3 4 8; do run "trace-$entry" trace --entry "$entry" --size 2^12 --plot "trace-$entry.svg" --csv "trace-$entry.csv"; done
run report report --out report --verify-sizes 2^0..2^6 --bench-sizes 2^4,2^8 --profile-sizes 2^1..2^8 \
  --trace-size 2^10 --min-time 0.1 --measurements 1
# Refusals: one line on stderr and the status.
run no-command
run unknown-command frobnicate
run sizes-bad verify --sizes 2^2..2^x
run entry-missing verify --entries 3,10
run plot-format bench --plot out.pdf
run fftw-missing bench --sizes 4 --entries 0 --fftw no-such-libfftw3f.so
run fftw-no-peers bench --sizes 4 --entries 0 --no-peers --fftw x.so
run profile-plugin --plugin x.so profile
run profile-counting profile --counting no-such-counting.so --sizes 4
run draw-size draw --entry 0 --size 128
run draw-plugin --plugin x.so draw --entry 0
run trace-size trace --entry 0 --size 2^21
run trace-entry trace --entry 10
run report-trace-size report --out report-x --trace-size 2^21
run report-graph-size report --out report-x --graph-size 3
run unwritable-csv bench --sizes 4 --entries 0 --no-peers --csv no-such-folder/x.csv
run unwritable-trace trace --entry 0 --size 4 --csv no-such-folder/x.csv

# Masking: the temporary folder, the date, and the numbers of what is timed.
masked=$work/masked
mkdir -p "$masked"
mask_paths() { sed -e "s#$work#WORK#g"; }
mask_numbers() { sed -E -e 's/[0-9]+(\.[0-9]+)?(e[-+]?[0-9]+)?/#/g' -e 's/ +/ /g'; }
timed() {
  case $1 in
    bench*|report/*|plots/bench*|plots/report*) return 0 ;;
    *) return 1 ;;
  esac
}
(cd "$raw" && find . -type f | sed 's#^\./##' | sort) | while read -r file; do
  mkdir -p "$masked/$(dirname "$file")"
  name=${file#files/}
  if [[ $file != *.status ]] && timed "$name"; then
    mask_paths <"$raw/$file" | sed -E 's/on [0-9]{4}-[0-9]{2}-[0-9]{2} at [0-9]{2}:[0-9]{2}/on DATE/' | mask_numbers >"$masked/$file"
  else
    mask_paths <"$raw/$file" >"$masked/$file"
  fi
done

if [[ $mode == capture ]]; then
  rm -rf "$keep"
  mkdir -p "$keep"
  cp -r "$masked/." "$keep/"
  echo "outputs-unchanged: kept $(find "$keep" -type f | wc -l) files in $keep"
else
  if diff -ru "$keep" "$masked" >"$work/diff"; then
    echo "outputs-unchanged: all $(find "$keep" -type f | wc -l) files as before"
  else
    cat "$work/diff"
    echo "outputs-unchanged: differences above ($(grep -c '^diff \|^Only in' "$work/diff") files)" >&2
    exit 1
  fi
fi
