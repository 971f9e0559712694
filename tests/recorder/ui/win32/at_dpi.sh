#!/bin/sh
# Runs a window test program under Wine at another screen DPI: in a copy of the caller's prefix
# ($WINEPREFIX) whose LogPixels is set, so that the caller's prefix stays as it was.
# Arguments: DPI, the test program, its arguments.
set -u
dpi=$1
shift
copy=$(mktemp -d)
trap 'WINEPREFIX="$copy/prefix" wineserver -k 2> /dev/null; rm -rf "$copy"' EXIT
cp -a "${WINEPREFIX:-$HOME/.wine}" "$copy/prefix"
export WINEPREFIX="$copy/prefix" ZETRA_EXPECTED_DPI=$dpi
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f > /dev/null 2>&1
wine "$@"
