#!/usr/bin/env python3
"""Writes the driver package's catalog: an unsigned PKCS#7 SignedData holding a certificate trust
list in version-2 form (SHA-256 member digests) with one entry per member file (signed afterwards
with osslsigncode).

Each entry is keyed by the file's digest (upper-case hex as UTF-16LE text) and carries four
attributes: the member info (version 2, with the subject interface package's GUID), the member's
name ("File"), the Windows versions it is for ("OSAttr"), and its indirect data (data type and
SHA-256 digest). A PE image (.sys) is listed by its Authenticode digest with the PE-image data type
and the file link "<<<Obsolete>>>"; any other file (the INF) by its plain SHA-256 with the flat-file
data type. The list itself carries one attribute, "OS", as a name-value extension.

There are no SHA-1 entries: the package is test-signed with SHA-256, which a system that needs
SHA-1 entries could not check anyway.

Usage: make_catalog.py OUTPUT.cat TIME(YYMMDDHHMMSSZ) FILE...
       make_catalog.py --authenticode FILE   prints a PE image's Authenticode digest
Standard library only.
"""
import hashlib
import struct
import sys

OID_SIGNED_DATA = "1.2.840.113549.1.7.2"
OID_CTL = "1.3.6.1.4.1.311.10.1"
OID_CATALOG_LIST = "1.3.6.1.4.1.311.12.1.1"
OID_CATALOG_MEMBER_V2 = "1.3.6.1.4.1.311.12.1.3"  # the list's subject algorithm: version 2
OID_NAME_VALUE = "1.3.6.1.4.1.311.12.2.1"
OID_MEMBER_INFO_V2 = "1.3.6.1.4.1.311.12.2.3"
OID_INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"
OID_PE_IMAGE_DATA = "1.3.6.1.4.1.311.2.1.15"
OID_FLAT_FILE_DATA = "1.3.6.1.4.1.311.2.1.25"
OID_SHA256 = "2.16.840.1.101.3.4.2.1"
NAME_VALUE_FLAGS = 0x10010001  # the name attribute as the system's catalog tools write it
# The Windows versions the package is for: 7, 8, 8.1 and 10/11 (platform 2 is the NT family).
OS_ATTRIBUTE = "2:6.1,2:6.2,2:6.3,2:10.0"
# The catalog's own "OS" attribute: Windows 10 (and 11) on both architectures of the package.
OS_LIST = "_v100_X86,_v100_X64"
# Subject interface packages: who hashes a member of each kind (GUIDs in their in-memory order).
SIP_PE_IMAGE = "C689AAB8-8E78-11D0-8C47-00C04FC295EE"
SIP_FLAT_FILE = "DE351A42-8E59-11D0-8C47-00C04FC295EE"


# ---- DER ----

def der(tag, body):
    n = len(body)
    if n < 0x80:
        length = bytes([n])
    else:
        octets = n.to_bytes((n.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(octets)]) + octets
    return bytes([tag]) + length + body


def sequence(*items):
    return der(0x30, b"".join(items))


def set_of(*items):
    return der(0x31, b"".join(sorted(items)))  # DER orders SET OF by encoding


def oid(text):
    parts = [int(p) for p in text.split(".")]
    body = bytes([40 * parts[0] + parts[1]])
    for p in parts[2:]:
        chunk = [p & 0x7F]
        p >>= 7
        while p:
            chunk.append(0x80 | (p & 0x7F))
            p >>= 7
        body += bytes(reversed(chunk))
    return der(0x06, body)


def integer(value):
    body = value.to_bytes(value.bit_length() // 8 + 1, "big", signed=False)
    return der(0x02, body)


def octets(data):
    return der(0x04, data)


def null():
    return der(0x05, b"")


def bmp(text):
    return der(0x1E, text.encode("utf-16-be"))


def explicit(number, body):
    return der(0xA0 | number, body)


def implicit_bmp(number, text):
    return der(0x80 | number, text.encode("utf-16-be"))


def implicit_octets(number, data):
    return der(0x80 | number, data)


def guid_bytes(text):
    """A GUID as it lies in memory: the first three fields little-endian, the rest as written."""
    parts = text.split("-")
    return (int(parts[0], 16).to_bytes(4, "little") + int(parts[1], 16).to_bytes(2, "little")
            + int(parts[2], 16).to_bytes(2, "little") + bytes.fromhex(parts[3] + parts[4]))


# ---- digests ----

def authenticode_digest(image):
    """SHA-256 of a PE image without its checksum field, its certificate-table directory entry and
    the certificate table itself (the embedded signature)."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112 if magic == 0x20B else None)
    checksum = optional + 64
    certificate_entry = directories + 4 * 8
    table_offset, table_size = struct.unpack_from("<II", image, certificate_entry)
    end = table_offset if table_size else len(image)
    digest = hashlib.sha256()
    digest.update(image[:checksum])
    digest.update(image[checksum + 4:certificate_entry])
    digest.update(image[certificate_entry + 8:end])
    if not table_size and len(image) % 8:
        digest.update(b"\0" * (8 - len(image) % 8))  # an unsigned image is hashed padded to 8 bytes
    return digest.digest()


def is_pe(data):
    return len(data) > 0x40 and data[:2] == b"MZ"


# ---- the list ----

def name_value(name, value_text):
    return sequence(bmp(name), integer(NAME_VALUE_FLAGS), octets((value_text + "\0").encode("utf-16-le")))


def catalog_attributes():
    """The trust list's extensions: each catalog-level attribute is a name-value extension."""
    os_list = sequence(oid(OID_NAME_VALUE), octets(name_value("OS", OS_LIST)))
    return explicit(0, sequence(os_list))


def member(path):
    with open(path, "rb") as f:
        data = f.read()
    name = path.replace("\\", "/").rsplit("/", 1)[-1].lower()
    if is_pe(data):
        digest = authenticode_digest(data)
        link = explicit(0, explicit(2, implicit_bmp(0, "<<<Obsolete>>>")))
        data_type = sequence(oid(OID_PE_IMAGE_DATA), sequence(der(0x03, b"\0"), link))
        sip = SIP_PE_IMAGE
    else:
        digest = hashlib.sha256(data).digest()
        data_type = sequence(oid(OID_FLAT_FILE_DATA))
        sip = SIP_FLAT_FILE
    indirect = sequence(data_type, sequence(sequence(oid(OID_SHA256), null()), octets(digest)))
    member_info = sequence(implicit_octets(0, guid_bytes(sip)))
    attributes = set_of(sequence(oid(OID_MEMBER_INFO_V2), set_of(member_info)),
                        sequence(oid(OID_NAME_VALUE), set_of(name_value("File", name))),
                        sequence(oid(OID_NAME_VALUE), set_of(name_value("OSAttr", OS_ATTRIBUTE))),
                        sequence(oid(OID_INDIRECT_DATA), set_of(indirect)))
    identifier = digest.hex().upper().encode("utf-16-le")
    return identifier, sequence(octets(identifier), attributes)


def catalog(paths, time):
    members = sorted(member(p) for p in paths)
    # The list identifier only has to be unique per list: derive it from the members.
    list_id = hashlib.sha256(b"".join(identifier for identifier, _ in members)).digest()[:16]
    trust_list = sequence(
        sequence(oid(OID_CATALOG_LIST)),
        octets(list_id),
        der(0x17, time.encode("ascii")),
        sequence(oid(OID_CATALOG_MEMBER_V2), null()),
        sequence(*(entry for _, entry in members)),
        catalog_attributes())
    signed_data = sequence(
        integer(1),
        set_of(),  # digest algorithms: the signer adds its own
        sequence(oid(OID_CTL), explicit(0, trust_list)),
        set_of())  # signer infos: none until signed
    return sequence(oid(OID_SIGNED_DATA), explicit(0, signed_data))


def main(argv):
    if len(argv) == 3 and argv[1] == "--authenticode":
        with open(argv[2], "rb") as f:
            print(authenticode_digest(f.read()).hex().upper())
        return 0
    if len(argv) < 4 or len(argv[2]) != 13 or not argv[2].endswith("Z"):
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "wb") as f:
        f.write(catalog(argv[3:], argv[2]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
