#!/usr/bin/env bash
# The host's natural order against FFTW, as figures (not a test):
# `fftbench bench --with-reorder --sizes 2^6..2^20` run ROUNDS times for each
# fftbench given, the binaries taking turns within every round so that the
# load of a shared machine falls on all of them alike; then, per binary and
# N, the median over the rounds of the best entry with the reordering over
# fftwf, their geometric mean over 2^6..2^20 and minimum over 2^6..2^14, and
# the reordering's share of the fastest entry's time. Last, the permutation
# alone against memcpy (reorder_rate). Outputs stay in out/reorder-bench/.
#
#   scripts/reorder_bench.sh [ROUNDS [FFTBENCH ...]]
#   (default: 3 rounds of build/release/bin/fftbench)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-3}"
shift || true
binaries=("$@")
[ "${#binaries[@]}" -gt 0 ] || binaries=(build/release/bin/fftbench)
out=out/reorder-bench
mkdir -p "$out"
grep -m1 -E '^model name' /proc/cpuinfo || true
grep -m1 -E '^cpu family' /proc/cpuinfo || true
grep -m1 -E '^model[[:space:]]' /proc/cpuinfo || true

for round in $(seq 1 "$rounds"); do
  for b in "${!binaries[@]}"; do
    echo "round $round: ${binaries[$b]}" >&2
    "${binaries[$b]}" bench --with-reorder --sizes 2^6..2^20 --min-time 20 --measurements 5 --no-rates \
      --csv "$out/run$b-$round.csv" >"$out/run$b-$round.txt"
  done
done

python3 - "$rounds" "$out" "${binaries[@]}" <<'EOF'
import csv, math, statistics, sys
rounds, out, binaries = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
for b, binary in enumerate(binaries):
    ratios, shares = {}, {}
    for r in range(1, rounds + 1):
        rows = list(csv.DictReader(open(f"{out}/run{b}-{r}.csv", encoding="utf-8")))
        fftw = {int(x["n"]): float(x["mflops"]) for x in rows if x["implementation"] == "fftwf"}
        best = {}
        for x in rows:
            if x["host_reorder"] == "1":
                n = int(x["n"])
                if n not in best or float(x["mflops"]) > float(best[n]["mflops"]):
                    best[n] = x
        for n, x in best.items():
            ratios.setdefault(n, []).append(float(x["mflops"]) / fftw[n])
            t = x.get("reorder_time_per_transform_us")
            if t:
                shares.setdefault(n, []).append(float(t) / float(x["time_per_transform_us"]))
    med = {n: statistics.median(v) for n, v in ratios.items()}
    print(f"\n{binary}: best entry with the host's reordering / fftwf, median of {rounds} rounds")
    for n in sorted(med):
        share = f"  reordering {100 * statistics.median(shares[n]):.0f}% of the entry's time" if n in shares else ""
        print(f"  2^{n.bit_length() - 1:<3} {med[n]:.2f}  (rounds: {', '.join(f'{v:.2f}' for v in ratios[n])}){share}")
    geo = math.exp(statistics.mean(math.log(v) for v in med.values()))
    low = min((v, n) for n, v in med.items() if n <= 1 << 14)
    print(f"  geometric mean over 2^6..2^20: {geo:.2f}; minimum over 2^6..2^14: {low[0]:.2f} at 2^{low[1].bit_length() - 1}")
EOF

rate=build/release/bin/reorder_rate
[ -x "$rate" ] && "$rate" --from 6 --to 22 --rounds 7
