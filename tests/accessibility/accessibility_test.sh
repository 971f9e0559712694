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
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 "$app/zetra" >"$app/zetra.log" 2>&1 &
pids+=($!)
/usr/bin/python3 "$here/accessibility_test.py" || { cat "$app/zetra.log"; exit 1; }
