#!/usr/bin/env bash
# Inspects the Windows programs of build-windows/<arch>/bin without running them: each image is
# for its machine, imports only DLLs that come with Windows (the C and C++ run-times are linked
# in), zetra.exe does not import the device library (it loads it when connecting), and the
# simulated unit's DLL exports exactly the library's 18 functions under undecorated names, on
# x86 with the standard calling convention (decorated symbols name the bytes each callee pops).
# Usage: windows_images_test.sh BUILD_WINDOWS_DIR
set -euo pipefail
out=${1:?usage: windows_images_test.sh BUILD_WINDOWS_DIR}
failures=0
fail() { echo "windows-images: FAIL: $*" >&2; failures=$((failures + 1)); }

system_dlls=" advapi32.dll comctl32.dll comdlg32.dll dwmapi.dll gdi32.dll imm32.dll kernel32.dll
  msvcrt.dll ole32.dll oleaut32.dll oleacc.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll
  user32.dll uxtheme.dll version.dll winmm.dll winspool.drv "
system_dlls=$(tr -s ' \n' '  ' <<<"$system_dlls")
# Each function with the bytes of its arguments (8-bit values are passed as 4 bytes).
exports="KV_OpenDevice@4 KV_CloseDevice@4 KV_RequestOwnership@4 KV_ReleaseOwnership@4
  KV_QueryOwnership@8 KV_WriteWord@12 KV_WriteBlock@16 KV_ReadWord@12 KV_ReadBlock@16
  KV_GetStatus@8 KV_USRConfig@8 KV_USRWrite@8 KV_USRRead@8 KV_GetBaseUnitRevisionLevel@8
  KV_Identify@8 KV_ProgramModuleIdentity@8 KV_ReadCalData@16 KV_ProgramCalData@16"

check_image() {
  local arch=$1 triplet=$2 format=$3 image=$4
  local name
  name="$arch/$(basename "$image")"
  [ -f "$image" ] || { fail "$name is missing"; return; }
  grep -q "file format $format" <<<"$("$triplet-objdump" -f "$image")" || fail "$name is not $format"
  local dll imports
  imports=$("$triplet-objdump" -p "$image" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
  for dll in $imports; do
    [[ "$system_dlls" == *" $dll "* ]] || fail "$name imports $dll"
  done
  echo "windows-images: $name ($format): imports $(tr '\n' ' ' <<<"$imports" | sed 's/ $//')"
}

check_exports() {
  local arch=$1 triplet=$2 dll=$3
  local expected actual
  expected=$(tr -s ' \n' '\n' <<<"$exports" | sed 's/@.*//' | grep . | sort)
  actual=$("$triplet-objdump" -p "$dll" |
    awk '/\[Ordinal\/Name Pointer\] Table/ {table = 1; next} table && NF == 0 {table = 0}
         table {print $NF}' | sort)
  [ "$expected" = "$actual" ] || fail "$arch/kvwin32-demo.dll exports: $(tr '\n' ' ' <<<"$actual")"
  if [ "$arch" = x86 ]; then
    local symbols function
    symbols=$("$triplet-objdump" -t "$dll")
    for function in $exports; do
      grep -q "_$function\$" <<<"$symbols" || fail "x86/kvwin32-demo.dll: no __stdcall _$function"
    done
  fi
}

checked=0
for arch in x86 x64; do
  case "$arch" in
    x86) triplet=i686-w64-mingw32 format=pei-i386 ;;
    x64) triplet=x86_64-w64-mingw32 format=pei-x86-64 ;;
  esac
  bin=$out/$arch/bin
  [ -d "$bin" ] || continue
  checked=$((checked + 1))
  for file in zetra.exe ztrtool.exe kvwin32-demo.dll; do
    check_image "$arch" "$triplet" "$format" "$bin/$file"
  done
  if "$triplet-objdump" -p "$bin/zetra.exe" 2>/dev/null | grep -qi 'DLL Name: kvwin32'; then
    fail "$arch/zetra.exe imports the device library"
  fi
  check_exports "$arch" "$triplet" "$bin/kvwin32-demo.dll"
done
[ "$checked" -gt 0 ] || fail "no Windows build in $out"
if [ "$failures" -gt 0 ]; then
  echo "windows-images: $failures failure(s)" >&2
  exit 1
fi
echo "windows-images: $checked architecture(s) passed"
