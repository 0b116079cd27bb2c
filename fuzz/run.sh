#!/usr/bin/env bash
# Builds the two libFuzzer targets with clang, replays the seed corpora, then fuzzes each
# target for the given number of seconds (default 60). Exits non-zero on any finding.
# Needs the packages clang and libclang-rt-14-dev (or the matching compiler-rt).
set -euo pipefail

seconds="${1:-60}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${ZV_FUZZ_BUILD:-$root/build-fuzz}"
work="$build/fuzz-work"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DZV_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_zvasm fuzz_zvcrypt

common=(-timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
status=0
run_target() {
    local target="$1" max_len="$2"; shift 2
    local binary="$build/fuzz/$target"
    local corpus="$here/corpus/${target#fuzz_}"
    local scratch="$work/$target"
    rm -rf "$scratch" && mkdir -p "$scratch/corpus" "$scratch/artifacts"
    echo "== $target: replaying $(ls "$corpus" | wc -l) seed inputs"
    "$binary" "${common[@]}" "$@" -runs=0 "$corpus"/* || return 1
    echo "== $target: fuzzing for $seconds s"
    # New inputs go to a scratch corpus so the committed seeds stay small.
    "$binary" "${common[@]}" "$@" -max_len="$max_len" -max_total_time="$seconds" \
        -artifact_prefix="$scratch/artifacts/" "$scratch/corpus" "$corpus" || return 1
}
run_target fuzz_zvasm 4096 -dict="$here/zvasm.dict" || status=1
run_target fuzz_zvcrypt 2048 || status=1
if [ "$status" -ne 0 ]; then
    echo "fuzz/run.sh: a target failed; the crashing input is under $work/*/artifacts/" >&2
fi
exit "$status"
