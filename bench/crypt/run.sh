#!/usr/bin/env bash
# Side-by-side throughput of zvcrypt and `openssl enc -nopad` (AES-256, ECB and CBC, both
# directions) on one random file, plus zvcrypt's peak resident set and, when the benchmark
# program is built, the in-process throughput of the portable and AES-NI cipher paths.
#
#   bench/crypt/run.sh [build-dir] [rounds] [size-MiB]     defaults: build 5 256
#
# The runs of the two programs alternate and each figure is the median of `rounds` runs, so
# that load on a shared machine hits both alike; compare the ratios, not the absolute times.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
size_mib=${3:-256}
zvcrypt=$build/crypt/zvcrypt
bench=$build/bench/crypt/zvcrypt_bench
[ -x "$zvcrypt" ] || { echo "no $zvcrypt: build first" >&2; exit 2; }
command -v openssl >/dev/null || { echo "openssl not found" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zvcrypt-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

key_b64=$(head -c 32 /dev/urandom | base64)
key_hex=$(printf '%s' "$key_b64" | base64 -d | od -An -v -tx1 | tr -d ' \n')
iv_hex=000102030405060708090a0b0c0d0e0f

head -c $((size_mib << 20)) /dev/urandom > "$work/plain"
"$zvcrypt" -* "$key_b64" < "$work/plain" > "$work/ecb"
"$zvcrypt" - "$key_b64" < "$work/plain" > "$work/cbc"
openssl enc -aes-256-ecb -nopad -K "$key_hex" < "$work/plain" | cmp -s - "$work/ecb" \
    || { echo "zvcrypt and openssl disagree on ECB" >&2; exit 1; }

# Runs one command with stdin from $1 and stdout to /dev/null; prints "nanoseconds peak-KiB".
timed() {
    local input=$1; shift
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$work/rss" "$@" < "$input" > /dev/null
    end=$(date +%s%N)
    echo "$((end - start)) $(cat "$work/rss")"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

printf '%-12s %12s %12s %8s %14s\n' mode "zvcrypt MB/s" "openssl MB/s" ratio "zvcrypt RSS"
peak_all=0
run_mode() { # name, input file, zvcrypt flags, openssl cipher and options...
    local name=$1 input=$2 flags=$3; shift 3
    local zv_times=() os_times=() peak=0 i t
    for ((i = 0; i < rounds; i++)); do
        read -r t rss < <(timed "$input" "$zvcrypt" $flags "$key_b64")
        zv_times+=("$t"); ((rss > peak)) && peak=$rss
        read -r t rss < <(timed "$input" openssl enc "$@" -nopad -K "$key_hex")
        os_times+=("$t")
    done
    local zv os bytes
    zv=$(printf '%s\n' "${zv_times[@]}" | median)
    os=$(printf '%s\n' "${os_times[@]}" | median)
    bytes=$(stat -c %s "$input")
    ((peak > peak_all)) && peak_all=$peak
    awk -v n="$name" -v b="$bytes" -v z="$zv" -v o="$os" -v p="$peak" 'BEGIN {
        printf "%-12s %12.0f %12.0f %8.2f %11d KiB\n", n, b / z * 1e3, b / o * 1e3, o / z, p }'
}

run_mode "ECB encrypt" "$work/plain" "-*" -aes-256-ecb
run_mode "ECB decrypt" "$work/ecb" "*" -d -aes-256-ecb
run_mode "CBC encrypt" "$work/plain" "-" -aes-256-cbc -iv "$iv_hex"
run_mode "CBC decrypt" "$work/cbc" "" -d -aes-256-cbc -iv "$iv_hex"
echo "ratio = zvcrypt throughput / openssl throughput (medians of $rounds alternating runs, ${size_mib} MiB)"
echo "zvcrypt peak RSS over all runs: ${peak_all} KiB"

if [ -x "$bench" ]; then
    echo
    echo "in-process cipher throughput (path 0 portable, path 1 AES-NI; op 0..3 = ECB enc, ECB dec, CBC enc, CBC dec):"
    "$bench" --benchmark_min_time=0.5 2>/dev/null | grep -E '^(bm_|Benchmark|-)'
else
    echo "(build with -DZV_BENCH=ON for the portable path's throughput: $bench)"
fi
