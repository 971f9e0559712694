#!/usr/bin/env bash
# Runs a command where no serial device of this machine can be opened: in a private mount
# namespace, every /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* is the null device. Wine maps the
# serial devices it finds to COM ports of its own (a fresh prefix gives /dev/ttyS0, this machine's
# console, the next free COM number), so the Windows tests run only in here.
# Usage: serial-sandbox.sh COMMAND [ARGS...]
set -euo pipefail
if [ "${ZETRA_SERIAL_HIDDEN:-0}" = 1 ]; then exec "$@"; fi
unshare_cmd=(unshare --mount --propagation private)
if [ "$(id -u)" -ne 0 ]; then unshare_cmd+=(--map-root-user); fi
exec "${unshare_cmd[@]}" bash -c '
  set -e
  for device in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
    [ -e "$device" ] && mount --bind /dev/null "$device"
  done
  export ZETRA_SERIAL_HIDDEN=1
  exec "$@"' serial-sandbox "$@"
