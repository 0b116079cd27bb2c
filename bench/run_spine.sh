#!/usr/bin/env bash
# Front-end throughput of zvasm with the listing written: a 1,000,000-line program of labels,
# locals, equates, data and if blocks, and the lookup cost with 4,990 vs 10 referenced symbols.
# Usage: bench/run_spine.sh [path/to/zvasm]   (default: build/zvasm)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
zvasm=$(realpath "${1:-$here/../build/zvasm}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/gen_spine.py" mixed 1000000 > "$work/mixed.mac"
python3 "$here/gen_spine.py" symbols 4990 1000000 > "$work/sym4990.mac"
python3 "$here/gen_spine.py" symbols 10 1000000 > "$work/sym10.mac"
# Both symbol programs define 4,990 symbols; only the references differ.
python3 - "$work" <<'PY'
import sys
w = sys.argv[1]
a = open(f"{w}/sym4990.mac").read().splitlines()
b = open(f"{w}/sym10.mac").read().splitlines()
defs = [l for l in a if "=" in l]
refs = [l for l in b if l.startswith(" dc.l")]
open(f"{w}/sym10.mac", "w").write("\n".join(a[:1] + defs + refs[: len(a) - 1 - len(defs)]) + "\n")
PY

run_once() { # name -> seconds
    local start end
    start=$(date +%s.%N)
    (cd "$work" && printf '%s\n' "$1" | "$zvasm" > "$work/$1.out") || true
    end=$(date +%s.%N)
    tail -c 60 "$work/$1.out" | grep -q "0 : Normales Ende" || { echo "run of $1 failed:" >&2; tail -3 "$work/$1.out" >&2; exit 1; }
    echo "$end - $start" | bc -l
}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

declare -A times
for round in 1 2 3 4 5; do
    for prog in mixed sym4990 sym10; do
        times[$prog]+="$(run_once $prog) "
    done
done
for prog in mixed sym4990 sym10; do
    med=$(echo ${times[$prog]} | tr ' ' '\n' | median)
    lines=$(wc -l < "$work/$prog.mac")
    printf '%-8s %8d lines  median %.3f s  %5.2f M lines/s (listing %d MB)\n' "$prog" "$lines" "$med" \
        "$(echo "$lines / $med / 1000000" | bc -l)" "$(( $(stat -c %s "$work/$prog.lst") / 1000000 ))"
done
m4990=$(echo ${times[sym4990]} | tr ' ' '\n' | median)
m10=$(echo ${times[sym10]} | tr ' ' '\n' | median)
printf 'lookup ratio 4990/10 symbols: %.3f\n' "$(echo "$m4990 / $m10" | bc -l)"
