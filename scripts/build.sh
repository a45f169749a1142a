#!/usr/bin/env bash
# Builds the Windows program (build/win) and, unless told "win", the native
# core, tests and harness (build/native) and the fuzz targets (build/fuzz).
# Usage: scripts/build.sh [all|win|native]
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
jobs=$(nproc)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)

if [ "$what" = all ] || [ "$what" = win ]; then
  cmake -S . -B build/win "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
  cmake --build build/win -j "$jobs"
fi
if [ "$what" = all ] || [ "$what" = native ]; then
  # The fuzz targets first: the native build registers their short runs as
  # tests when it finds them.
  if command -v clang++ >/dev/null; then
    cmake -S . -B build/fuzz "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_FUZZ=ON \
          -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build build/fuzz -j "$jobs"
  fi
  cmake -S . -B build/native "${gen[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/native -j "$jobs"
fi
