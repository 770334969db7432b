#!/bin/sh
# Brindle+ on this drive. The desktop's file manager offers to run this file
# when the drive is plugged in; it starts Marrowby from the drive, wherever
# the drive is mounted, which then asks "Back up now?".
#
# The desktop may start it as "sh /media/.../autorun.sh" with any current
# folder, or by its path alone: the drive is the folder this file is in.
case "$0" in
  */*) drive=$(dirname -- "$0") ;;
  *) drive=. ;;
esac
drive=$(cd -- "$drive" && pwd) || exit 1
exec "$drive/marrowby" --drive "$drive" --offer-backup "$@"
