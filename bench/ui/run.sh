#!/usr/bin/env bash
# Skin package and first-frame benchmarks, side by side with the peer decoder.
#
#   bench/ui/run.sh [BUILD_DIR]     (default: build)
#
# 1. bench_ui_skin: in-process decode of the embedded package, frame-name lookups, main
#    window to its first frame (headless).
# 2. hyperfine, whole processes: `7zz t skin.7z` (the reference 7z tool decoding the same
#    package) next to `glyphora-skinview --list` (our reader), and
#    `glyphora-skinview --first-frame` (process start to the main window's first frame)
#    headless and, when xvfb-run is installed, on an Xvfb display through SDL.
# Target: first frame of the main window at most 250 ms after the process starts.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
bin="$build/bin"
for tool in hyperfine 7zz; do
  if ! command -v "$tool" >/dev/null; then
    sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
    pkg=$tool; [ "$tool" = 7zz ] && pkg=7zip
    $sudo apt-get install -y --no-install-recommends "$pkg" >/dev/null
  fi
done
cmake --build "$build" --target bench_ui_skin glyphora-skinview >/dev/null
export GLYPHORA_TRACE=off

echo "== in process =="
"$bin/bench_ui_skin" --benchmark_min_time=0.5

echo "== whole processes =="
hyperfine -N --warmup 2 --runs 15 \
  "7zz t $build/skin.7z" \
  "$bin/glyphora-skinview --list" \
  "env GLYPHORA_UI_BACKEND=headless $bin/glyphora-skinview --first-frame"

echo "== first frame as the tool measures it (5 runs) =="
for i in 1 2 3 4 5; do GLYPHORA_UI_BACKEND=headless "$bin/glyphora-skinview" --first-frame; done
if command -v xvfb-run >/dev/null; then
  echo "== first frame on an Xvfb display (SDL), 5 runs in one server =="
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c \
    "for i in 1 2 3 4 5; do GLYPHORA_UI_BACKEND=sdl '$bin/glyphora-skinview' --first-frame; done"
fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
