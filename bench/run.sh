#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process figures for the README of bench/: each measured in one run
# beside `cp` of the same file, so that ratios survive a noisy shared machine.
#
#   bench/run.sh [BUILD_DIR]        (default: build)
#
# Prints, for generated drawings of 10k, 100k and 1M entities: file size,
# cp time, `brindle rewrite` time and its ratio to cp, read+write throughput,
# peak RSS and its ratio to the file size; `brindle info` of the 1M-entity
# drawing against its rewrite; `brindle export` of it to DXF against its
# rewrite; `brindle diff` of it against a copy with 1 % of
# its entities moved, against its rewrite; then, for an SXF drawing of 15
# figures of 50 members placed 10,000 times: `brindle convert` against
# `brindle rewrite` of the same input, and copies per second.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
ninja -C "$build" brindle brindle-samples >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# best of three runs: wall seconds and peak RSS (kB) of one command
measure() {
  local best_t="" best_m=""
  for _ in 1 2 3; do
    rm -f "$work/out.jww" "$work/cp.jww"
    rm -rf "$work/conv" && mkdir -p "$work/conv"
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || {
      cat "$work/err.txt" >&2
      return 1
    }
    read -r t m <"$work/time.txt"
    if [ -z "$best_t" ] || awk -v a="$t" -v b="$best_t" 'BEGIN{exit !(a<b)}'; then
      best_t=$t
      best_m=$m
    fi
  done
  echo "$best_t $best_m"
}

printf '%-10s %9s %8s %9s %7s %10s %9s %8s\n' entities "size MB" "cp s" "rewrite s" ratio "MB/s r+w" "RSS MB" "RSS/size"
for n in 10000 100000 1000000; do
  "$build/brindle-samples" "$work/gen" --bench "$n" >/dev/null
  f="$work/gen/bench-$n.jww"
  size=$(stat -c %s "$f")
  sync
  read -r tcp _ < <(measure cp "$f" "$work/cp.jww")
  read -r trw mrw < <(measure "$build/brindle" rewrite "$f" "$work/out.jww")
  awk -v n="$n" -v s="$size" -v c="$tcp" -v r="$trw" -v m="$mrw" 'BEGIN{
    mb=s/1048576; c=(c<0.01?0.01:c); r=(r<0.01?0.01:r);
    printf "%-10d %9.1f %8.2f %9.2f %7.1f %10.1f %9.1f %8.2f\n", n, mb, c, r, r/c, 2*mb/r, m/1024, (m*1024)/s }'
done

echo
# export of the 1M-entity drawing to DXF against rewrite of it, in the same run.
f="$work/gen/bench-1000000.jww"
read -r trw _ < <(measure "$build/brindle" rewrite "$f" "$work/out.jww")
read -r tex mex < <(measure "$build/brindle" export -q --force "$f" -o "$work/out.dxf")
dxf_mb=$(awk -v s="$(stat -c %s "$work/out.dxf")" 'BEGIN{printf "%.1f", s/1048576}')
awk -v r="$trw" -v e="$tex" -v m="$mex" -v d="$dxf_mb" 'BEGIN{
  printf "export of 1000000 entities (DXF %s MB): rewrite %.2f s, export %.2f s (%.2f of rewrite), RSS %.1f MB\n",
    d, r, e, e/r, m/1024 }'
rm -f "$work/out.dxf"

echo
# info of the 1M-entity drawing against rewrite of it, in the same run.
f="$work/gen/bench-1000000.jww"
read -r trw _ < <(measure "$build/brindle" rewrite "$f" "$work/out.jww")
read -r tin min < <(measure "$build/brindle" info "$f")
read -r tij _ < <(measure "$build/brindle" info --json "$f")
awk -v r="$trw" -v i="$tin" -v j="$tij" -v m="$min" 'BEGIN{
  printf "info of 1000000 entities: rewrite %.2f s, info %.2f s (%.2f of rewrite), info --json %.2f s (%.2f), RSS %.1f MB\n",
    r, i, i/r, j, j/r, m/1024 }'

echo
# diff of the 1M-entity drawing against a copy with 1 % of its entities moved,
# against rewrite of the drawing, in the same run.
"$build/brindle-samples" "$work/gen" --bench 1000000 --moved >/dev/null
g="$work/gen/bench-1000000-moved.jww"
read -r trw _ < <(measure "$build/brindle" rewrite "$f" "$work/out.jww")
read -r tdf mdf < <(measure sh -c '"$0" diff "$1" "$2"; [ $? -le 1 ]' "$build/brindle" "$f" "$g")
read -r tds _ < <(measure sh -c '"$0" diff "$1" "$1"' "$build/brindle" "$f")
awk -v r="$trw" -v d="$tdf" -v s="$tds" -v m="$mdf" 'BEGIN{
  printf "diff of 1000000 entities, 1 %% moved: rewrite %.2f s, diff %.2f s (%.2f of rewrite), diff with itself %.2f s (%.2f), RSS %.1f MB\n",
    r, d, d/r, s, s/r, m/1024 }'

echo
"$build/brindle-samples" "$work/gen" --sxf-bench 15 50 10000 >/dev/null
f="$work/gen/sxf-bench-15-50-10000.jww"
read -r trw _ < <(measure "$build/brindle" rewrite "$f" "$work/out.jww")
read -r tcv mcv < <(measure "$build/brindle" convert --json -o "$work/conv" "$f")
"$build/brindle" convert --json -o "$work/conv" "$f" >"$work/json.txt"
copies=$(sed -n 's/.*"copies":\([0-9]*\).*/\1/p' "$work/json.txt" | head -1)
awk -v r="$trw" -v c="$tcv" -v k="${copies:-0}" -v m="$mcv" 'BEGIN{
  printf "SXF drawing: 15 figures x 50 members, 10000 placements\n";
  printf "  rewrite %.2f s, convert %.2f s, ratio %.2f, copies %d, %.0f copies/s (whole process), RSS %.1f MB\n",
    r, c, c/r, k, k/(c>0.01?c:0.01), m/1024 }'

echo
# Batch speed-up: 40 generated SXF drawings converted with one worker, then two.
"$build/brindle-samples" "$work/batch" --sxf-bench 15 50 2000 >/dev/null
for i in $(seq 1 40); do cp "$work/batch/sxf-bench-15-50-2000.jww" "$work/batch/d$i.jww"; done
run_batch() {
  rm -rf "$work/jobs" && mkdir -p "$work/jobs"
  /usr/bin/time -f "%e" -o "$work/time.txt" "$build/brindle" convert -j "$1" -o "$work/jobs" \
    "$work"/batch/d*.jww >/dev/null
  cat "$work/time.txt"
}
t1=$(run_batch 1); t2=$(run_batch 2); t1b=$(run_batch 1); t2b=$(run_batch 2)
awk -v a="$t1" -v b="$t2" -v c="$t1b" -v d="$t2b" 'BEGIN{
  one=(a<c?a:c); two=(b<d?b:d);
  printf "Batch of 40 drawings: -j 1 %.2f s, -j 2 %.2f s, speed-up %.2fx (nproc %d)\n", one, two, one/two, '"$(nproc)"' }'

echo
# Pictures: brindle draw of the generated drawings to a 4000-pixel-wide PNG
# beside brindle rewrite of the same file, in the same run.
for n in 10000 100000; do
  f="$work/gen/bench-$n.jww"
  [ -f "$f" ] || "$build/brindle-samples" "$work/gen" --bench "$n" >/dev/null
  read -r trw _ < <(measure "$build/brindle" rewrite "$f" "$work/out.jww")
  read -r tdr mdr < <(measure "$build/brindle" draw "$f" -o "$work/out.png" --width 4000 --force)
  awk -v n="$n" -v r="$trw" -v d="$tdr" -v m="$mdr" 'BEGIN{
    printf "draw %d entities to a 4000 px PNG: %.2f s, rewrite %.2f s, ratio %.1f, RSS %.1f MB\n",
      n, d, r, d/(r>0.01?r:0.01), m/1024 }'
done

echo
# An SFC drawing of a million features converted straight to JWW, against
# brindle rewrite of the JWW it makes, in the same run.
"$build/brindle-samples" "$work/gen" --sfc-bench 1000000 >/dev/null
f="$work/gen/sfc-bench-1000000.sfc"
rm -rf "$work/sfc" && mkdir -p "$work/sfc"
"$build/brindle" convert -o "$work/sfc" "$f" >/dev/null 2>&1
read -r tsf msf < <(measure "$build/brindle" convert -o "$work/conv" "$f")
read -r trw _ < <(measure "$build/brindle" rewrite "$work/sfc/sfc-bench-1000000.jww" "$work/out.jww")
awk -v s="$tsf" -v r="$trw" -v m="$msf" -v b="$(stat -c %s "$f")" 'BEGIN{
  printf "SFC of 1000000 features (%.1f MB): convert %.2f s, rewrite of its JWW %.2f s, ratio %.1f, RSS %.1f MB\n",
    b/1048576, s, r, s/(r>0.01?r:0.01), m/1024 }'
