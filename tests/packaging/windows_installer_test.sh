#!/usr/bin/env bash
# The Windows setup under Wine: a silent install for the current user puts the programs into
# %LOCALAPPDATA%\Programs\zetra, a Start-menu entry and the .ztr file type (icon, Open with
# zetra.exe "%1") into the user's registry; a silent uninstall takes all of that away and leaves
# the user's recordings and settings where they were. Then the same for all users (/AllUsers:
# Program Files and the machine's registry).
# Usage: windows_installer_test.sh BUILD_WINDOWS_DIR ARCH, with WINEPREFIX set (a fresh prefix).
set -euo pipefail
out=${1:?usage: windows_installer_test.sh BUILD_WINDOWS_DIR ARCH}
arch=${2:?usage: windows_installer_test.sh BUILD_WINDOWS_DIR ARCH}
: "${WINEPREFIX:?WINEPREFIX must name the prefix to install into}"
export WINEDEBUG=${WINEDEBUG:--all}
failures=0
fail() { echo "windows-installer: FAIL: $*" >&2; failures=$((failures + 1)); }

setup=$(ls "$out"/zetra-*-"$arch"-setup.exe | head -n 1)
win_value() { wine cmd /c "echo $1" 2>/dev/null | tr -d '\r'; }
unix_path() { winepath -u "$1" 2>/dev/null; }
# The default value of a registry key, or nothing when the key is missing.
reg_default() {
  wine reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p'
}
# The uninstaller copies itself to the temporary folder and runs from there: wait for it to
# have removed itself.
wait_until_gone() {
  local file=$1 waited=0
  while [ -e "$file" ] && [ "$waited" -lt 120 ]; do sleep 1; waited=$((waited + 1)); done
  [ ! -e "$file" ] || fail "the uninstaller did not finish within 120 s"
}

check_round() {
  local scope=$1 root=$2 folder_win=$3 menu_win=$4
  shift 4
  local folder menu
  wine "$setup" /S "$@" || fail "$scope: the setup failed ($?)"
  folder=$(unix_path "$folder_win")
  menu=$(unix_path "$menu_win")
  for file in zetra.exe ztrtool.exe kvwin32-demo.dll zetrat.html zetra-recording.ico uninstall.exe; do
    [ -f "$folder/$file" ] || fail "$scope: $folder_win\\$file was not installed"
  done
  [ -f "$menu/zetra/zetra.lnk" ] || fail "$scope: no Start-menu entry in $menu_win\\zetra"
  local classes="$root\\Software\\Classes"
  [ "$(reg_default "$classes\\.ztr")" = zetra.Recording ] || fail "$scope: .ztr is not registered"
  [ "$(reg_default "$classes\\zetra.Recording\\shell\\open\\command")" = "\"$folder_win\\zetra.exe\" \"%1\"" ] ||
    fail "$scope: Open is $(reg_default "$classes\\zetra.Recording\\shell\\open\\command")"
  [ "$(reg_default "$classes\\zetra.Recording\\DefaultIcon")" = "$folder_win\\zetra-recording.ico" ] ||
    fail "$scope: the file type has no icon"
  wine reg query "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zetra-$arch" \
    /v UninstallString >/dev/null 2>&1 || fail "$scope: not listed among the installed programs"

  # What the user made while using it: recordings, settings, the port choice, a journal.
  printf 'recording' >"$folder/file1.ztr"
  printf 'settings' >"$folder/zetrat.set"
  printf 'ports' >"$folder/zetrat.ports"
  wine "$folder/uninstall.exe" /S || fail "$scope: the uninstaller failed ($?)"
  wait_until_gone "$folder/uninstall.exe"
  for file in zetra.exe ztrtool.exe kvwin32-demo.dll zetrat.html zetra-recording.ico; do
    [ ! -e "$folder/$file" ] || fail "$scope: $file is left after uninstalling"
  done
  [ "$(cat "$folder/file1.ztr" 2>/dev/null)" = recording ] || fail "$scope: the recording is gone"
  [ "$(cat "$folder/zetrat.set" 2>/dev/null)" = settings ] || fail "$scope: the settings are gone"
  [ "$(cat "$folder/zetrat.ports" 2>/dev/null)" = ports ] || fail "$scope: the port choice is gone"
  [ ! -e "$menu/zetra" ] || fail "$scope: the Start-menu folder is left"
  [ -z "$(reg_default "$classes\\.ztr")" ] || fail "$scope: .ztr is still registered"
  wine reg query "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zetra-$arch" \
    >/dev/null 2>&1 && fail "$scope: still listed among the installed programs"
  echo "windows-installer: $scope: install, registration and uninstall checked"
}

local_app_data=$(win_value '%LOCALAPPDATA%')
check_round "current user" HKCU "$local_app_data\\Programs\\zetra" "$(win_value '%APPDATA%')\\Microsoft\\Windows\\Start Menu\\Programs"
if [ "$arch" = x64 ]; then program_files=$(win_value '%ProgramW6432%'); else program_files=$(win_value '%ProgramFiles(x86)%'); fi
check_round "all users" HKLM "$program_files\\zetra" "$(win_value '%ProgramData%')\\Microsoft\\Windows\\Start Menu\\Programs" /AllUsers

if [ "$failures" -gt 0 ]; then
  echo "windows-installer: $failures failure(s)" >&2
  exit 1
fi
echo "windows-installer: passed"
