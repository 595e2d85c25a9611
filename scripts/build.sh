#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as $ZELK_BUILD_DIR).
# Extra arguments go to CMake's configure step, e.g. -DZELK_SANITIZE=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${ZELK_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja "$@"
cmake --build "$build_dir" -j"$(nproc)"
