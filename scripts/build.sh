#!/usr/bin/env bash
# Configures and builds build/ (or $BUILD_DIR) with -j2.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} ${CMAKE_ARGS:-}
cmake --build "$build_dir" -j2
