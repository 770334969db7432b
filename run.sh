#!/usr/bin/env bash
# Installs what is missing, builds and starts the desktop program on the
# drive folder build/drive/ (the image of the USB stick).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
drive=build/drive
if [ -x "$drive/marrowby" ]; then
  exec "$drive/marrowby" --drive "$drive" "$@"
fi
echo "The desktop program is not built yet; starting the command line instead." >&2
exec "$drive/vaultline" --drive "$drive" "${@:-list}"
