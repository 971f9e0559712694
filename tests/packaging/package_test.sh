#!/usr/bin/env bash
# Builds the .deb from a configured and built tree, checks what it declares and holds, unpacks it
# into a scratch root and starts the installed zetra offscreen for a few seconds: it must stay up
# and, as a user who cannot write the program's folder, make its data folder in that user's home.
# ZETRA_PACKAGE_INSTALL=1 (as root, on CI) also installs it with apt and starts /usr/bin/zetra.
set -euo pipefail
build=${1:?usage: package_test.sh <build dir>}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(ls "$scratch"/out/zetra_*.deb)
echo "package: $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB)"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libqt6serialport6 \
               fonts-dejavu-core libstdc++6; do
  tr ',' '\n' <<<"$depends" | awk '{print $1}' | grep -qxF "$package" || fail "$package is not declared"
done
[ "$(dpkg-deb -f "$deb" Package)" = zetra ] || fail "package name"

contents=$(dpkg-deb -c "$deb")
for path in ./usr/lib/zetra/zetra ./usr/lib/zetra/libkvwin32.so ./usr/lib/zetra/zetrat.html \
            ./usr/bin/ztrtool ./usr/share/applications/zetra.desktop \
            ./usr/share/icons/hicolor/scalable/apps/zetra.svg ./usr/share/mime/packages/zetra.xml; do
  grep -q " $path\$" <<<"$contents" || fail "$path missing from the package"
done
grep -q " ./usr/bin/zetra -> ../lib/zetra/zetra\$" <<<"$contents" || fail "bin/zetra link"

root="$scratch/root"
dpkg -x "$deb" "$root"
grep -q '^Exec=zetra %f$' "$root/usr/share/applications/zetra.desktop" || fail "desktop entry"
grep -q '^MimeType=application/x-zetra-recording;$' "$root/usr/share/applications/zetra.desktop" ||
  fail "desktop entry does not take recordings"
grep -q 'type="application/x-zetra-recording"' "$root/usr/share/mime/packages/zetra.xml" &&
  grep -q '<glob pattern="\*.ztr"/>' "$root/usr/share/mime/packages/zetra.xml" || fail "mime type"
"$root/usr/bin/zetra" --version | grep -q "^zetra [0-9]" || fail "zetra --version"
"$root/usr/bin/zetra" --help | grep -q "Usage: zetra" || fail "zetra --help"
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/zetra.svg" || fail "icon"
! ldd "$root/usr/lib/zetra/zetra" "$root/usr/lib/zetra/libkvwin32.so" "$root/usr/bin/ztrtool" |
  grep "not found" || fail "a library the programs need is missing"
nm -D --defined-only "$root/usr/lib/zetra/libkvwin32.so" | grep -q " KV_OpenDevice$" ||
  fail "libkvwin32.so does not export KV_OpenDevice"
"$root/usr/bin/ztrtool" --help 2>&1 | grep -qi "usage" || fail "ztrtool does not start"

# Starts zetra through bin/zetra as a plain user with a fresh home; it must still run after the
# given seconds (timeout then ends it with 124).
run_for() {
  local program=$1 seconds=$2 home=$3
  mkdir -p "$home"
  local as_user=()
  if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$home"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  local status=0
  env -i PATH=/usr/bin:/bin HOME="$home" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$home" \
    timeout "$seconds" "${as_user[@]}" "$program" >"$scratch/run.log" 2>&1 || status=$?
  [ "$status" -eq 124 ] || { cat "$scratch/run.log"; fail "$program ended with $status"; }
}

run_for "$root/usr/bin/zetra" 4 "$scratch/home"
echo "installed zetra stayed up for 4 s"
if [ "$(id -u)" -eq 0 ]; then
  # The program's folder is not this user's: the data folder went to the user's own.
  [ -d "$scratch/home/.local/share/zetra" ] || fail "no data folder in the user's home"
  [ -z "$(ls "$root/usr/lib/zetra" | grep -v -e '^zetra$' -e '^libkvwin32.so$' -e '^zetrat.html$')" ] ||
    fail "files were written beside the installed program"
  echo "data folder: ~/.local/share/zetra"
fi

if [ "${ZETRA_PACKAGE_INSTALL:-0}" = 1 ] && [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log"; fail "apt install"; }
  run_for /usr/bin/zetra 4 "$scratch/home2"
  echo "apt-installed /usr/bin/zetra stayed up for 4 s"
  DEBIAN_FRONTEND=noninteractive apt-get remove -y zetra >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log"; fail "apt remove"; }
fi
echo "package test passed"
