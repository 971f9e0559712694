#!/usr/bin/env bash
# Installs the Debian 12 packages the Windows build and its tests need; does nothing when all are
# present: the mingw-w64 compilers of the posix thread model (std::thread, std::mutex), NSIS for
# the setup programs, 64-bit Wine to run the x64 programs, their tests and the x64 setup.
# 32-bit Wine (wine32:i386, through Debian's i386 architecture: 150 MB to fetch, 1.1 GB on disk,
# about 4 minutes) comes only with ZETRA_WINE32=1, on a machine whose kernel runs 32-bit Linux
# programs: where it cannot, an installed wine32 makes the `wine` command fail for 64-bit
# programs too ("Exec format error").
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  binutils-mingw-w64-x86-64 nsis wine wine64 xvfb xauth imagemagick
)
if [ "${ZETRA_WINE32:-0}" = 1 ]; then packages+=(wine32:i386); fi

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
