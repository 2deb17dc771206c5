#!/usr/bin/env bash
# Runs the UI framework benchmark on a private Xvfb (and headless for comparison).
#   bench/uiframework/run.sh [BUILD_DIR] [SECONDS]
# Prints the first-frame times and the animation's CPU share; for the X run also the CPU
# the X server spent copying the frames.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
seconds=${2:-10}
bin="$build/bin/uiframework_bench"
[ -x "$bin" ] || { echo "build $bin first (cmake --build $build --target uiframework_bench)"; exit 1; }

echo "== headless"
GLYPHORA_UI_BACKEND=headless DISPLAY= "$bin" --seconds "$seconds"

if ! command -v Xvfb >/dev/null; then
  echo "Xvfb missing (package xvfb): X run skipped"
  exit 0
fi
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$fifo" 2>/dev/null &
xpid=$!
trap 'kill $xpid 2>/dev/null; rm -f "$fifo"' EXIT
read -r -t 10 disp < "$fifo"
echo "== SDL2 on Xvfb :$disp"
ticks() { awk '{print $14 + $15}' "/proc/$xpid/stat"; }
before=$(ticks)
DISPLAY=":$disp" GLYPHORA_UI_BACKEND=sdl "$bin" --seconds "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
awk -v b="$before" -v a="$after" -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "Xvfb CPU during both phases: %.3f s (%.2f %% of one core over %d s)\n", (a-b)/hz, 100*(a-b)/hz/s, s }'
