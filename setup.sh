#!/usr/bin/env bash
# Set-up, build and run for the Glyphora installer on Debian 12.
#
#   ./setup.sh demo    install what is missing, build, run the main job (the demo)
#   ./setup.sh test    install what is missing, build, run every test (CTest)
#   ./setup.sh build   install what is missing and build only
#   ./setup.sh fuzz [SECONDS]   build the libFuzzer targets with clang into build-fuzz/
#                      and run each for SECONDS (default 60)
#
# Idempotent: Debian packages are installed by apt-get only when one is missing, and the
# build folder (build/) is configured once and then rebuilt incrementally.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)

PACKAGES=(
  build-essential cmake pkg-config ninja-build libgtest-dev libbenchmark-dev
  libcurl4-openssl-dev zlib1g-dev libarchive-dev libpugixml-dev
  libcairo2-dev libpango1.0-dev fonts-wqy-microhei libsdl2-dev
  libcpp-httplib-dev libssl-dev openssl ca-certificates
  xvfb xauth x11-apps imagemagick 7zip procps iproute2
)
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# install_packages NAME... : apt-get install of the names that dpkg does not know as installed.
install_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

build() {
  install_packages "${PACKAGES[@]}"
  if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  fi
  cmake --build build -j "$(nproc)"
}

mode=${1:-}
case "$mode" in
  build)
    build
    ;;
  test)
    build
    cd build
    # Tests pick free loopback ports themselves, so they may run side by side.
    ctest --output-on-failure --timeout 600 -j "$(nproc)"
    ;;
  demo)
    build
    exec "$ROOT/tools/demo.sh"
    ;;
  fuzz)
    install_packages "${PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
    seconds=${2:-60}
    if [ ! -f build-fuzz/CMakeCache.txt ]; then
      CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DGLYPHORA_FUZZ=ON -DGLYPHORA_TESTS=OFF -DGLYPHORA_BENCH=OFF
    fi
    cmake --build build-fuzz -j "$(nproc)"
    # The skin package reader hands hostile 7z headers to libarchive, which then asks for
    # huge allocations and copes when they fail: let them fail instead of ending the run.
    export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1}
    status=0
    for f in build-fuzz/bin/fuzz_*; do
      [ -x "$f" ] || continue
      name=$(basename "$f")
      corpus="build-fuzz/corpus/$name"
      mkdir -p "$corpus"
      echo "fuzz: $name for ${seconds}s"
      "$f" -max_total_time="$seconds" -print_final_stats=1 "$corpus" || status=1
    done
    exit $status
    ;;
  *)
    sed -n '2,12p' "$0"
    exit 2
    ;;
esac
