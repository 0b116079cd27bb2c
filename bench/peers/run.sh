#!/usr/bin/env bash
# zvasm against NASM, yasm, fasm and GNU as on one generated program with the same instructions
# (bench/peers/gen_peers.py): alternating rounds, each running every assembler once, then the
# medians of wall and CPU (user+sys) time, lines per second and the ratio to zvasm, with and
# without listings; then zvasm's run time at 10k, 100k, 1M and 5M lines.
# Usage: bench/peers/run.sh [path/to/zvasm]    (default: build/zvasm)
# Environment: LINES (default 1000000), ROUNDS (default 5), GROWTH=0 skips the growth runs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
zvasm=$(realpath "${1:-$here/../../build/zvasm}")
lines=${LINES:-1000000}
rounds=${ROUNDS:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- the peers --------------------------------------------------------------------------
missing=()
for p in nasm yasm fasm; do command -v $p >/dev/null || missing+=($p); done
if ((${#missing[@]})); then
    (apt-get update -qq && apt-get install -y -qq "${missing[@]}") >/dev/null
fi
command -v as >/dev/null || { apt-get install -y -qq binutils >/dev/null; }
# fasm is a 32-bit program: where the kernel cannot run it, it runs under qemu-user, and its
# times are then an upper bound of its own cost (a lower bound of its speed).
fasm=(fasm)
fasm_note=""
printf 'use32\nnop\n' > "$work/probe.asm"
if ! fasm "$work/probe.asm" "$work/probe.bin" >/dev/null 2>&1; then
    command -v qemu-i386 >/dev/null || (apt-get install -y -qq qemu-user >/dev/null)
    fasm=(qemu-i386 -L / "$(command -v fasm)")
    fasm_note=" (under qemu-i386: its speed is a lower bound)"
    "${fasm[@]}" "$work/probe.asm" "$work/probe.bin" >/dev/null
fi

python3 "$here/gen_peers.py" "$lines" "$work" >/dev/null
lines=$(wc -l < "$work/peers.mac")

# name -> command (run in $work); zvasm writes its listing always, fasm has no listing option
# (its symbols file -s needs the separate listing tool), so both appear once.
declare -A cmd=(
    [zvasm]="printf 'peers\n' | '$zvasm' | tail -c 60 | grep -q '0 : Normales Ende'"
    [nasm]="nasm -f bin -o n.bin peers.asm"
    [nasm-l]="nasm -f bin -o n.bin -l n.lst peers.asm"
    [yasm]="yasm -f bin -o y.bin peers.asm"
    [yasm-l]="yasm -f bin -o y.bin -l y.lst peers.asm"
    [fasm]="${fasm[*]} -m 1048576 peersf.asm f.bin >/dev/null"
    [as]="as --32 -o g.o peers.s"
    [as-l]="as --32 -al=g.lst -o g.o peers.s"
)
order=(zvasm nasm nasm-l yasm yasm-l fasm as as-l)

run_once() { # name -> "wall/cpu" in seconds
    local t
    (cd "$work" && /usr/bin/time -f '%e %U %S' -o "$work/time" bash -c "${cmd[$1]}" >/dev/null 2>"$work/err") ||
        { echo "$1 failed:" >&2; head -5 "$work/err" >&2; exit 1; }
    t=$(tail -1 "$work/time")
    awk '{printf "%s/%s", $1, $2 + $3}' <<<"$t"
}
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
field() { tr ' ' '\n' | grep . | cut -d/ -f"$1" | median; }  # 1 = wall, 2 = cpu

declare -A runs
for ((r = 1; r <= rounds; r++)); do
    for n in "${order[@]}"; do runs[$n]+="$(run_once "$n") "; done
done

sizes() {
    objcopy -O binary -j .text "$work/g.o" "$work/g.bin"
    printf 'code bytes: zvasm %d, nasm %d, yasm %d, fasm %d, as %d\n' "$(stat -c %s "$work/peers.com")" \
        "$(stat -c %s "$work/n.bin")" "$(stat -c %s "$work/y.bin")" "$(stat -c %s "$work/f.bin")" \
        "$(stat -c %s "$work/g.bin")"
}

zw=$(echo "${runs[zvasm]}" | field 1)
zc=$(echo "${runs[zvasm]}" | field 2)
echo "program: $lines lines; $rounds alternating rounds; medians; fasm$fasm_note"
sizes
printf '%-8s %-8s %8s %8s %12s %12s %10s %10s\n' assembler listing "wall s" "cpu s" "lines/s wall" "lines/s cpu" \
    "x zvasm w" "x zvasm c"
for n in "${order[@]}"; do
    w=$(echo "${runs[$n]}" | field 1)
    c=$(echo "${runs[$n]}" | field 2)
    case $n in zvasm) l=always ;; fasm) l=none ;; *-l) l=yes ;; *) l=no ;; esac
    # ratio: the peer's time over zvasm's (how many times slower than zvasm the peer is)
    printf '%-8s %-8s %8.2f %8.2f %12.0f %12.0f %10.1f %10.1f\n' "${n%-l}" "$l" "$w" "$c" \
        "$(echo "$lines / $w" | bc -l)" "$(echo "$lines / $c" | bc -l)" \
        "$(echo "$w / $zw" | bc -l)" "$(echo "$c / $zc" | bc -l)"
done

# ---- growth of zvasm's cost -------------------------------------------------------------
[[ ${GROWTH:-1} == 0 ]] && exit 0
echo
echo "zvasm cost growth (median of 3; the block count is capped, so the symbol table stays bounded)"
printf '%9s %8s %8s %14s %14s\n' lines "wall s" "cpu s" "us/line wall" "us/line cpu"
for n in 10000 100000 1000000 5000000; do
    rm -f "$work"/peers.* "$work"/*.bin "$work"/*.lst "$work"/g.o
    python3 "$here/gen_peers.py" "$n" "$work" >/dev/null
    rm -f "$work/peers.asm" "$work/peersf.asm" "$work/peers.s"
    l=$(wc -l < "$work/peers.mac")
    g=""
    for r in 1 2 3; do g+="$(run_once zvasm) "; done
    w=$(echo "$g" | field 1)
    c=$(echo "$g" | field 2)
    printf '%9d %8.2f %8.2f %14.3f %14.3f\n' "$l" "$w" "$c" "$(echo "$w * 1000000 / $l" | bc -l)" \
        "$(echo "$c * 1000000 / $l" | bc -l)"
done
