#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the desktop
# program need, when any is missing. As root it runs apt-get; otherwise it
# prints the exact command and fails.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  libsodium-dev libzstd-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 libgl-dev qt6-translations-l10n
  fonts-dejavu-core
  exfat-fuse exfatprogs fuse3 libfuse3-dev util-linux
  python3 patchelf binutils
  dbus-daemon libglib2.0-bin
  openssl time findutils
  clang-format
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

cmd="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "error: missing packages; run as root:" >&2
  echo "  apt-get update && $cmd" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
$cmd
