#!/usr/bin/env bash
# Installs what is missing, builds, and starts zetra. Without a display it runs under a virtual one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
zetra="${BUILD_DIR:-$root/build}/bin/zetra"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting zetra on a virtual X server (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$zetra"
fi
exec "$zetra"
