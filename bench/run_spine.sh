#!/usr/bin/env bash
# Throughput of zvasm with the listing written: a 1,000,000-line program of labels, locals,
# equates, data and if blocks; one of instructions of every family and operand form; and the
# lookup cost with 4,990 against 10 referenced symbols. Prints wall and CPU (user+sys) medians.
# Usage: bench/run_spine.sh [path/to/zvasm]   (default: build/zvasm)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
zvasm=$(realpath "${1:-$here/../build/zvasm}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/gen_spine.py" mixed 1000000 > "$work/mixed.mac"
python3 "$here/gen_spine.py" isa 1000000 > "$work/isa.mac"
python3 "$here/gen_spine.py" alumove 1000000 > "$work/alumove.mac"
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

run_once() { # name -> "wall cpu" seconds
    local start end cpu
    start=$(date +%s.%N)
    (cd "$work" && printf '%s\n' "$1" | /usr/bin/time -f '%U %S' -o "$work/$1.time" "$zvasm" > "$work/$1.out") || true
    end=$(date +%s.%N)
    cpu=$(awk '{print $1 + $2}' "$work/$1.time")
    tail -c 60 "$work/$1.out" | grep -q "0 : Normales Ende" || { echo "run of $1 failed:" >&2; tail -3 "$work/$1.out" >&2; exit 1; }
    echo "$(echo "$end - $start" | bc -l)/$cpu"
}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
field() { tr ' ' '\n' | grep . | cut -d/ -f"$1" | median; }  # 1 = wall, 2 = cpu

declare -A runs
for round in 1 2 3 4 5; do
    for prog in mixed alumove isa sym4990 sym10; do
        runs[$prog]+="$(run_once $prog) "
    done
done
printf '%-8s %9s %10s %10s %14s %14s\n' program lines "wall s" "cpu s" "M lines/s wall" "M lines/s cpu"
for prog in mixed alumove isa sym4990 sym10; do
    wall=$(echo "${runs[$prog]}" | field 1)
    cpu=$(echo "${runs[$prog]}" | field 2)
    lines=$(wc -l < "$work/$prog.mac")
    printf '%-8s %9d %10.3f %10.3f %14.2f %14.2f\n' "$prog" "$lines" "$wall" "$cpu" \
        "$(echo "$lines / $wall / 1000000" | bc -l)" "$(echo "$lines / $cpu / 1000000" | bc -l)"
done
printf 'lookup ratio 4990/10 symbols: wall %.3f, cpu %.3f\n' \
    "$(echo "$(echo "${runs[sym4990]}" | field 1) / $(echo "${runs[sym10]}" | field 1)" | bc -l)" \
    "$(echo "$(echo "${runs[sym4990]}" | field 2) / $(echo "${runs[sym10]}" | field 2)" | bc -l)"
