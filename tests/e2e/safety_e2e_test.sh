#!/usr/bin/env bash
# zetra on a real X server where data could be lost: a unit that stops answering during a
# recording (its stretch shaded on the chart, listed in the file, shown by ztrtool info), notes
# typed after the file was opened again (in the saved file), the session ended by SIGTERM
# (settings written, the recording offered back and saved), and a Save under `ulimit -f` (a
# message, the window and the recording kept).
# Usage: safety_e2e_test.sh <build dir>. Leaves safety_e2e_*.png in the build dir.
set -euo pipefail
build=$(cd "${1:?usage: safety_e2e_test.sh <build dir>}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
for tool in xvfb-run xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
if [ -z "${DISPLAY:-}" ] || [ "${ZETRA_E2E_INNER:-0}" != 1 ]; then
  exec env ZETRA_E2E_INNER=1 timeout 170 xvfb-run -a -s "-screen 0 1280x800x24" \
    bash "$here/safety_e2e_test.sh" "$build"
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
app=$(mktemp -d)
pid=
stop_zetra() {
  if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  pid=
}
trap 'stop_zetra; rm -rf "$app"' EXIT
cp "$build/bin/zetra" "$build/bin/libkvwin32.so" "$build/bin/zetrat.html" "$app/"
unset QT_QPA_PLATFORM
ztrtool="$build/bin/ztrtool"
saved="$app/file1.ztr"

wait_window() {  # title pattern: the id of the first visible window matching it
  timeout 15 xdotool search --sync --onlyvisible --name "$1" | head -1
}
start_zetra() {  # [arguments]: waits for the main window
  "$app/zetra" "$@" >>"$app/zetra.log" 2>&1 &
  pid=$!
  window=$(wait_window '^ZetraII \[') || { cat "$app/zetra.log"; fail "no zetra window"; }
  xdotool windowfocus --sync "$window"
  sleep 1
}
key() { xdotool key --window "$window" --clearmodifiers "$@"; sleep 0.3; }
activate() { xdotool windowfocus --sync "$window"; key "$@"; }
shot() { import -window root "$build/safety_e2e_$1.png"; echo "$build/safety_e2e_$1.png"; }
menu() {  # titles to the right of File, then keys inside the menu
  local rights=$1; shift
  xdotool mousemove --window "$window" 12 8 click 1
  sleep 0.4
  for ((i = 0; i < rights; ++i)); do key Right; done
  key "$@"
}
# Exact-colour pixels of a region.
colour_pixels() {
  convert "$1" -crop "$2" +repage -fill black +opaque "#$3" -fill white -opaque "#$3" \
    -format "%[fx:int(mean*w*h+0.5)]" info:
}
# The bounding box (WxH+X+Y) of a colour in a picture.
box_of() { convert "$1" -fill black +opaque "#$2" -fill white -opaque "#$2" -format %@ info:; }
on_and_record() {  # Tab to On past the file and edit buttons, then Rec
  for _ in 1 2 3 4 5 6 7; do activate Tab; done
  activate space
  sleep 0.5
  activate Tab space
}

# --- 1. The unit stops answering 3 s after On, for 4 s, during a recording at 1 s per division.
ZETRA_STANDIN_QUIET=3,4 start_zetra
menu 3 Right Return  # Scales > Time_DIV > 1s
on_and_record
sleep 10
activate space  # Stop
sleep 1.5
silent=$(shot silent_unit)
chart=$(box_of "$silent" FFFFC0)
band=$(colour_pixels "$silent" "$chart" D4D4D4)
echo "chart $chart: $band pixels of the held stretch's shade"
[ "$band" -gt 2000 ] || fail "the silent stretch is not shaded on the chart"
activate ctrl+s
sleep 1
[ -f "$saved" ] || fail "file1.ztr was not saved"
info=$("$ztrtool" info "$saved")
echo "$info"
grep -Eq '^held samples \(no answer from the unit\): [0-9]+ in 1 stretch$' <<<"$info" ||
  fail "ztrtool info shows no held stretch"
grep -q '^  No answer from the unit [0-9:]*.*(samples [0-9]*.*[0-9]*)$' <<<"$info" ||
  fail "ztrtool info does not name the stretch"
held_line=$(grep '^  No answer' <<<"$info")
stop_zetra

# --- 2. The file opened again: the stretch is shaded again, notes typed at the end are saved.
start_zetra "$saved"
menu 2 Up Up Return  # View > Notes on
sleep 0.5
opened=$(shot reopened)
[ "$(colour_pixels "$opened" "$(box_of "$opened" FFFFC0)" D4D4D4)" -gt 1000 ] ||
  fail "the opened recording does not shade its held stretch"
notes=$(box_of "$opened" FFFFFF)  # the notes pane: the one white area
read -r nw nh nx ny < <(sed 's/[x+]/ /g' <<<"$notes")
echo "notes pane: $notes"
[ "$nw" -gt 200 ] || fail "no notes pane"
xdotool mousemove $((nx + nw / 2)) $((ny + nh / 2)) click 1
sleep 0.3
key ctrl+End
key Return
xdotool type --delay 30 'Buffer pH 7.4, electrode A3'
sleep 0.3
shot notes_typed >/dev/null
key ctrl+s
sleep 1
info=$("$ztrtool" info "$saved")
grep -q '^       Buffer pH 7.4, electrode A3$' <<<"$info" || { echo "$info"; fail "the typed notes are not in the file"; }
grep -qF "$held_line" <<<"$info" || fail "the saved file lost its held stretch"
samples_saved=$(sed -n 's/^samples: \([0-9]*\)$/\1/p' <<<"$info")
stop_zetra

# --- 3. The session ends during a recording that goes on from the file: SIGTERM.
rm -f "$app/zetrat.set"
start_zetra "$saved"
on_and_record
sleep 4
kill -TERM "$pid"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "zetra did not end on SIGTERM"
wait "$pid" 2>/dev/null || true
pid=
[ -s "$app/zetrat.set" ] || fail "SIGTERM did not write the settings"
ls "$app"/zetrat-*.journal >/dev/null 2>&1 || fail "SIGTERM left no journal to recover"
"$app/zetra" >>"$app/zetra.log" 2>&1 &
pid=$!
question=$(wait_window '^ZetraII$') || fail "the next start does not offer the recording back"
shot recover_question >/dev/null
xdotool windowfocus --sync "$question"
sleep 0.3; xdotool key Return  # Yes
window=$(wait_window '^ZetraII \[') || fail "no window after recovery"
sleep 1
activate ctrl+s
sleep 1
info=$("$ztrtool" info "$saved")
samples_recovered=$(sed -n 's/^samples: \([0-9]*\)$/\1/p' <<<"$info")
echo "samples: $samples_saved saved before, $samples_recovered after the recovery"
[ "$samples_recovered" -gt $((samples_saved + 4)) ] || fail "the recording was not recovered"
grep -qF "$held_line" <<<"$info" || fail "the recovered recording lost its held stretch"
grep -q 'Buffer pH 7.4' <<<"$info" || fail "the recovered recording lost its notes"
ls "$app"/zetrat-*.journal >/dev/null 2>&1 && fail "the journal outlived the Save"
stop_zetra

# --- 4. Save under a file-size limit: the journal and the Save fail with messages, zetra stays.
rm -rf "$app/limited" && mkdir "$app/limited"
cp "$build/bin/zetra" "$build/bin/libkvwin32.so" "$app/limited/"
(ulimit -f 8; exec "$app/limited/zetra" >"$app/limited.log" 2>&1) &
pid=$!
window=$(wait_window '^ZetraII \[') || fail "no zetra window under ulimit -f"
xdotool windowfocus --sync "$window"
sleep 1
on_and_record
journal_box=$(wait_window '^ZetraII$') || fail "no message about the journal"
xdotool windowfocus --sync "$journal_box"
sleep 0.3; xdotool key Return
sleep 1
activate space  # Stop
sleep 1
activate ctrl+s
save_box=$(wait_window '^Save$') || { shot no_save_message >/dev/null; fail "no message about the failed Save"; }
shot save_limit >/dev/null
xdotool windowfocus --sync "$save_box"
sleep 0.3; xdotool key Return
sleep 1
kill -0 "$pid" 2>/dev/null || fail "zetra ended at the file-size limit"
xdotool search --onlyvisible --name '^ZetraII \[' >/dev/null || fail "the window is gone"
[ -e "$app/limited/file1.ztr" ] && fail "a partial file1.ztr was left"
ls "$app/limited" | grep -q saving && fail "a temporary was left"
echo "safety e2e test passed"
