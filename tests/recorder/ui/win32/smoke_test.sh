#!/bin/sh
# Starts zetra.exe under Wine and drives it from another process by its controls' captions: once
# with no device library beside it (On says why), once with the simulated unit (--demo-unit: On,
# Rec, a marker, a screenshot of the recording, Stop, the exit question). Needs an X server
# ($DISPLAY) and a Wine prefix whose serial ports lead nowhere ($WINEPREFIX).
# Arguments: bin folder, screenshot file.
set -u
bin=$1
shot=$2
driver="$bin/zetra_smoke_driver.exe"
# A folder of its own: the program keeps its settings beside itself, so each run starts afresh.
run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
cp "$bin/zetra.exe" "$bin/zetrat.html" "$run/"
status=0

wine "$run/zetra.exe" > /dev/null 2>&1 &
zetra=$!
wine "$driver" wait && wine "$driver" no-unit || status=1
kill $zetra 2> /dev/null
wait $zetra 2> /dev/null

cp "$bin/kvwin32-demo.dll" "$run/"
rm -f "$run/zetrat.set"  # a first start again: the link is USB1
wine "$run/zetra.exe" --demo-unit > /dev/null 2>&1 &
zetra=$!
if wine "$driver" wait && wine "$driver" record; then
  import -window root "$shot" || echo "no screenshot taken"
  wine "$driver" finish || status=1
else
  status=1
fi
kill $zetra 2> /dev/null
wait $zetra 2> /dev/null
exit $status
