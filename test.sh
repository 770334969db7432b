#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
cd "${BUILD_DIR:-build}"
# A test that fails is run once more: the kill-timing test of compaction
# (cli_compact) fails now and then on a loaded machine and is being looked
# into; a fault that stays fails both runs.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --repeat until-pass:2 "$@"
