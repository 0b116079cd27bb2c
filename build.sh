#!/usr/bin/env bash
# One entry point for newcomers and CI:
#   ./build.sh example   build, then assemble examples/demo.mac and show the results
#   ./build.sh test      build, then run every test
#   ./build.sh sanitize  build with ASan+UBSan into build-san/, then run every test
#   ./build.sh bench     build the benchmarks (see bench/README.md)
# Installs the Debian packages the build and the tests need when they are missing.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(g++ cmake make libgtest-dev libbenchmark-dev binutils openssl python3 pkg-config libunicorn-dev)

ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}

build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

run_tests() { # dir
  (cd "$1" && ctest --output-on-failure -j "$(nproc)")
}

case "${1:-}" in
  example)
    ensure_packages
    build build
    out=$(mktemp -d)
    cp examples/demo.mac "$out/"
    (cd "$out" && printf 'demo\n' | "$OLDPWD/build/zvasm") || true
    echo
    echo "listing:   $out/demo.lst"
    echo "code file: $out/demo.com ($(stat -c %s "$out/demo.com" 2>/dev/null || echo 0) bytes)"
    ;;
  test)
    ensure_packages
    build build
    run_tests build
    ;;
  sanitize)
    ensure_packages
    build build-san -DZV_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-san
    ;;
  bench)
    ensure_packages
    build build -DZV_BENCH=ON
    ;;
  *)
    echo "usage: $0 example|test|sanitize|bench" >&2
    exit 2
    ;;
esac
