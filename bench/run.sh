#!/usr/bin/env bash
# Builds the benchmarks in Release (build-release/) and runs them, printing
# the figures and, for the store, each one's ratio to BM_Md5 of the same run.
# Extra arguments go to the benchmark binary (e.g. --benchmark_filter=Store).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build-release}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DBRINDLE_BUILD_APP=OFF >/dev/null
cmake --build "$build_dir" --target vaultline_bench -j2
out=$(mktemp)
"$build_dir/bench/vaultline_bench" --benchmark_format=json --benchmark_out="$out" \
  --benchmark_out_format=json "$@" >&2
python3 - "$out" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
md5 = next((r["bytes_per_second"] for r in runs if r["name"].startswith("BM_Md5")), None)
for r in runs:
    line = f'{r["name"]:<40} {r["real_time"]:>10.2f} {r["time_unit"]:<3}'
    bps = r.get("bytes_per_second")
    if bps:
        line += f' {bps / 1e6:9.1f} MB/s'
        if md5 and not r["name"].startswith("BM_Md5"):
            line += f'  ratio to BM_Md5 {bps / md5:.2f}'
    print(line)
PY
rm -f "$out"
