#!/usr/bin/env bash
# Keeps the README's figures in step with the command said to make them:
# the excerpt names the bench command that scripts/run.sh runs, and a short
# run of that command, through scripts/summary.sh, gives an excerpt of the
# same form (the same lines, the same columns) as the README's.
#
#   readme_summary_test.sh SOURCE_DIR FFTBENCH
set -uo pipefail
source_dir="$1"
fftbench="$2"
readme="$source_dir/README.md"
problems=0
fail() { echo "readme_summary_test: $*" >&2; problems=$((problems + 1)); }

excerpt=$(sed -n '/<!-- summary: begin -->/,/<!-- summary: end -->/p' "$readme" | sed '1d;$d')
[ -n "$excerpt" ] || { echo "readme_summary_test: README.md has no summary between its markers" >&2; exit 1; }

# The command, as the excerpt's first line quotes it, is run.sh's.
command=$(head -n 1 <<<"$excerpt" | sed -n 's/^Measured with `\([^`]*\)`.*/\1/p')
[ -n "$command" ] || fail "the excerpt does not start with the command that made it"
grep -qxF -- "bench_command=\"$command\"" "$source_dir/scripts/run.sh" ||
  fail "scripts/run.sh does not run the excerpt's command: $command"

# The same command, quickly, over a few sizes that reach every range of the
# summary, through the summary.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
args=$(sed 's|^build/release/bin/fftbench bench||; s|out/|'"$work"'/|g' <<<"$command")
# shellcheck disable=SC2086
"$fftbench" bench $args --sizes 2^4..2^6,2^16 --min-time 0.5 --measurements 1 >"$work/bench.txt" ||
  fail "the excerpt's command failed (exit $?)"
fresh=$(bash "$source_dir/scripts/summary.sh" "$work/bench.txt" "$command")

# The form: every line but the figures' rows, with figures, sizes and the
# machine masked (the first line names the processor it was measured on).
form() {
  grep -vE '^ +2\^[0-9]+ |^(cpu|path|method) ' | sed -E 's/^sizes .*/sizes/; s/ over .*/ over/' |
    sed -E 's/^(Measured with `[^`]*` on ).*(\. The figures belong)/\1PROCESSOR\2/' |
    sed -E 's/[0-9]+(\.[0-9]+)?/#/g'
}
diff <(form <<<"$excerpt") <(form <<<"$fresh") >"$work/diff" || {
  fail "the README's excerpt and a fresh one differ in form:"
  cat "$work/diff" >&2
}
[ -s "$work/bench.txt" ] && grep -q '^best entry / fftwf' "$work/bench.txt" || fail "no summary in the fresh run"
[ "$problems" -eq 0 ] && echo "readme_summary_test: the README's excerpt matches scripts/run.sh's command and its form"
exit $((problems > 0))
