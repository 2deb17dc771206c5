#!/usr/bin/env bash
# Utils::GetFileMd5 against md5sum on the same 512 MiB file, in the same run.
#
#   bench/md5/run.sh [BUILD_DIR] [ROUNDS]     (defaults: build, 5)
#
# Builds glyphora-md5-bench in BUILD_DIR when needed, writes a 512 MiB file of random
# bytes to a private temporary folder, reads it once so both tools start from the page
# cache, then alternates the two tools ROUNDS times, timing each whole process the same
# way (bash's time: wall clock, and user + system CPU). Prints every timing, the best of
# each tool and the throughput ratio GetFileMd5 / md5sum (target: at least 0.9). On a
# loaded machine the wall-clock figures are noisy; the CPU figures show the work itself.
# Exits 1 when the digests differ.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${1:-build}
ROUNDS=${2:-5}
SIZE_MIB=512

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" --target glyphora-md5-bench -j2 >/dev/null
BENCH="$BUILD/bin/glyphora-md5-bench"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
file="$dir/data.bin"
head -c $((SIZE_MIB * 1024 * 1024)) /dev/urandom >"$file"
cat "$file" >/dev/null

calc() { awk "BEGIN { x = $1; print x }"; }
TIMEFORMAT='%R %U %S'

# timed OUTFILE CMD...: runs CMD with its output in OUTFILE; prints "wall cpu".
timed() {
  local out=$1
  shift
  local t
  t=$({ time "$@" >"$out"; } 2>&1)
  read -r real user sys <<<"$t"
  echo "$real $(calc "$user + $sys")"
}

best_sum_wall="" best_sum_cpu="" best_our_wall="" best_our_cpu=""
min() { if [ -z "$1" ] || [ "$(calc "$2 < $1")" = 1 ]; then echo "$2"; else echo "$1"; fi; }
for round in $(seq 1 "$ROUNDS"); do
  read -r sw sc < <(timed "$dir/sum.txt" md5sum "$file")
  read -r ow oc < <(timed "$dir/ours.txt" "$BENCH" "$file")
  sum=$(cut -d' ' -f1 "$dir/sum.txt")
  ours=$(cut -d' ' -f1 "$dir/ours.txt")
  if [ "$sum" != "$ours" ]; then
    echo "digests differ: md5sum $sum, GetFileMd5 $ours" >&2
    exit 1
  fi
  printf 'round %d: md5sum %.3f s wall %.3f s cpu   GetFileMd5 %.3f s wall %.3f s cpu\n' \
    "$round" "$sw" "$sc" "$ow" "$oc"
  best_sum_wall=$(min "$best_sum_wall" "$sw")
  best_sum_cpu=$(min "$best_sum_cpu" "$sc")
  best_our_wall=$(min "$best_our_wall" "$ow")
  best_our_cpu=$(min "$best_our_cpu" "$oc")
done
printf 'digest %s (both tools)\n' "$sum"
printf 'best wall: md5sum %.3f s (%.0f MiB/s)   GetFileMd5 %.3f s (%.0f MiB/s)   ratio %.3f\n' \
  "$best_sum_wall" "$(calc "$SIZE_MIB / $best_sum_wall")" \
  "$best_our_wall" "$(calc "$SIZE_MIB / $best_our_wall")" \
  "$(calc "$best_sum_wall / $best_our_wall")"
printf 'best cpu:  md5sum %.3f s (%.0f MiB/s)   GetFileMd5 %.3f s (%.0f MiB/s)   ratio %.3f\n' \
  "$best_sum_cpu" "$(calc "$SIZE_MIB / $best_sum_cpu")" \
  "$best_our_cpu" "$(calc "$SIZE_MIB / $best_our_cpu")" \
  "$(calc "$best_sum_cpu / $best_our_cpu")"
echo "target: ratio >= 0.9 (throughput of GetFileMd5 / throughput of md5sum)"
