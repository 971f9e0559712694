#!/usr/bin/env bash
# Starts zetra from a fresh copy of its folder on a private X server and session bus with the
# accessibility bus up, then lets accessibility_test.py read and drive the window through AT-SPI.
# Usage: accessibility_test.sh <build dir>
set -euo pipefail
build=$(cd "${1:?usage: accessibility_test.sh <build dir>}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher
for tool in xvfb-run dbus-run-session "$launcher"; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/install-deps.sh)"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
  { echo "SKIP: python3-pyatspi is missing (scripts/install-deps.sh)"; exit 77; }
if [ "${ZETRA_A11Y_INNER:-0}" != 1 ]; then
  exec env ZETRA_A11Y_INNER=1 timeout 100 xvfb-run -a -s "-screen 0 1280x800x24" \
    dbus-run-session -- bash "$here/accessibility_test.sh" "$build"
fi

app=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$app"
}
trap cleanup EXIT

"$launcher" --launch-immediately >/dev/null 2>&1 &
pids+=($!)
sleep 1
cp "$build/bin/zetra" "$build/bin/libkvwin32.so" "$build/bin/zetrat.html" "$app/"
unset QT_QPA_PLATFORM
# The X server may not take connections at the very moment xvfb-run hands over (seen once in CI:
# "could not connect to display"): wait for its socket, and start zetra again if it could not
# connect.
for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X${DISPLAY#*:}" ] && break; sleep 0.2; done
for attempt in 1 2 3; do
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 "$app/zetra" >"$app/zetra.log" 2>&1 &
  zetra_pid=$!
  sleep 3
  kill -0 "$zetra_pid" 2>/dev/null && break
  grep -q "could not connect to display" "$app/zetra.log" || break
  echo "accessibility_test: zetra could not reach $DISPLAY (attempt $attempt); starting it again"
done
pids+=("$zetra_pid")
/usr/bin/python3 "$here/accessibility_test.py" || { cat "$app/zetra.log"; exit 1; }
