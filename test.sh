#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
cd "${BUILD_DIR:-build}"
# A test that fails is run once more, and both runs are in the output: tests
# that kill or race processes on a loaded machine may lose a race now and
# then, while a fault that stays fails both runs.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --repeat until-pass:2 "$@"
