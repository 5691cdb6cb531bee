#!/usr/bin/env bash
# Installs what the build needs (Debian packages) when missing, then
# configures and builds into build/. Sourced by ./run and ./test.
# With SANITIZE=1 (./test --sanitize) the build goes to build-sanitize/ instead,
# compiled with AddressSanitizer and UndefinedBehaviorSanitizer, benchmarks off.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SANITIZE="${SANITIZE:-0}"
if [ "$SANITIZE" = 1 ]; then
  BUILD_DIR="${BUILD_DIR:-$ROOT/build-sanitize}"
else
  BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
fi
PACKAGES=(cmake g++ make qt6-base-dev qt6-svg-dev libqcustomplot-dev libgtest-dev libgmock-dev
          libbenchmark-dev libopenmpi-dev openmpi-bin ninja-build)

missing=()
for package in "${PACKAGES[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi

# One compiler per core, and one more to fill the gaps while another waits on
# the disk; a link of the largest program takes well under 1 GB.
BUILD_JOBS="${BUILD_JOBS:-$(( $(nproc) + 1 ))}"

cmake_extra=()
if [ "$SANITIZE" = 1 ]; then
  # Warnings are not errors here: g++ warns spuriously on instrumented code
  # (maybe-uninitialized, stringop-overflow); the normal build enforces them.
  sanitize_flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
  cmake_extra+=(-DCMAKE_CXX_COMPILER=g++ "-DCMAKE_CXX_FLAGS=$sanitize_flags"
                "-DCMAKE_EXE_LINKER_FLAGS=$sanitize_flags" -DESTIMETRIX_BENCH=OFF
                -DESTIMETRIX_WERROR=OFF)
  command -v ccache >/dev/null && cmake_extra+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# Ninja, when present, for a new build folder (an existing one keeps its generator).
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ] && command -v ninja >/dev/null; then
  cmake_extra+=(-G Ninja)
fi
# The sanitizer build keeps debug information for its reports. The normal
# build optimises as the release does (-O2) but carries none: debug
# information makes a clean build of this code about half as slow again, and
# a developer who wants a debugger configures a folder of their own.
if [ "$SANITIZE" = 1 ]; then
  cmake_extra+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
else
  cmake_extra+=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")
fi
cmake -S "$ROOT" -B "$BUILD_DIR" "${cmake_extra[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j "$BUILD_JOBS"
