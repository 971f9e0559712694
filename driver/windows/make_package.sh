#!/usr/bin/env bash
# Makes the test-signed driver package from the two built images and checks it:
#   PACKAGE/kvusb.inf, kvusb.cat, x86/kvusb.sys, x64/kvusb.sys, kvusb-test.cer
# A test code-signing certificate is made in SIGNING (once; its private key never leaves the build
# folder), both images get an Authenticode signature, the catalog lists the INF and both images and
# is signed. Checks: each image's signature, each image in the catalog (osslsigncode), the INF's
# hash in the catalog (openssl, independently of the generator), and the INF against the package.
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

mkdir -p "$signing"
chmod 700 "$signing"
if [ ! -f "$signing/key.pem" ] || [ ! -f "$signing/cert.pem" ]; then
  openssl req -x509 -newkey rsa:3072 -nodes -sha256 -days 1825 \
    -keyout "$signing/key.pem" -out "$signing/cert.pem" \
    -subj "/O=Zetra/CN=Zetra kvusb test signing (not for distribution)" \
    -addext "basicConstraints=critical,CA:FALSE" \
    -addext "keyUsage=critical,digitalSignature" \
    -addext "extendedKeyUsage=codeSigning" 2>/dev/null
fi

rm -rf "$package"
mkdir -p "$package/x86" "$package/x64"
sign() {
  osslsigncode sign -certs "$signing/cert.pem" -key "$signing/key.pem" -h sha256 \
    -n "KV4100 base unit USB driver" -in "$1" -out "$2" >/dev/null
}
sign "$x86_image" "$package/x86/kvusb.sys"
sign "$x64_image" "$package/x64/kvusb.sys"

# DriverVer carries the date of the last change to the driver (today outside a git checkout), so
# the same sources give the same package.
stamp=$(git -C "$here" log -1 --format=%cd --date=format:%m/%d/%Y -- "$here/.." 2>/dev/null || true)
[ -n "$stamp" ] || stamp=$(date -u +%m/%d/%Y)
sed "s|^DriverVer *=.*|DriverVer   = $stamp,1.0.0.0|" "$here/kvusb.inf" >"$package/kvusb.inf"

utc=$(date -u -d "${stamp:6:4}-${stamp:0:2}-${stamp:3:2}" +%y%m%d000000Z)
(cd "$package" && python3 "$here/make_catalog.py" "$out/kvusb.unsigned.cat" "$utc" kvusb.inf x86/kvusb.sys x64/kvusb.sys)
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

# The INF is not a file type osslsigncode reads: look for its SHA-256, as UTF-16LE hex text, among
# the catalog's member identifiers and as a digest in the catalog.
inf_hash=$(sha256sum "$package/kvusb.inf" | cut -d' ' -f1 | tr a-f A-F)
inf_identifier=$(printf %s "$inf_hash" | od -An -tx1 -v | tr -d ' \n' | sed 's/\(..\)/\100/g' | tr a-f A-F)
catalog_dump=$(openssl asn1parse -inform DER -in "$package/kvusb.cat")
grep -q "OCTET STRING *\[HEX DUMP\]:$inf_identifier\$" <<<"$catalog_dump" || fail "kvusb.inf: no catalog entry for its hash"
grep -q "OCTET STRING *\[HEX DUMP\]:$inf_hash\$" <<<"$catalog_dump" || fail "kvusb.inf: its digest is not in the catalog"
# The catalog-level OSAttr attribute: a name-value extension of the list (an octet string after
# the name-value identifier) holding the name "OSAttr" (UTF-16BE) and the versions (UTF-16LE).
utf16() { printf "$2" | iconv -t "$1" | od -An -tx1 -v | tr -d ' \n' | tr a-f A-F; }
attribute_dump=$(grep -A1 "OBJECT *:1.3.6.1.4.1.311.12.2.1\$" <<<"$catalog_dump" | grep "OCTET STRING" || true)
grep "$(utf16 UTF-16BE OSAttr)" <<<"$attribute_dump" | grep -q "$(utf16 UTF-16LE '2:6.1,2:6.2,2:6.3,2:10.0\0')" ||
  fail "kvusb.cat: no OSAttr attribute for Windows 7 to 11"

python3 "$here/check_inf.py" "$package" kvusb.inf "$stamp" || fail "kvusb.inf does not match the package"

if [ "$failures" -ne 0 ]; then
  exit 1
fi
echo "package: $package ($(cd "$package" && find . -type f | sort | tr '\n' ' ')), DriverVer $stamp"
