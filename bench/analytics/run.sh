#!/usr/bin/env bash
# Builds and runs the analytics benchmark in its own build folder (build-bench/ unless
# BUILD_DIR is set). Extra arguments go to the benchmark (for example
# --benchmark_filter=Post). The benchmark starts its own glyphora-collector on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR=${BUILD_DIR:-build-bench}
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLYPHORA_TESTS=OFF
fi
cmake --build "$BUILD_DIR" --target bench_analytics glyphora-collector -j2
exec "$BUILD_DIR/bin/bench_analytics" --benchmark_min_time=1 "$@"
