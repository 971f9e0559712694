#!/usr/bin/env python3
"""Checks the driver package's INF against the package folder: every section it refers to exists,
every file it copies resolves through SourceDisksFiles and SourceDisksNames to a file in the package
for each architecture it installs on, the catalog it names is there, every %string% is defined,
DriverVer is well formed and carries the expected date and version, and the driver runs from the
driver store (DefaultDestDir 13, the service binary under %13%), as driver isolation wants.

Usage: check_inf.py PACKAGE_DIR INF_NAME MM/DD/YYYY W.X.Y.Z
Prints one line per problem and exits 1 when there is any. Standard library only.
"""
import datetime
import os
import re
import sys

ARCHITECTURES = {"ntx86": "x86", "ntamd64": "amd64"}


def strip_comment(line):
    quoted = False
    for i, c in enumerate(line):
        if c == '"':
            quoted = not quoted
        elif c == ";" and not quoted:
            return line[:i]
    return line


def parse(text):
    sections = {}
    current = None
    for raw in text.splitlines():
        line = strip_comment(raw).strip()
        if not line:
            continue
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1].strip().lower()
            sections.setdefault(current, [])
        elif current is not None:
            key, _, value = line.partition("=")
            sections[current].append((key.strip(), value.strip() if _ else None))
    return sections


def fields(value):
    return [f.strip() for f in value.split(",")] if value is not None else []


def entry(sections, section, key):
    for k, v in sections.get(section, []):
        if k.lower() == key.lower():
            return v
    return None


class Checker:
    def __init__(self, package, inf_name, expected_date, expected_version):
        self.package = package
        self.problems = []
        with open(os.path.join(package, inf_name), encoding="ascii") as f:
            self.text = f.read()
        self.sections = parse(self.text)
        self.expected_date = expected_date
        self.expected_version = expected_version

    def fail(self, what):
        self.problems.append(what)

    def need_section(self, name, why):
        if name.lower() not in self.sections:
            self.fail(f"section [{name}] missing ({why})")
            return False
        return True

    def check_version(self):
        if not self.need_section("Version", "every INF"):
            return
        if entry(self.sections, "version", "Signature") != '"$Windows NT$"':
            self.fail("Version: Signature is not \"$Windows NT$\"")
        catalog = entry(self.sections, "version", "CatalogFile")
        if not catalog:
            self.fail("Version: no CatalogFile (a third-party package needs its catalog)")
        elif not os.path.isfile(os.path.join(self.package, catalog)):
            self.fail(f"Version: catalog {catalog} is not in the package")
        version = entry(self.sections, "version", "DriverVer") or ""
        match = re.fullmatch(r"(\d\d)/(\d\d)/(\d{4}),(\d+)\.(\d+)\.(\d+)\.(\d+)", version)
        if not match:
            self.fail(f"Version: DriverVer {version!r} is not MM/DD/YYYY,w.x.y.z")
            return
        month, day, year = int(match[1]), int(match[2]), int(match[3])
        try:
            date = datetime.date(year, month, day)
        except ValueError:
            self.fail(f"Version: DriverVer date {version} does not exist")
            return
        if date > datetime.date.today():
            self.fail(f"Version: DriverVer date {version} is in the future")
        if version.split(",")[0] != self.expected_date:
            self.fail(f"Version: DriverVer date {version} is not the build's {self.expected_date}")
        if version.split(",")[1] != self.expected_version:
            self.fail(f"Version: DriverVer version {version} is not the build's {self.expected_version}")
        if any(int(part) > 65535 for part in match.groups()[3:]):
            self.fail(f"Version: DriverVer version {version} has a part above 65535")

    def check_destination(self):
        if entry(self.sections, "destinationdirs", "DefaultDestDir") != "13":
            self.fail("DestinationDirs: DefaultDestDir is not 13 (the driver store)")
        for name in self.sections:
            binary = entry(self.sections, name, "ServiceBinary")
            if binary is not None and not binary.startswith("%13%\\"):
                self.fail(f"[{name}] ServiceBinary {binary} is not in the driver store (%13%)")

    def install_sections(self):
        """(install section, architecture) for every model of every decoration."""
        result = []
        for name, value in self.sections.get("manufacturer", []):
            parts = fields(value)
            if not parts:
                self.fail(f"Manufacturer: {name} names no models section")
                continue
            models, decorations = parts[0], [d.lower() for d in parts[1:]]
            for decoration in decorations:
                arch = ARCHITECTURES.get(decoration)
                if arch is None:
                    self.fail(f"Manufacturer: decoration {decoration} is not one this package builds for")
                    continue
                section = f"{models}.{decoration}"
                if not self.need_section(section, "models for " + arch):
                    continue
                for description, model in self.sections[section.lower()]:
                    install = fields(model)
                    if len(install) < 2:
                        self.fail(f"[{section}] {description}: no install section and hardware id")
                        continue
                    result.append((install[0], arch))
        if not result:
            self.fail("no device is installed on any architecture")
        return result

    def check_install(self, install, arch):
        if not self.need_section(install, "install section of a model"):
            return
        for key, value in self.sections[install.lower()]:
            if key.lower() == "copyfiles":
                for files in fields(value):
                    if files.startswith("@"):
                        self.check_file(files[1:], arch)
                    elif self.need_section(files, "CopyFiles of " + install):
                        for name, _ in self.sections[files.lower()]:
                            self.check_file(fields(name)[0], arch)
            elif key.lower() == "addreg":
                for section in fields(value):
                    self.need_section(section, "AddReg of " + install)
        for suffix in (".HW", ".Services"):
            if (install + suffix).lower() in self.sections:
                for key, value in self.sections[(install + suffix).lower()]:
                    if key.lower() == "addreg":
                        for section in fields(value):
                            self.need_section(section, "AddReg of " + install + suffix)
                    if key.lower() == "addservice" and len(fields(value)) >= 3:
                        self.need_section(fields(value)[2], "service of " + install)
        if (install + ".Services").lower() not in self.sections:
            self.fail(f"[{install}.Services] missing: the function driver would not be installed as a service")

    def lookup(self, section, arch, key):
        return entry(self.sections, f"{section}.{arch}", key) or entry(self.sections, section, key)

    def check_file(self, name, arch):
        source = self.lookup("sourcedisksfiles", arch, name)
        if source is None:
            self.fail(f"{arch}: {name} is not in SourceDisksFiles")
            return
        parts = fields(source)
        disk = parts[0]
        subdir = parts[1] if len(parts) > 1 else ""
        disk_entry = self.lookup("sourcedisksnames", arch, disk)
        if disk_entry is None:
            self.fail(f"{arch}: disk {disk} of {name} is not in SourceDisksNames")
            return
        disk_fields = fields(disk_entry)
        disk_path = disk_fields[3] if len(disk_fields) > 3 else ""
        path = os.path.join(self.package, *[p for p in re.split(r"[\\/]", disk_path + "\\" + subdir) if p], name)
        if not os.path.isfile(path):
            self.fail(f"{arch}: {name} resolves to {os.path.relpath(path, self.package)}, which is not in the package")

    def check_strings(self):
        defined = {k.lower() for k, _ in self.sections.get("strings", [])}
        for token in re.findall(r"%([^%\s]+)%", self.text):
            if not token.isdigit() and token.lower() not in defined:
                self.fail(f"string %{token}% is not defined in [Strings]")

    def run(self):
        self.check_version()
        self.check_destination()
        for install, arch in dict.fromkeys(self.install_sections()):
            self.check_install(install, arch)
        self.check_strings()
        if "defaultinstall" in self.sections:
            self.fail("[DefaultInstall] in a PnP driver package: install with pnputil instead")
        return list(dict.fromkeys(self.problems))


def main(argv):
    if len(argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    problems = Checker(argv[1], argv[2], argv[3], argv[4]).run()
    for p in problems:
        print(f"check_inf: {p}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
