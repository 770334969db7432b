#!/usr/bin/env bash
# Builds build-tsan/ (or $BUILD_DIR) with ThreadSanitizer and runs every test
# there. Every report of every process, the programs the tests start
# included, is kept in build-tsan/tsan-reports/; the run fails if there is
# any, even when a test passed on its second run.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build-tsan}
BUILD_DIR=$build_dir CMAKE_ARGS="-DBRINDLE_TSAN=ON -DBRINDLE_BUILD_BENCH=OFF ${CMAKE_ARGS:-}" \
  scripts/build.sh
reports=$(realpath "$build_dir")/tsan-reports
rm -rf "$reports"
mkdir -p "$reports"
status=0
(
  cd "$build_dir"
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 log_path=$reports/report ${TSAN_OPTIONS:-}" \
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --repeat until-pass:2 "$@"
) || status=$?
if compgen -G "$reports/report*" >/dev/null; then
  cat "$reports"/report*
  echo "ThreadSanitizer reported the above (kept in $reports)." >&2
  exit 1
fi
exit $status
