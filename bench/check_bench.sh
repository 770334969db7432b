#!/usr/bin/env bash
# Throughput of `vaultline check --read-data` on a store of about 1 GiB
# (SIZE_MIB to change it), as a ratio to single-core MD5 (`openssl speed -evp
# md5`, 8 KiB blocks) measured in the same run. The check is bound by MD5.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${SIZE_MIB:-1024}
build_dir=${BUILD_DIR:-build-release}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DBRINDLE_BUILD_APP=OFF >/dev/null
cmake --build "$build_dir" --target vaultline_cli -j2 >/dev/null
vaultline="$build_dir/drive/vaultline"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/drive"
# Incompressible, distinct files: every block is stored once.
for i in $(seq 1 $((size_mib / 64))); do
  head -c $((64 << 20)) /dev/urandom >"$work/src/part$i.bin"
done
"$vaultline" --drive "$work/drive" create big "$work/src" >/dev/null
"$vaultline" --drive "$work/drive" config max-backup-size $((size_mib * 4 << 20)) >/dev/null
"$vaultline" --drive "$work/drive" backup big >/dev/null
stored=$(du -sb "$work/drive/BackupStorage" | cut -f1)

best=0
for run in 1 2 3; do
  start=$(date +%s.%N)
  "$vaultline" --drive "$work/drive" check big --read-data >/dev/null
  end=$(date +%s.%N)
  best=$(python3 -c "print(max($best, $stored / ($end - $start) / 1e6))")
done
md5=$(openssl speed -evp md5 -bytes 8192 -seconds 3 2>/dev/null | awk '/^md5/ {print $2}' | tr -d k)
md5=$(python3 -c "print(float('$md5') * 1000 / 1e6)")
python3 - "$stored" "$best" "$md5" <<'PY'
import sys
stored, check, md5 = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
print(f"store             {stored / 2**20:10.1f} MiB")
print(f"check --read-data {check:10.1f} MB/s (best of 3)")
print(f"MD5, one core     {md5:10.1f} MB/s")
print(f"ratio             {check / md5:10.2f}")
PY
