#!/usr/bin/env bash
# zetra on a real X server, driven as a user would: the keyboard walks to On and Rec, the stand-in
# unit records a few seconds with a marker, Stop, Ctrl+S saves file1.ztr without a dialog; ztrtool
# checks the file and a screenshot must show the four trace colours. Bounded to about a minute.
# Usage: e2e_test.sh <build dir> [screenshot copy]. Leaves e2e_screenshot.png in the build dir.
set -euo pipefail
build=$(cd "${1:?usage: e2e_test.sh <build dir> [screenshot copy]}" && pwd)
copy_to=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
for tool in xvfb-run xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
if [ -z "${DISPLAY:-}" ] || [ "${ZETRA_E2E_INNER:-0}" != 1 ]; then
  exec env ZETRA_E2E_INNER=1 timeout 90 xvfb-run -a -s "-screen 0 1280x800x24" \
    bash "$here/e2e_test.sh" "$build" "$copy_to"
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
app=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$app"
}
trap cleanup EXIT

# A fresh copy of the program's folder: no settings file, so the link starts on USB1 (stand-in).
cp "$build/bin/zetra" "$build/bin/libkvwin32.so" "$build/bin/zetrat.html" "$app/"
unset QT_QPA_PLATFORM
"$app/zetra" >"$app/zetra.log" 2>&1 &
pid=$!

window=$(timeout 15 xdotool search --sync --onlyvisible --name '^ZetraII \[' | head -1) ||
  fail "no zetra window"
xdotool windowfocus --sync "$window"
sleep 1
key() { xdotool key --window "$window" --clearmodifiers "$@"; sleep 0.3; }
activate() { xdotool windowfocus --sync "$window"; key "$@"; }

# Scales menu by keyboard from File (the leftmost title): Right three times opens Scales with its
# first item, Time_DIV, chosen; `downs` more items down, Right opens the submenu at its first
# choice, then `keys` pick the choice.
scales() {
  local downs=$1; shift
  xdotool mousemove --window "$window" 12 8 click 1
  sleep 0.4
  key Right Right Right
  for ((i = 0; i < downs; ++i)); do key Down; done
  key Right "$@" Return
}
scales 0              # Time_DIV 1s: a few seconds fill a good part of the chart
scales 4 Up           # T2_DIV 20 C (the last choice): CH2's temperature apart from CH1's

# Focus starts on the first button (Open); seven Tabs reach On past the file and edit buttons.
for _ in 1 2 3 4 5 6 7; do activate Tab; done
activate space           # On: the link to the stand-in unit
sleep 1
activate Tab space       # Rec, now enabled, is next
sleep 4
activate ctrl+m          # a marker
sleep 4
activate space           # Stop (the same button)
sleep 1
activate ctrl+s          # Save: file1.ztr beside the program, no dialog
sleep 1

saved="$app/file1.ztr"
[ -f "$saved" ] || { cat "$app/zetra.log"; fail "file1.ztr was not saved"; }
"$build/bin/ztrtool" check "$saved" || fail "ztrtool check"
info=$("$build/bin/ztrtool" info "$saved")
echo "$info"
samples=$(sed -n 's/^samples:[[:space:]]*\([0-9]*\).*/\1/Ip' <<<"$info" | head -1)
[ -n "$samples" ] && [ "$samples" -gt 0 ] || fail "no samples in the saved file"

shot="$build/e2e_screenshot.png"
import -window root "$shot"
[ -z "$copy_to" ] || cp "$shot" "$copy_to"
# Exact trace colours as RGB inside the chart (its light yellow back, 0xFFFFC0), where the scale
# labels in the same colours cannot count; a few pixels of each show the trace was drawn.
chart=$(convert "$shot" -fill black +opaque "#FFFFC0" -fill white -opaque "#FFFFC0" -format %@ info:)
echo "chart area: $chart"
# The legend along the chart's top edge is in the same colours: the strip it takes is left out.
read -r cw ch cx cy < <(sed 's/[x+]/ /g' <<<"$chart")
traces="${cw}x$((ch - 24))+$cx+$((cy + 24))"
histogram=$(convert "$shot" -crop "$traces" +repage -format %c histogram:info:-)
for colour in 0000FF 00FF00 FF0000 FF00FF; do
  count=$(grep -i "#$colour\b" <<<"$histogram" | awk '{sub(":","",$1); print $1}' | head -1)
  echo "#$colour: ${count:-0} pixels"
    [ "${count:-0}" -ge 5 ] || fail "no trace in #$colour in the chart"
done
echo "e2e test passed: $samples samples, screenshot $shot"
