#!/usr/bin/env bash
# zetra on a real X server as a lab user meets it: a recording long enough to scroll, the status
# field telling the recording, the legend on the chart, the wheel, Ctrl+wheel and keys on the
# chart, the recording opened from the command line, and chart and notes printed to PDF files on
# a machine without printers (pages, the four scales, the file name, curves cut at the frame).
# Usage: lab_e2e_test.sh <build dir>. Leaves lab_e2e_*.png and lab_e2e_*.pdf in the build dir;
# lab_e2e_home_again.png is the window at its default size with a hover readout on the status line.
set -euo pipefail
build=$(cd "${1:?usage: lab_e2e_test.sh <build dir>}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
for tool in xvfb-run xdotool import convert compare pdfinfo pdftotext pdftoppm; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
if [ -z "${DISPLAY:-}" ] || [ "${ZETRA_E2E_INNER:-0}" != 1 ]; then
  exec env ZETRA_E2E_INNER=1 timeout 150 xvfb-run -a -s "-screen 0 1280x800x24" \
    bash "$here/lab_e2e_test.sh" "$build"
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
app=$(mktemp -d)
pid=
stop_zetra() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  pid=
}
trap 'stop_zetra; rm -rf "$app"' EXIT
cp "$build/bin/zetra" "$build/bin/libkvwin32.so" "$build/bin/zetrat.html" "$app/"
unset QT_QPA_PLATFORM

start_zetra() {  # [file]: waits for the window whose title names the file (or any zetra window)
  "$app/zetra" "$@" >>"$app/zetra.log" 2>&1 &
  pid=$!
  local title='^ZetraII \['
  [ $# -eq 0 ] || title=$(basename "$1" | sed 's/[.]/[.]/g')
  window=$(timeout 15 xdotool search --sync --onlyvisible --name "$title" | head -1) ||
    { cat "$app/zetra.log"; fail "no zetra window titled $title"; }
  xdotool windowfocus --sync "$window"
  sleep 1
}
key() { xdotool key --window "$window" --clearmodifiers "$@"; sleep 0.3; }
activate() { xdotool windowfocus --sync "$window"; key "$@"; }
shot() { import -window root "$build/lab_e2e_$1.png"; echo "$build/lab_e2e_$1.png"; }
# Pixels of a region (WxH+X+Y) darker than mid grey: text drawn there.
dark_pixels() {
  convert "$1" -crop "$2" +repage -colorspace gray -threshold 50% -negate -format "%[fx:int(mean*w*h+0.5)]" info:
}
# Exact-colour pixels of a region.
colour_pixels() {
  convert "$1" -crop "$2" +repage -fill black +opaque "#$3" -fill white -opaque "#$3" \
    -format "%[fx:int(mean*w*h+0.5)]" info:
}
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = 0 ]; }
region() { convert "$1" -crop "$2" +repage "$3"; }

# --- A recording of some 25 seconds at 1 s per division (40 samples across): longer than a view.
start_zetra
eval "$(xdotool getwindowgeometry --shell "$window")"  # X Y WIDTH HEIGHT
# The status bar's two rows: the status field above the status line (scales, readout).
status_field="400x15+$X+$((Y + HEIGHT - 32))"
xdotool mousemove --window "$window" 12 8 click 1
sleep 0.4
key Right Right Right Right Return  # Scales > Time_DIV > 1s
before=$(shot idle)
for _ in 1 2 3 4 5 6 7; do activate Tab; done
activate space  # On
sleep 1
activate Tab space  # Rec
sleep 12
activate ctrl+m  # a marker: a dip far below the chart
sleep 13
recording=$(shot recording)
quiet=$(dark_pixels "$before" "$status_field")
busy=$(dark_pixels "$recording" "$status_field")
echo "status field text pixels: $quiet idle, $busy while recording"
[ "$busy" -gt $((quiet + 40)) ] || fail "the status field does not show the recording"
activate space  # Stop
sleep 1

# --- The legend: each trace's colour in the strip along the chart's top edge.
legend_shot=$(shot stopped)
chart=$(convert "$legend_shot" -fill black +opaque "#FFFFC0" -fill white -opaque "#FFFFC0" -format %@ info:)
read -r cw ch cx cy < <(sed 's/[x+]/ /g' <<<"$chart")
echo "chart: $chart"
# Each of the four trace colours in a region of the screenshot: expect_trace_colours WHAT REGION.
expect_trace_colours() {
  for colour in 0000FF 00FF00 FF0000 FF00FF; do
    n=$(colour_pixels "$legend_shot" "$2" "$colour")
    echo "$1 #$colour: $n pixels"
    [ "$n" -ge 3 ] || fail "$1 lacks #$colour"
  done
}
expect_trace_colours legend "$((cw / 2))x16+$cx+$((cy + 2))"

# --- The vertical bars' captions: each trace's colour above the bars, right of the chart's scale
# labels (which use the same colours) at the window's default size.
expect_trace_colours "bar captions" "78x40+$((X + WIDTH - 78))+$cy"

# --- Navigation on the chart: wheel, keys, Ctrl+wheel.
area="${cw}x${ch}+$cx+$cy"
status_line="190x15+$X+$((Y + HEIGHT - 15))"  # the scales; a hover readout may follow
mx=$((cx + cw / 2)); my=$((cy + ch / 2))
xdotool mousemove "$mx" "$my" click 1; sleep 0.3  # the chart takes the keyboard focus
key Home
region "$(shot home)" "$area" "$app/home.png"
xdotool click 5; sleep 0.5  # wheel towards the user: later in time
region "$(shot wheel)" "$area" "$app/wheel.png"
same "$app/home.png" "$app/wheel.png" && fail "the wheel did not scroll the chart"
key End
region "$(shot end)" "$area" "$app/end.png"
same "$app/wheel.png" "$app/end.png" && fail "End did not move the chart"
key Home
region "$(shot home_again)" "$area" "$app/home2.png"
region "$build/lab_e2e_home_again.png" "$status_line" "$app/status1.png"
xdotool keydown ctrl click 5 keyup ctrl; sleep 0.5  # Time/DIV one value out: 2 s
region "$(shot zoomed)" "$status_line" "$app/status2.png"
same "$app/status1.png" "$app/status2.png" && fail "Ctrl+wheel did not change Time/DIV"
xdotool keydown ctrl click 4 keyup ctrl; sleep 0.5  # and back to 1 s: two pages to print
region "$(shot unzoomed)" "$status_line" "$app/status3.png"
same "$app/status1.png" "$app/status3.png" || fail "Ctrl+wheel did not step Time/DIV back"
activate ctrl+s  # Save: file1.ztr
sleep 1
stop_zetra

# --- The recording opened from the command line, then printed to PDF without any printer.
cp "$app/file1.ztr" "$app/lab run.ztr"
start_zetra "$app/lab run.ztr"
shot opened >/dev/null
print_to() {  # File menu item number, the file dialog's title, PDF path
  xdotool mousemove --window "$window" 12 8 click 1
  sleep 0.4
  for ((i = 0; i < $1; ++i)); do key Down; done
  key Return
  local dialog
  dialog=$(timeout 15 xdotool search --sync --onlyvisible --name "^$2\$" | head -1) ||
    { shot "no_dialog_$1" >/dev/null; fail "no \"$2\" dialog"; }
  xdotool windowfocus --sync "$dialog"
  sleep 0.5
  xdotool type --delay 20 "$3"
  xdotool key --clearmodifiers Return
  for _ in $(seq 30); do  # the file is complete once the dialog is gone and it has a size
    if [ -s "$3" ] && ! xdotool search --onlyvisible --name "^$2\$" >/dev/null 2>&1; then break; fi
    sleep 0.5
  done
  sleep 0.5
  [ -s "$3" ] || { shot "dialog_$1" >/dev/null; fail "no PDF at $3"; }
}
print_to 7 "Print to PDF" "$app/chart.pdf"
print_to 8 "Print notes to PDF" "$app/notes.pdf"
cp "$app/chart.pdf" "$build/lab_e2e_chart.pdf"
cp "$app/notes.pdf" "$build/lab_e2e_notes.pdf"

pages=$(pdfinfo "$app/chart.pdf" | awk '/^Pages:/ {print $2}')
echo "chart PDF: $pages pages"
[ "$pages" -ge 2 ] || fail "the chart PDF should have a page per view, got $pages"
text=$(pdftotext -layout "$app/chart.pdf" -)
# The four scales' names with units, CH2's own values, the file name and the time of printing.
for word in "CH1 pA" "CH2 pA" "CH1 °C" "CH2 °C" "4500" "100°C" "lab run.ztr" "Printed 20"; do
  grep -qF "$word" <<<"$text" || fail "the chart PDF lacks \"$word\""
done
pdftotext "$app/notes.pdf" - | grep -q "Notes:" || fail "the notes PDF lacks the notes"
# Curves cut at the frame: between the time labels under the frame and the foot line no pixel is
# in the CH1 colour, although the marker dips far below the frame.
boxes=$(pdftotext -bbox -f 1 -l 1 "$app/chart.pdf" -)
label_top=$(grep -m1 '>0s<' <<<"$boxes" | sed 's/.*yMin="\([0-9.]*\)".*/\1/')
foot_top=$(grep -m1 '>DIV:<' <<<"$boxes" | sed 's/.*yMin="\([0-9.]*\)".*/\1/')
[ -n "$label_top" ] && [ -n "$foot_top" ] || fail "no time label or foot line on page 1"
pdftoppm -r 72 -f 1 -l 1 -aa no -aaVector no -png "$app/chart.pdf" "$app/page"
page=$(ls "$app"/page*.png | head -1)
cp "$page" "$build/lab_e2e_chart_page1.png"
page_width=$(identify -format %w "$page")
band_top=${label_top%.*}; band_bottom=${foot_top%.*}
band="${page_width}x$((band_bottom - band_top))+0+$band_top"
below=$(colour_pixels "$page" "$band" 0000FF)
inside=$(colour_pixels "$page" "${page_width}x$band_top+0+0" 0000FF)
echo "CH1 pixels: $inside above the time labels, $below between them and the foot line"
[ "$inside" -gt 50 ] || fail "no CH1 curve on the printed page"
[ "$below" -eq 0 ] || fail "the printed CH1 curve runs out of the frame"
echo "lab e2e test passed"
