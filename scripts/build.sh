#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as $ZELK_BUILD_DIR).
# Extra arguments go to CMake's configure step, e.g. -DZELK_SANITIZE=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${ZELK_BUILD_DIR:-build}"
launcher=()
# A compiler cache, where one is installed, makes rebuilds of other folders and trees cheap.
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" -G Ninja "${launcher[@]}" "$@"
cmake --build "$build_dir" -j"$(nproc)"
