#!/usr/bin/env bash
# Builds and runs every test. With --sanitize, the same tests under ASan+UBSan
# in build-asan/. With --fuzz, builds the libFuzzer targets (clang) in
# build-fuzz/ and runs each briefly on the bundled and corpus drawings.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-}
jobs=$(nproc)

case "$mode" in
  "")
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLE_WERROR=ON >/dev/null
    ninja -C build -j"$jobs"
    ctest --test-dir build --output-on-failure -j"$jobs"
    ;;
  --release)
    cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRINDLE_WERROR=ON >/dev/null
    ninja -C build-release -j"$jobs"
    ctest --test-dir build-release --output-on-failure -j"$jobs"
    ;;
  --sanitize)
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRINDLE_SANITIZE=ON -DBRINDLE_WERROR=ON \
      -DBRINDLE_BENCH=OFF -DBRINDLE_GUI=OFF >/dev/null
    ninja -C build-asan -j"$jobs"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --test-dir build-asan --output-on-failure -j"$jobs"
    ;;
  --fuzz)
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DBRINDLE_FUZZ=ON -DBRINDLE_WERROR=ON -DBRINDLE_BENCH=OFF -DBRINDLE_GUI=OFF >/dev/null
    ninja -C build-fuzz -j"$jobs" $(cd fuzz && ls fuzz_*.cpp 2>/dev/null | sed 's/\.cpp$//')
    seeds=$(mktemp -d)
    trap 'rm -rf "$seeds"' EXIT
    cp samples/*.jww "$seeds"/ 2>/dev/null || true
    [ -n "${BRINDLE_CORPUS:-}" ] && cp "$BRINDLE_CORPUS"/*.jww "$seeds"/ 2>/dev/null || true
    for f in fuzz/fuzz_*.cpp; do
      name=$(basename "$f" .cpp)
      work=$(mktemp -d)
      cp "$seeds"/* "$work"/ 2>/dev/null || true
      ./build-fuzz/"$name" -max_total_time="${FUZZ_SECONDS:-60}" -rss_limit_mb=4096 "$work" 2>&1 | tail -n 3
      rm -rf "$work"
    done
    ;;
  *)
    echo "usage: scripts/test.sh [--release|--sanitize|--fuzz]" >&2
    exit 2
    ;;
esac
