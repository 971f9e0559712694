#!/usr/bin/env bash
# Makes the test-signed driver package from the two built images and checks it:
#   PACKAGE/kvusb.inf, kvusb.cat, x86/kvusb.sys, x64/kvusb.sys, kvusb-test.cer
# A test code-signing certificate is made in SIGNING (kept while it is usable; its private key never
# leaves the build folder), both images get an Authenticode signature, the catalog lists the INF and
# both images and is signed. Checks: the signer (not a CA, valid from a day before the package is
# made), each image's signature, each image in the catalog (osslsigncode), the catalog field by field
# (check_catalog.py, on openssl asn1parse), and the INF against the package (check_inf.py).
# Usage: make_package.sh X86_IMAGE X64_IMAGE OUT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
x86_image=$1
x64_image=$2
out=$3
package=$out/package
signing=$out/signing
failures=0
fail() { echo "package: FAIL: $*" >&2; failures=$((failures + 1)); }

day_seconds=86400
not_before_seconds() { date -u -d "$(openssl x509 -in "$1" -noout -startdate | cut -d= -f2)" +%s; }

# A signer Windows accepts on a lab PC whose clock is behind: valid from a day before it is made,
# an end-entity certificate for code signing (Windows refuses a chain whose signer is a CA), and
# not about to expire.
signer_usable() {
  local cert=$1 text
  [ -f "$cert" ] && [ -f "$signing/key.pem" ] || return 1
  text=$(openssl x509 -in "$cert" -noout -text)
  grep -q 'CA:TRUE' <<<"$text" && return 1
  grep -q 'Code Signing' <<<"$text" || return 1
  [ $(($(date -u +%s) - $(not_before_seconds "$cert"))) -ge $day_seconds ] || return 1
  openssl x509 -in "$cert" -noout -checkend $((30 * day_seconds)) >/dev/null
}

# `openssl req -x509` cannot backdate a certificate in OpenSSL 3.0; `openssl ca -selfsign` can.
make_signer() {
  local ca=$signing/ca
  rm -rf "$ca"
  mkdir -p "$ca"
  : >"$ca/index.txt"
  echo 01 >"$ca/serial"
  cat >"$ca/ca.cnf" <<EOF
[ca]
default_ca = signer
[signer]
database = $ca/index.txt
new_certs_dir = $ca
serial = $ca/serial
default_md = sha256
policy = anything
unique_subject = no
x509_extensions = code_signing
[anything]
organizationName = supplied
commonName = supplied
[code_signing]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
EOF
  openssl req -new -newkey rsa:3072 -nodes -keyout "$signing/key.pem" -out "$ca/request.pem" \
    -subj "/O=Zetra/CN=Zetra kvusb test signing (not for distribution)" 2>/dev/null
  openssl ca -batch -notext -config "$ca/ca.cnf" -selfsign -keyfile "$signing/key.pem" -in "$ca/request.pem" \
    -startdate "$(date -u -d "@$(($(date -u +%s) - day_seconds))" +%Y%m%d%H%M%SZ)" -days 1826 \
    -out "$signing/cert.pem" 2>/dev/null
}

mkdir -p "$signing"
chmod 700 "$signing"
signer_usable "$signing/cert.pem" || make_signer
signer_usable "$signing/cert.pem" || fail "the test certificate: a CA, not for code signing, or not valid since a day"

rm -rf "$package"
mkdir -p "$package/x86" "$package/x64"
sign() {
  osslsigncode sign -certs "$signing/cert.pem" -key "$signing/key.pem" -h sha256 \
    -n "KV4100 base unit USB driver" -in "$1" -out "$2" >/dev/null
}
sign "$x86_image" "$package/x86/kvusb.sys"
sign "$x64_image" "$package/x64/kvusb.sys"

# DriverVer: the date and time of the last change to the driver, the time as a version that grows
# with every change (Windows ranks a package by date, then version: a rebuilt package of the same
# day must still replace the installed one). From git when the driver is in a checkout (a shallow
# clone gives its oldest commit's time, still later than any earlier change), else from the newest
# file of the driver's sources; the same sources give the same package either way.
stamp=$(TZ=UTC0 git -C "$here" log -1 --format=%cd --date=format-local:%Y-%m-%dT%H:%M:%S -- "$here/.." 2>/dev/null || true)
if [ -z "$stamp" ]; then
  newest=$(find "$here/.." -type f -printf '%T@\n' | sort -n | tail -1 | cut -d. -f1)
  stamp=$(date -u -d "@$newest" +%Y-%m-%dT%H:%M:%S)
fi
driver_date=$(date -u -d "$stamp" +%m/%d/%Y)
driver_version=$(date -u -d "$stamp" +1.%y.%m%d.%H%M | sed 's/\.0*\([0-9]\)/.\1/g')
sed "s|^DriverVer *=.*|DriverVer   = $driver_date,$driver_version|" "$here/kvusb.inf" >"$package/kvusb.inf"

utc=$(date -u -d "$stamp" +%y%m%d%H%M%SZ)
members=(kvusb.inf x86/kvusb.sys x64/kvusb.sys)
(cd "$package" && python3 "$here/make_catalog.py" "$out/kvusb.unsigned.cat" "$utc" "${members[@]}")
osslsigncode sign -certs "$signing/cert.pem" -key "$signing/key.pem" -h sha256 \
  -in "$out/kvusb.unsigned.cat" -out "$package/kvusb.cat" >/dev/null
openssl x509 -in "$signing/cert.pem" -outform DER -out "$package/kvusb-test.cer"

for arch in x86 x64; do
  image=$package/$arch/kvusb.sys
  osslsigncode verify -CAfile "$signing/cert.pem" -in "$image" >/dev/null 2>&1 ||
    fail "$arch/kvusb.sys: Authenticode signature does not verify"
  osslsigncode verify -CAfile "$signing/cert.pem" -catalog "$package/kvusb.cat" -in "$image" >/dev/null 2>&1 ||
    fail "$arch/kvusb.sys is not in kvusb.cat (or the catalog's signature does not verify)"
done
osslsigncode verify -CAfile "$signing/cert.pem" -in "$package/kvusb.cat" >/dev/null 2>&1 ||
  fail "kvusb.cat: signature does not verify"
python3 "$here/check_catalog.py" "$package/kvusb.cat" "$package" "${members[@]}" || fail "kvusb.cat does not have the catalog's layout"

# The signer in the signed catalog is the test certificate: checked as Windows will see it.
catalog_signer=$(openssl pkcs7 -inform DER -in "$package/kvusb.cat" -print_certs 2>/dev/null | openssl x509 -noout -text)
grep -q 'CA:TRUE' <<<"$catalog_signer" && fail "kvusb.cat: signed by a CA certificate"
openssl pkcs7 -inform DER -in "$package/kvusb.cat" -print_certs 2>/dev/null >"$out/catalog-signer.pem"
[ $(($(date -u +%s) - $(not_before_seconds "$out/catalog-signer.pem"))) -ge $day_seconds ] ||
  fail "kvusb.cat: its signer is not valid since a day before the package was made"

python3 "$here/check_inf.py" "$package" kvusb.inf "$driver_date" "$driver_version" || fail "kvusb.inf does not match the package"

if [ "$failures" -ne 0 ]; then
  exit 1
fi
echo "package: $package ($(cd "$package" && find . -type f | sort | tr '\n' ' ')), DriverVer $driver_date,$driver_version"
