#!/usr/bin/env bash
# Installs what is missing, then cross-builds zetra for Windows with mingw-w64: x86 into
# build-windows/x86 and x64 into build-windows/x64 (programs in bin/: zetra.exe, ztrtool.exe,
# kvwin32-demo.dll, zetrat.html, with every test program), and one setup program per
# architecture into build-windows/ (zetra-<version>-<arch>-setup.exe).
# Where 32-bit Wine cannot run (the x86 tests could not be run), the x86 tree builds the programs
# and the Win32 back-ends' test only; ZETRA_WINDOWS_X86_TESTS=1 builds all of its tests anyway.
# ZETRA_WINDOWS_BUILD_DIR moves build-windows/; ZETRA_WINDOWS_ARCHS="x64" builds one architecture.
# Extra arguments go to each CMake configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${ZETRA_WINDOWS_BUILD_DIR:-$root/build-windows}
archs=${ZETRA_WINDOWS_ARCHS:-x86 x64}
jobs=${ZETRA_WINDOWS_JOBS:-$(nproc)}

"$root/scripts/install-windows-deps.sh"

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
version=$(sed -n 's/^project(zetra VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
# The driver package for the setup's optional component, when .ci/driver-check has made it.
driver_package=${ZETRA_DRIVER_PACKAGE:-$root/build-driver/package}

tree_of() { echo "$out/$1"; }

# First the programs and the setup of each architecture, so that a test program that does not
# build still leaves the setups to inspect; then the rest of each tree (every test program).
for arch in $archs; do
  case "$arch" in
    x86) toolchain=toolchain-windows-i686.cmake ;;
    x64) toolchain=toolchain-windows-x86_64.cmake ;;
    *) echo "build-windows: unknown architecture $arch" >&2; exit 2 ;;
  esac
  tree=$(tree_of "$arch")
  echo "== Windows $arch: $tree =="
  cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZETRA_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" "${launcher[@]}" "$@" >/dev/null
  cmake --build "$tree" -j "$jobs" --target zetra ztrtool kvwin32
  bin=$tree/bin
  cp "$root/docs/help/zetrat.html" "$bin/zetrat.html"
  "$root/packaging/windows/make-recording-icon.sh" "$bin/zetra-recording.ico"
  driver=()
  if [ -f "$driver_package/kvusb.inf" ]; then driver=(-DDRIVER_DIR="$driver_package"); fi
  makensis -V2 -DARCH="$arch" -DVERSION="$version" -DPROGRAM_DIR="$bin" "${driver[@]}" \
    -DOUTFILE="$out/zetra-$version-$arch-setup.exe" "$root/packaging/windows/zetra.nsi"
  echo "build-windows: $out/zetra-$version-$arch-setup.exe"
done

failed=()
for arch in $archs; do
  targets=()
  if [ "$arch" = x86 ] && [ "${ZETRA_WINDOWS_X86_TESTS:-0}" != 1 ] &&
      ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    targets=(--target platform_win32_test)
  fi
  echo "== Windows $arch: the test programs =="
  cmake --build "$(tree_of "$arch")" -j "$jobs" "${targets[@]}" || failed+=("$arch")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "build-windows: FAIL: the test programs of ${failed[*]} did not all build" >&2
  exit 1
fi
