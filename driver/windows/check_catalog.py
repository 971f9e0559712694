#!/usr/bin/env python3
"""Checks the signed catalog field by field against the catalog facts, independently of the code
that writes it: the structure comes from `openssl asn1parse`, and each value is read from the file at
the offset and length asn1parse gives.

A version-2 catalog: PKCS#7 SignedData whose content is a certificate trust list held directly under
the content's [0]; subject usage "catalog list"; a 16-byte list identifier; the effective time; the
subject algorithm of version 2 (SHA-256 members); one entry per member file, keyed by its digest and
carrying the version-2 member info (the hashing package's GUID), the name-values "File" and "OSAttr"
and the indirect data (data type and SHA-256 digest); and the catalog's own "OS" name-value.

Usage: check_catalog.py CATALOG PACKAGE_DIR MEMBER...   (members relative to PACKAGE_DIR)
Prints one line per problem and exits 1 when there is any. Standard library and openssl only.
"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile

SIGNED_DATA = "1.2.840.113549.1.7.2"
TRUST_LIST = "1.3.6.1.4.1.311.10.1"
CATALOG_LIST = "1.3.6.1.4.1.311.12.1.1"
MEMBER_ALGORITHM_V2 = "1.3.6.1.4.1.311.12.1.3"
NAME_VALUE = "1.3.6.1.4.1.311.12.2.1"
MEMBER_INFO_V2 = "1.3.6.1.4.1.311.12.2.3"
INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"
PE_IMAGE_DATA = "1.3.6.1.4.1.311.2.1.15"
FLAT_FILE_DATA = "1.3.6.1.4.1.311.2.1.25"
SHA256 = "2.16.840.1.101.3.4.2.1"
NAME_VALUE_FLAGS = "10010001"
OS_ATTRIBUTE = "2:6.1,2:6.2,2:6.3,2:10.0"
OS_LIST = "_v100_X86,_v100_X64"
# The subject interface packages' GUIDs as they lie in memory (first three fields little-endian).
SIP_PE_IMAGE = bytes.fromhex("B8AA89C6788ED0118C4700C04FC295EE")
SIP_FLAT_FILE = bytes.fromhex("421A35DE598ED0118C4700C04FC295EE")

LINE = re.compile(r"\s*(\d+):d=\s*(\d+)\s+hl=\s*(\d+)\s+l=\s*(\d+)\s+(prim|cons):\s*(.*?)\s*(?::(.*))?$")


class Node:
    def __init__(self, offset, depth, header, length, kind, value):
        self.offset, self.depth, self.header, self.length = offset, depth, header, length
        self.kind = kind.replace("[HEX DUMP]", "").strip()  # "SEQUENCE", "OBJECT", "cont [ 0 ]", ...
        self.value = value            # what asn1parse printed after the colon
        self.children = []


def parse(der):
    with tempfile.NamedTemporaryFile(suffix=".der") as f:
        f.write(der)
        f.flush()
        text = subprocess.run(["openssl", "asn1parse", "-inform", "DER", "-i", "-in", f.name],
                              check=True, capture_output=True, text=True).stdout
    stack, root = [], None
    for line in text.splitlines():
        match = LINE.match(line)
        if not match:
            raise ValueError("unexpected asn1parse line: " + line)
        node = Node(int(match[1]), int(match[2]), int(match[3]), int(match[4]), match[6], match[7])
        while stack and stack[-1].depth >= node.depth:
            stack.pop()
        if stack:
            stack[-1].children.append(node)
        else:
            root = node
        stack.append(node)
    return root


_names = {}


def printed(oid):
    """How asn1parse prints an object identifier: OpenSSL's short name when it has one."""
    if oid not in _names:
        out = subprocess.run(["openssl", "asn1parse", "-genstr", "OID:" + oid],
                             check=True, capture_output=True, text=True).stdout
        _names[oid] = out.rsplit(":", 1)[1].strip()
    return _names[oid]


class Checker:
    def __init__(self, der, package, members, problems=None):
        self.der = der
        self.root = parse(der)
        self.package, self.members = package, members
        self.problems = problems if problems is not None else []

    def fail(self, what):
        self.problems.append(what)

    def body(self, node):
        return self.der[node.offset + node.header:node.offset + node.header + node.length]

    def expect(self, node, kind, where, count=None):
        """True when `node` is of `kind` (and has `count` children when given)."""
        if node is None or node.kind != kind:
            self.fail(f"{where}: {kind} expected, found {node.kind if node else 'nothing'}")
            return False
        if count is not None and len(node.children) != count:
            self.fail(f"{where}: {count} elements expected, found {len(node.children)}")
            return False
        return True

    def expect_oid(self, node, oid, where):
        if self.expect(node, "OBJECT", where) and node.value != printed(oid):
            self.fail(f"{where}: {oid} ({printed(oid)}) expected, found {node.value}")

    def trust_list(self):
        r = self.root
        if not self.expect(r, "SEQUENCE", "content info", 2):
            return None
        self.expect_oid(r.children[0], SIGNED_DATA, "content type")
        if not self.expect(r.children[1], "cont [ 0 ]", "signed data wrapper", 1):
            return None
        signed = r.children[1].children[0]
        if not self.expect(signed, "SEQUENCE", "signed data") or len(signed.children) < 4:
            self.fail("signed data: version, digest algorithms, content and signer infos expected")
            return None
        content = signed.children[2]
        if not self.expect(content, "SEQUENCE", "signed content", 2):
            return None
        self.expect_oid(content.children[0], TRUST_LIST, "signed content type")
        wrapper = content.children[1]
        if not self.expect(wrapper, "cont [ 0 ]", "trust list wrapper", 1):
            return None
        if not self.expect(wrapper.children[0], "SEQUENCE", "trust list (directly under [0], no OCTET STRING)"):
            return None
        return wrapper.children[0]

    def check_header(self, ctl):
        if len(ctl.children) != 6:
            self.fail(f"trust list: usage, identifier, time, algorithm, entries and attributes expected, "
                      f"found {len(ctl.children)} elements")
            return False
        usage, identifier, time, algorithm, _, _ = ctl.children
        if self.expect(usage, "SEQUENCE", "subject usage", 1):
            self.expect_oid(usage.children[0], CATALOG_LIST, "subject usage")
        if self.expect(identifier, "OCTET STRING", "list identifier") and identifier.length != 16:
            self.fail(f"list identifier: 16 bytes expected, found {identifier.length}")
        if self.expect(time, "UTCTIME", "effective time") and not re.fullmatch(r"\d{12}Z", time.value or ""):
            self.fail(f"effective time: {time.value!r} is not YYMMDDHHMMSSZ")
        if self.expect(algorithm, "SEQUENCE", "subject algorithm", 2):
            self.expect_oid(algorithm.children[0], MEMBER_ALGORITHM_V2, "subject algorithm (version 2)")
            self.expect(algorithm.children[1], "NULL", "subject algorithm parameters")
        return True

    def name_value(self, node, where):
        """(name, value) of a name-value SEQUENCE of BMPString, INTEGER flags and UTF-16LE text."""
        if not self.expect(node, "SEQUENCE", where, 3):
            return None, None
        name, flags, value = node.children
        if not (self.expect(name, "BMPSTRING", where + " name") and self.expect(flags, "INTEGER", where + " flags")
                and self.expect(value, "OCTET STRING", where + " value")):
            return None, None
        if flags.value != NAME_VALUE_FLAGS:
            self.fail(f"{where}: flags {flags.value} instead of {NAME_VALUE_FLAGS}")
        text = self.body(value)
        if not text.endswith(b"\0\0") or len(text) % 2:
            self.fail(f"{where}: value is not UTF-16LE with a terminating zero")
        return self.body(name).decode("utf-16-be"), text.decode("utf-16-le").rstrip("\0")

    def single_value(self, attribute, where):
        values = attribute.children[1] if len(attribute.children) == 2 else None
        if self.expect(values, "SET", where + " values", 1):
            return values.children[0]
        return None

    def check_entry(self, entry, index):
        where = f"entry {index}"
        if not self.expect(entry, "SEQUENCE", where, 2):
            return None
        tag, attributes = entry.children
        if not (self.expect(tag, "OCTET STRING", where + " tag") and self.expect(attributes, "SET", where + " attributes")):
            return None
        by_oid = {}
        for attribute in attributes.children:
            if self.expect(attribute, "SEQUENCE", where + " attribute", 2) and attribute.children[0].kind == "OBJECT":
                by_oid.setdefault(attribute.children[0].value, []).append(attribute)
        expected = {printed(MEMBER_INFO_V2): 1, printed(NAME_VALUE): 2, printed(INDIRECT_DATA): 1}
        if {k: len(v) for k, v in by_oid.items()} != expected:
            self.fail(f"{where}: attributes {sorted((k, len(v)) for k, v in by_oid.items())}, expected member info, "
                      "two name-values and the indirect data")
            return None
        names = dict(self.name_value(self.single_value(a, where + " name-value"), where + " name-value")
                     for a in by_oid[printed(NAME_VALUE)])
        if names.get("OSAttr") != OS_ATTRIBUTE:
            self.fail(f"{where}: OSAttr {names.get('OSAttr')!r} instead of {OS_ATTRIBUTE!r}")
        data_type, digest = self.indirect_data(self.single_value(by_oid[printed(INDIRECT_DATA)][0], where), where)
        info = self.single_value(by_oid[printed(MEMBER_INFO_V2)][0], where + " member info")
        sip = SIP_PE_IMAGE if data_type == printed(PE_IMAGE_DATA) else SIP_FLAT_FILE
        if self.expect(info, "SEQUENCE", where + " member info", 1) and self.body(info.children[0]) != sip:
            self.fail(f"{where}: member info does not name the subject package of its data type")
        if digest is not None and self.body(tag) != digest.hex().upper().encode("utf-16-le"):
            self.fail(f"{where}: tag is not the digest as upper-case UTF-16LE hex")
        return names.get("File"), data_type, digest

    def indirect_data(self, node, where):
        if not self.expect(node, "SEQUENCE", where + " indirect data", 2):
            return None, None
        data, digest_info = node.children
        if not self.expect(data, "SEQUENCE", where + " data type") or not data.children:
            return None, None
        data_type = data.children[0].value
        if data_type == printed(PE_IMAGE_DATA):
            link = self.body(data).find("<<<Obsolete>>>".encode("utf-16-be"))
            if link < 0:
                self.fail(f"{where}: PE image data without the file link <<<Obsolete>>>")
        elif data_type != printed(FLAT_FILE_DATA):
            self.fail(f"{where}: data type {data_type} is neither PE image nor flat file")
        if not self.expect(digest_info, "SEQUENCE", where + " digest", 2):
            return data_type, None
        algorithm, digest = digest_info.children
        if self.expect(algorithm, "SEQUENCE", where + " digest algorithm") and algorithm.children:
            self.expect_oid(algorithm.children[0], SHA256, where + " digest algorithm")
        if not self.expect(digest, "OCTET STRING", where + " digest value") or digest.length != 32:
            self.fail(f"{where}: a 32-byte SHA-256 digest expected")
            return data_type, None
        return data_type, self.body(digest)

    def check_entries(self, entries):
        found = [self.check_entry(entry, i) for i, entry in enumerate(entries.children)]
        found = [f for f in found if f is not None]
        names = sorted(f[0] or "" for f in found)
        expected = sorted(os.path.basename(m).lower() for m in self.members)
        if names != expected:
            self.fail(f"members {names} instead of {expected}")
        for member in self.members:
            with open(os.path.join(self.package, member), "rb") as f:
                data = f.read()
            pe = data[:2] == b"MZ"
            kind = printed(PE_IMAGE_DATA if pe else FLAT_FILE_DATA)
            if not any(f[0] == os.path.basename(member).lower() and f[1] == kind for f in found):
                self.fail(f"{member}: no entry of the {'PE image' if pe else 'flat file'} data type")
            if not pe and not any(f[2] == hashlib.sha256(data).digest() for f in found):
                self.fail(f"{member}: its SHA-256 is not in the catalog")

    def check_catalog_attributes(self, node):
        if not self.expect(node, "cont [ 0 ]", "catalog attributes", 1):
            return
        extensions = node.children[0]
        values = {}
        for extension in extensions.children:
            if self.expect(extension, "SEQUENCE", "catalog attribute", 2):
                self.expect_oid(extension.children[0], NAME_VALUE, "catalog attribute")
                # The extension's value is a DER name-value inside an OCTET STRING: parsed on its own.
                inner = Checker(self.body(extension.children[1]), self.package, [], self.problems)
                name, value = inner.name_value(inner.root, "catalog attribute")
                values[name] = value
        if values.get("OS") != OS_LIST:
            self.fail(f"catalog attribute OS {values.get('OS')!r} instead of {OS_LIST!r}")

    def run(self):
        ctl = self.trust_list()
        if ctl is not None and self.check_header(ctl):
            if self.expect(ctl.children[4], "SEQUENCE", "entries"):
                self.check_entries(ctl.children[4])
            self.check_catalog_attributes(ctl.children[5])
        return self.problems


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "rb") as f:
        problems = Checker(f.read(), argv[2], argv[3:]).run()
    for p in problems:
        print(f"check_catalog: {p}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
