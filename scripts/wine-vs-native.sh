#!/usr/bin/env bash
# The 32-bit Windows library beside the x86-64 Linux one: fftbench.exe
# (build/win32, under Wine, loading fftplug.dll with LoadLibrary as a host
# does) and fftbench (build/release, loading libfftplug.so), each timing
# every entry at every size. The two cannot share one process, so they take
# turns, ROUNDS runs each, and every cell keeps its least time over the
# rounds: load from elsewhere on the machine then costs both sides alike.
# Prints us per transform of each and their ratio, entry by entry.
#
# With --stages, `fftbench stages` (the dispatching stage build beside each
# bench) is timed the same way, in turns, and each stage of each entry set
# beside its 32-bit time: the stages whose 32-bit code loses most are named.
# STAGE_OPTIONS holds its options (default: --sizes 2^8..2^16 --min-time 2
# --measurements 10). Where the kernel runs no 32-bit programs
# (scripts/runs-32bit.sh), there is no 32-bit side: the script says so and
# stops.
#
#   scripts/wine-vs-native.sh [--rounds R] [--win32 DIR] [--release DIR]
#                             [--stages] [fftbench bench options...]
#
# The options after ours go to both benches (the default: --sizes 2^4..2^16
# --min-time 1 --measurements 100: the least of many short measurements is
# the one that the machine's other work interrupted least).
# --win32 and --release name other build folders (their bin/ is used), or
# library files to load instead of the ones beside the benches.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=2
stages=0
win32=$root/build/win32
release=$root/build/release
while [ "$#" -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --win32) win32=$2; shift 2 ;;
    --release) release=$2; shift 2 ;;
    --stages) stages=1; shift ;;
    -h|--help) sed -n '2,/^set -eu/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) break ;;
  esac
done
[ "$#" -gt 0 ] || set -- --sizes '2^4..2^16' --min-time 1 --measurements 100

# A folder is a build folder; a file is the library to load.
exe32=$win32/bin/fftbench.exe plugin32=()
if [ -f "$win32" ]; then
  exe32=$root/build/win32/bin/fftbench.exe
  plugin32=(--plugin "z:$(realpath "$win32")")
fi
exe64=$release/bin/fftbench plugin64=()
if [ -f "$release" ]; then
  exe64=$root/build/release/bin/fftbench
  plugin64=(--plugin "$(realpath "$release")")
fi
for exe in "$exe32" "$exe64"; do
  [ -x "$exe" ] || { echo "wine-vs-native.sh: $exe is not built" >&2; exit 2; }
done
if ! "$root/scripts/runs-32bit.sh"; then
  echo "wine-vs-native.sh: this kernel runs no 32-bit programs: no 32-bit side to compare" >&2
  exit 2
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for ((round = 1; round <= rounds; ++round)); do
  "$exe64" bench --no-peers --no-rates "${plugin64[@]}" "$@" --csv "$out/x64-$round.csv" >/dev/null
  "$root/scripts/wine-run.sh" "$exe32" bench --no-peers --no-rates "${plugin32[@]}" "$@" \
    --csv "z:$out/w32-$round.csv" >/dev/null
done

cpu=$(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')
family=$(grep -m1 '^cpu family' /proc/cpuinfo | cut -d: -f2 | tr -d ' ')
model=$(grep -m1 '^model[[:space:]]' /proc/cpuinfo | cut -d: -f2 | tr -d ' ')
echo "cpu: $cpu, family $family, model $model; least of $rounds rounds"
python3 - "$out" <<'EOF'
import csv, glob, os, sys
best = {}
for name in glob.glob(os.path.join(sys.argv[1], "*.csv")):
    side = os.path.basename(name).split("-")[0]
    with open(name, encoding="utf-8") as f:
        for row in csv.DictReader(f):
            if not row["entry"]:
                continue
            key = (side, int(row["entry"]), int(row["log2n"]))
            t = float(row["time_per_transform_us"])
            best[key] = min(t, best.get(key, t))
entries = sorted({e for _, e, _ in best})
sizes = sorted({n for _, _, n in best})
if not any(("x64", e, n) in best and ("w32", e, n) in best for e in entries for n in sizes):
    sys.exit("wine-vs-native.sh: the two benches timed no cell in common: nothing to compare")
print(f"{'entry':>5} {'N':>5} {'x86-64 us':>11} {'win32 us':>11} {'ratio':>6}")
worst = 0.0
for e in entries:
    for n in sizes:
        a, b = best.get(("x64", e, n)), best.get(("w32", e, n))
        if a is None or b is None:
            continue
        worst = max(worst, b / a)
        print(f"{e:>5} {'2^' + str(n):>5} {a:>11.5g} {b:>11.5g} {b / a:>6.2f}")
    print()
print("ratio (win32 / x86-64) by N and entry")
print("    N " + "".join(f"{e:>6}" for e in entries))
for n in sizes:
    cells = []
    for e in entries:
        a, b = best.get(("x64", e, n)), best.get(("w32", e, n))
        cells.append(f"{b / a:>6.2f}" if a and b else f"{'-':>6}")
    print(f"{'2^' + str(n):>5} " + "".join(cells))
print(f"worst ratio {worst:.2f}")
EOF

[ "$stages" = 1 ] || exit 0
read -r -a stage_options <<<"${STAGE_OPTIONS:---sizes 2^8..2^16 --min-time 2 --measurements 10}"
for ((round = 1; round <= rounds; ++round)); do
  "$exe64" stages --no-rates "${stage_options[@]}" --csv "$out/stages_x64-$round.csv" >/dev/null
  "$root/scripts/wine-run.sh" "$exe32" stages --no-rates "${stage_options[@]}" \
    --csv "z:$out/stages_w32-$round.csv" >/dev/null
done
echo
echo "stage by stage (fftbench stages, dispatching stage builds), least of $rounds rounds"
python3 - "$out" <<'EOF'
import csv, glob, os, sys
best, order = {}, {}
for name in glob.glob(os.path.join(sys.argv[1], "stages_*.csv")):
    side = os.path.basename(name).split("_")[1].split("-")[0]
    with open(name, encoding="utf-8") as f:
        for row in csv.DictReader(f):
            stage = (int(row["entry"]), int(row["log2n"]), int(row["row"]))
            shape = "" if row["kind"] == "copy" else f" ({row['block']}/{row['apart']})"
            order[stage] = row["label"] + shape
            t = float(row["time_per_transform_us"])
            key = (side,) + stage
            best[key] = min(t, best.get(key, t))
losses = []
print(f"{'entry':>5} {'N':>5} {'stage':<28} {'x86-64 us':>11} {'win32 us':>11} {'ratio':>6}")
for stage in sorted(order):
    a, b = best.get(("x64",) + stage), best.get(("w32",) + stage)
    if a is None or b is None:
        continue
    e, n, _ = stage
    ratio = b / a if a > 0 else float("inf")
    print(f"{e:>5} {'2^' + str(n):>5} {order[stage]:<28} {a:>11.4g} {b:>11.4g} {ratio:>6.2f}")
    if a > 0 and b > a:
        losses.append((b - a, ratio, e, n, order[stage]))
print()
print("the stages that lose most in 32-bit code (time lost per transform, us)")
for lost, ratio, e, n, label in sorted(losses, reverse=True)[:15]:
    print(f"  entry {e} at 2^{n}: {label}: +{lost:.4g} us ({ratio:.2f}x)")
EOF
