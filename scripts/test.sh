#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds and runs every test. With --sanitize, the same tests under ASan+UBSan
# in build-asan/. With --fuzz, builds the libFuzzer targets (clang) in
# build-fuzz/ and runs each briefly (FUZZ_SECONDS, default 60) on seeds that
# brindle-fuzz-seeds writes, the bundled drawings and those of BRINDLE_CORPUS.
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
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --test-dir build-asan --output-on-failure -j"$jobs"
    ;;
  --fuzz)
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DBRINDLE_FUZZ=ON -DBRINDLE_WERROR=ON -DBRINDLE_BENCH=OFF -DBRINDLE_GUI=OFF >/dev/null
    targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
    # shellcheck disable=SC2086
    ninja -C build-fuzz -j"$jobs" $targets brindle-fuzz-seeds
    seeds=$(mktemp -d)
    trap 'rm -rf "$seeds"' EXIT
    ./build-fuzz/brindle-fuzz-seeds "$seeds"
    cp samples/*.jww "$seeds"/jww/ 2>/dev/null || true
    [ -n "${BRINDLE_CORPUS:-}" ] && cp "$BRINDLE_CORPUS"/*.jww "$seeds"/jww/ 2>/dev/null || true
    [ -n "${BRINDLE_CORPUS_SXF:-}" ] && cp "$BRINDLE_CORPUS_SXF"/*.SFC "$seeds"/sfc/ 2>/dev/null || true
    [ -n "${BRINDLE_CORPUS_SXF:-}" ] && cp "$BRINDLE_CORPUS_SXF"/*.P21 "$seeds"/p21/ 2>/dev/null || true
    for name in $targets; do
      dict=(-dict=fuzz/jww.dict)
      case "$name" in
        fuzz_settings) from=(settings) dict=() ;;
        fuzz_user_dirs) from=(user-dirs) dict=() ;;
        fuzz_images) from=(jww gzip) ;;
        fuzz_sfc) from=(sfc) dict=(-dict=fuzz/sfc.dict) ;;
        fuzz_p21) from=(p21) dict=() ;;
        fuzz_sfc_records | fuzz_sfc_text) from=(choices) dict=(-dict=fuzz/sfc.dict) ;;
        fuzz_sfc_figures) from=(choices) dict=() ;;
        *) from=(jww) ;;
      esac
      work=$(mktemp -d)
      for d in "${from[@]}"; do cp "$seeds/$d"/* "$work"/; done
      echo "== $name"
      status=0
      ./build-fuzz/"$name" "${dict[@]}" -max_total_time="${FUZZ_SECONDS:-60}" -rss_limit_mb=2048 \
        -timeout=30 -print_final_stats=1 "$work" >"$seeds/$name.log" 2>&1 || status=$?
      grep -E "^Done|number_of_executed_units|ERROR|SUMMARY" "$seeds/$name.log" || true
      rm -rf "$work"
      if [ "$status" -ne 0 ]; then
        tail -n 40 "$seeds/$name.log" >&2
        echo "$name failed: the input that did it is in $(pwd)" >&2
        exit 1
      fi
    done
    ;;
  *)
    echo "usage: scripts/test.sh [--release|--sanitize|--fuzz]" >&2
    exit 2
    ;;
esac
