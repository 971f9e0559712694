#!/usr/bin/env bash
# Makes a fresh Wine prefix in $WINEPREFIX (an empty or missing folder) for the Windows tests.
# Runs only inside scripts/serial-sandbox.sh, where every serial device is the null device, and
# maps COM1..COM4 to /dev/null too; then checks that every COM port Wine made reaches nothing else.
# (A new prefix maps the serial devices it finds to COM ports, /dev/ttyS0, this machine's console,
# included: no test may ever open that.)
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the folder of the new prefix}"
is_null_device() { [ "$(stat -L -c '%F %t:%T' "$1" 2>/dev/null)" = "character special file 1:3" ]; }

for device in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
  if [ -e "$device" ] && ! is_null_device "$device"; then
    echo "wine-prefix: $device is visible: run this inside scripts/serial-sandbox.sh" >&2
    exit 1
  fi
done
if [ -e "$WINEPREFIX" ] && [ -n "$(ls -A "$WINEPREFIX")" ]; then
  echo "wine-prefix: $WINEPREFIX is not empty" >&2
  exit 1
fi
mkdir -p "$WINEPREFIX"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: nothing here needs them, and their installers would ask for a download.
export WINEDLLOVERRIDES="mscoree=;mshtml="
wineboot -i >/dev/null 2>&1
for n in 1 2 3 4; do
  wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d /dev/null /f >/dev/null 2>&1
done
# The ports are mapped when Wine starts: restart it, then look at what each COM port reaches.
wineserver -k || true
wineboot >/dev/null 2>&1
wineserver -w
for port in "$WINEPREFIX"/dosdevices/com*; do
  [ -e "$port" ] || [ -L "$port" ] || continue
  if ! is_null_device "$port"; then
    echo "wine-prefix: $(basename "$port") reaches $(readlink "$port")" >&2
    exit 1
  fi
done
echo "wine-prefix: $WINEPREFIX ready; its COM ports reach only the null device"
