#!/bin/sh
# Starts zetra.exe under Wine, keeps a screenshot of the screen once the window is up, and drives
# it from another process by its controls' captions. Needs an X server ($DISPLAY) and a Wine
# prefix whose serial ports lead nowhere ($WINEPREFIX). Arguments: bin folder, screenshot file.
set -u
bin=$1
shot=$2
# A folder of its own: the program keeps its settings beside itself, so each run starts afresh.
run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
cp "$bin/zetra.exe" "$bin/zetrat.html" "$run/"
wine "$run/zetra.exe" > /dev/null 2>&1 &
zetra=$!
status=0
wine "$bin/zetra_smoke_driver.exe" wait || status=1
if [ $status -eq 0 ]; then
  sleep 2  # the first paint
  import -window root "$shot" || echo "no screenshot taken"
  wine "$bin/zetra_smoke_driver.exe" drive || status=1
fi
kill $zetra 2> /dev/null
wait $zetra 2> /dev/null
exit $status
