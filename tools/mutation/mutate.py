#!/usr/bin/env python3
"""Mutation testing: changes one line of a source file at a time, rebuilds the tests that cover
it in its own build tree, runs them, and reports the mutants no test noticed.

    tools/mutation/mutate.py [options] PATH...

PATH is a source file or a folder (its .cpp, .c and .h files). A mutant is caught when a covering
test program fails or runs past its time limit; a mutant the compiler rejects does not count.
The source file is always restored, also on Ctrl+C; a copy kept in the build tree repairs it after
a hard kill on the next run.
"""

import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from collections import defaultdict
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from mutants import file_mutants  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
EQUIVALENT_LIST = Path(__file__).resolve().parent / "equivalent.txt"
SOURCE_SUFFIXES = (".cpp", ".c", ".h")


class Stop(Exception):
    pass


def on_terminate(signum, frame):
    raise Stop(f"signal {signum}")


def read_equivalents():
    """Keys (file, line before, line after) of the mutants recorded as equivalent."""
    keys = {}
    if not EQUIVALENT_LIST.exists():
        return keys
    for raw in EQUIVALENT_LIST.read_text(encoding="utf-8").splitlines():
        if not raw.strip() or raw.startswith("#"):
            continue
        body, _, reason = raw.rpartition("  ## ")
        path, _, change = body.partition(": ")
        before, _, after = change.partition(" → ")
        if not (path and before and after and reason.strip()):
            sys.exit(f"{EQUIVALENT_LIST}: malformed line (file: before → after  ## reason): {raw}")
        keys[(path.strip(), before.strip(), after.strip())] = reason.strip()
    return keys


def source_files(paths):
    files = []
    for given in paths:
        p = (ROOT / given).resolve() if not Path(given).is_absolute() else Path(given)
        if p.is_dir():
            files += sorted(f for f in p.rglob("*") if f.suffix in SOURCE_SUFFIXES)
        elif p.is_file():
            files.append(p)
        else:
            sys.exit(f"no such file or folder: {given}")
    return files


def tests_naming_files(listing, tree_dir):
    """Source path -> the CTest tests outside the tree's programs whose command line names it
    (e.g. a script comparing a committed file with a generator's output), from ctest's JSON."""
    named = defaultdict(set)
    for test in json.loads(listing).get("tests", []):
        command = test.get("command") or []
        if not command or command[0].startswith(str(tree_dir)):
            continue  # the tree's own test programs are covered through the build's dependencies
        for arg in command[1:]:
            value = arg.partition("=")[2] if arg.startswith("-D") else arg
            if os.path.isabs(value):
                named[os.path.normpath(value)].add(test["name"])
    return named


class BuildTree:
    def __init__(self, build_dir, include, exclude, jobs):
        self.dir = build_dir
        self.jobs = jobs
        self.include = include
        self.exclude = exclude
        self.backups = build_dir / "mutation-backup"
        self.baseline_seconds = {}

    def ninja(self, *args, check=True, capture=True):
        return subprocess.run(["ninja", "-C", str(self.dir), f"-j{self.jobs}", *args],
                              check=check, text=True,
                              stdout=subprocess.PIPE if capture else None,
                              stderr=subprocess.STDOUT if capture else None)

    def chosen(self, name):
        """Whether --tests and --exclude-tests let this test program or test run."""
        if self.include and not any(pattern in name for pattern in self.include):
            return False
        return not any(pattern in name for pattern in self.exclude)

    def script_tests(self, listing):
        named = tests_naming_files(listing, self.dir)
        return {path: {n for n in names if self.chosen(n)} for path, names in named.items()}

    def ctest_listing(self):
        return subprocess.run(["ctest", "--test-dir", str(self.dir), "--show-only=json-v1"],
                              check=True, text=True, stdout=subprocess.PIPE).stdout

    def test_programs(self, listing):
        """Test programs CTest knows, with their environment and working folder."""
        programs = {}
        for test in json.loads(listing).get("tests", []):
            command = test.get("command") or []
            if not command or not command[0].startswith(str(self.dir)):
                continue  # scripts and programs outside the tree (package and desktop tests)
            exe = command[0]
            name = os.path.basename(exe)
            if not self.chosen(name):
                continue
            env, cwd = {}, None
            for prop in test.get("properties", []):
                if prop["name"] == "ENVIRONMENT":
                    for item in prop["value"]:
                        key, _, value = item.partition("=")
                        env[key] = value
                elif prop["name"] == "WORKING_DIRECTORY":
                    cwd = prop["value"]
            programs[exe] = (env, cwd)
        return programs

    def header_deps(self):
        """Object file -> the sources and headers it was compiled from (ninja's deps log)."""
        deps = defaultdict(set)
        current = None
        for line in self.ninja("-t", "deps").stdout.splitlines():
            if line and not line.startswith(" "):
                current = line.split(":")[0]
            elif line.strip() and current:
                path = Path(line.strip())
                if not path.is_absolute():
                    path = (self.dir / path).resolve()
                deps[current].add(str(path))
        return deps

    def coverage(self, programs):
        """Source or header path -> the test programs built from it."""
        deps = self.header_deps()
        covers = defaultdict(set)
        for exe in programs:
            target = os.path.relpath(exe, self.dir)
            for item in self.ninja("-t", "inputs", target).stdout.splitlines():
                for source in deps.get(item.strip(), ()):
                    covers[source].add(exe)
        return covers

    def run_script_test(self, name, timeout):
        """'pass', 'fail' or 'timeout' for a CTest test run by its name (a script, not a program)."""
        done = subprocess.run(["ctest", "--test-dir", str(self.dir), "-R", f"^{re.escape(name)}$",
                               "--timeout", str(int(timeout) + 1), "--no-tests=error"],
                              text=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if done.returncode == 0:
            return "pass"
        return "timeout" if "Timeout" in done.stdout else "fail"

    def run_program(self, exe, env, cwd, timeout):
        """'pass', 'fail' or 'timeout'; the program's whole process group goes on a time-out."""
        full_env = dict(os.environ, **env)
        proc = subprocess.Popen([exe, "--gtest_brief=1"], cwd=cwd or os.path.dirname(exe),
                                env=full_env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            return "pass" if proc.wait(timeout=timeout) == 0 else "fail"
        except subprocess.TimeoutExpired:
            return "timeout"
        finally:
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()

    def restore_leftovers(self):
        if not self.backups.exists():
            return
        for backup in self.backups.rglob("*"):
            if backup.is_file():
                target = ROOT / backup.relative_to(self.backups)
                shutil.copyfile(backup, target)
                print(f"restored {target.relative_to(ROOT)} left mutated by an earlier run")
                backup.unlink()


class Mutator:
    def __init__(self, tree, programs, covers, scripts, equivalents, time_factor):
        self.tree = tree
        self.programs = programs
        self.covers = covers
        self.scripts = scripts
        self.equivalents = equivalents
        self.time_factor = time_factor

    def covering(self, source):
        """Covering programs, the ones named after the source's folder first, then the fastest."""
        folder = source.parent.name
        exes = self.covers.get(str(source), set())
        return sorted(exes, key=lambda e: (folder not in os.path.basename(e),
                                           self.tree.baseline_seconds.get(e, 0), e))

    def baseline(self, exes):
        """Builds and runs the covering programs unmutated; they must pass."""
        for exe in exes:
            if exe in self.tree.baseline_seconds:
                continue
            self.tree.ninja(os.path.relpath(exe, self.tree.dir))
            env, cwd = self.programs[exe]
            start = time.monotonic()
            if self.tree.run_program(exe, env, cwd, timeout=600) != "pass":
                sys.exit(f"{exe} fails without any mutant: fix the tests first")
            self.tree.baseline_seconds[exe] = time.monotonic() - start

    def baseline_scripts(self, names):
        for name in names:
            key = "ctest:" + name
            if key in self.tree.baseline_seconds:
                continue
            start = time.monotonic()
            if self.tree.run_script_test(name, timeout=600) != "pass":
                sys.exit(f"test {name} fails without any mutant: fix the tests first")
            self.tree.baseline_seconds[key] = time.monotonic() - start

    def judge(self, exes, scripts=()):
        """'caught', 'survived' or 'unviable' for the mutant now in the source tree."""
        for exe in exes:
            if self.tree.ninja(os.path.relpath(exe, self.tree.dir), check=False).returncode:
                return "unviable"
            env, cwd = self.programs[exe]
            limit = max(10.0, self.time_factor * self.tree.baseline_seconds[exe])
            if self.tree.run_program(exe, env, cwd, limit) != "pass":
                return "caught"
        for name in sorted(scripts):
            limit = max(10.0, self.time_factor * self.tree.baseline_seconds["ctest:" + name])
            if self.tree.run_script_test(name, limit) != "pass":
                return "caught"
        return "survived"

    def run_file(self, source, mutants, report):
        exes = self.covering(source)
        scripts = self.scripts.get(os.path.normpath(str(source)), set())
        rel = str(source.relative_to(ROOT))
        if not exes and not scripts:
            for m in mutants:
                report(m, "uncovered")
            return
        self.baseline(exes)
        self.baseline_scripts(scripts)
        exes = self.covering(source)
        original = source.read_bytes()
        backup = self.tree.backups / rel
        backup.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, backup)
        lines = original.decode("utf-8").split("\n")
        try:
            for m in mutants:
                if m.key() in self.equivalents:
                    report(m, "equivalent")
                    continue
                mutated = list(lines)
                mutated[m.line - 1] = m.after
                source.write_bytes("\n".join(mutated).encode("utf-8"))
                report(m, self.judge(exes, scripts))
        finally:
            source.write_bytes(original)
            backup.unlink()
        # The tree is left built from the real source, whatever the last mutant was.
        self.tree.ninja(*[os.path.relpath(e, self.tree.dir) for e in exes], check=False)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("paths", nargs="+", help="source files or folders to mutate")
    parser.add_argument("--build-dir", default=str(ROOT / "build-mutation"),
                        help="configured build tree of its own (default: build-mutation/)")
    parser.add_argument("--seed", type=int, default=1, help="sampling seed (default 1)")
    parser.add_argument("--sample", type=int, default=0,
                        help="at most N mutants per PATH given (0: all)")
    parser.add_argument("--per-file", type=int, default=0,
                        help="at most N mutants per source file (0: all)")
    parser.add_argument("--tests", action="append", default=[],
                        help="only tests whose name contains this (repeatable)")
    parser.add_argument("--exclude-tests", action="append",
                        default=["soak_test", "kill_test", "bench"],
                        help="skip tests whose name contains this (repeatable)")
    parser.add_argument("--time-factor", type=float, default=5.0,
                        help="time limit per program: this times its unmutated run, 10 s at least")
    parser.add_argument("--jobs", type=int, default=2, help="parallel build jobs (default 2)")
    parser.add_argument("--retry", metavar="LOG",
                        help="only the mutants an earlier run's output LOG lists as surviving")
    parser.add_argument("--list", action="store_true", help="list the chosen mutants and stop")
    parser.add_argument("--verbose", action="store_true", help="print every mutant's result")
    args = parser.parse_args()

    signal.signal(signal.SIGTERM, on_terminate)
    signal.signal(signal.SIGINT, on_terminate)
    signal.signal(signal.SIGHUP, on_terminate)

    rng = random.Random(args.seed)
    equivalents = read_equivalents()
    chosen = []  # (group, mutant)
    for given in args.paths:
        group = []
        for source in source_files([given]):
            text = source.read_text(encoding="utf-8")
            found = file_mutants(str(source.relative_to(ROOT)), text)
            if args.per_file and len(found) > args.per_file:
                found = sorted(rng.sample(found, args.per_file), key=lambda m: m.line)
            group += found
        if args.sample and len(group) > args.sample:
            group = sorted(rng.sample(group, args.sample), key=lambda m: (m.path, m.line))
        chosen += [(given.rstrip("/"), m) for m in group]

    if args.retry:
        listed = Path(args.retry).read_text(encoding="utf-8")
        survivors_before = {line.strip() for line in listed.splitlines()}
        chosen = [(group, m) for group, m in chosen if m.describe() in survivors_before]

    if args.list:
        for group, m in chosen:
            mark = " [equivalent]" if m.key() in equivalents else ""
            print(f"{m.operator:18} {m.describe()}{mark}")
        return 0

    tree = BuildTree(Path(args.build_dir).resolve(), args.tests, args.exclude_tests, args.jobs)
    if not (tree.dir / "build.ninja").exists():
        sys.exit(f"{tree.dir} is not configured: use scripts/mutation-test.sh")
    tree.restore_leftovers()
    # CTest learns the test programs' tests when they are built, so the tree is built first.
    print(f"building {tree.dir} ...", flush=True)
    built = tree.ninja(check=False)
    if built.returncode:
        sys.exit(built.stdout[-3000:] + "\nthe unmutated tree does not build")
    listing = tree.ctest_listing()
    programs = tree.test_programs(listing)
    mutator = Mutator(tree, programs, tree.coverage(programs),
                      tree.script_tests(listing), equivalents, args.time_factor)

    counts = defaultdict(lambda: defaultdict(int))
    survivors = []
    progress = [0]
    started = time.monotonic()

    def report(mutant, verdict):
        counts[current_group][verdict] += 1
        progress[0] += 1
        if not args.verbose and sys.stdout.isatty():
            print(f"[{progress[0]}/{len(chosen)}]", end="\r", flush=True)
        if verdict == "survived":
            survivors.append(mutant)
            print(f"SURVIVED {mutant.describe()}", flush=True)
        elif args.verbose:
            print(f"[{progress[0]}/{len(chosen)}] {verdict:10} {mutant.describe()}", flush=True)

    by_file = defaultdict(list)
    for group, m in chosen:
        by_file[(group, m.path)].append(m)
    interrupted = None
    try:
        for (current_group, path), mutants in by_file.items():
            mutator.run_file(ROOT / path, mutants, report)
    except Stop as stop:
        interrupted = stop

    print(f"\n{'folder or file':40} {'mutants':>8} {'caught':>7} {'equiv':>6} {'surv':>5}"
          f" {'score':>6}  (not compiled, not covered)")
    for group, c in counts.items():
        judged = c["caught"] + c["survived"] + c["equivalent"]
        scored = c["caught"] + c["survived"]
        score = f"{100.0 * c['caught'] / scored:5.1f}%" if scored else "   -  "
        print(f"{group:40} {judged:8} {c['caught']:7} {c['equivalent']:6} {c['survived']:5}"
              f" {score:>6}  ({c['unviable']}, {c['uncovered']})")
    if survivors:
        print("\nsurviving mutants:")
        for m in survivors:
            print(f"  {m.describe()}")
    print(f"\n{time.monotonic() - started:.0f} s, seed {args.seed}")
    if interrupted:
        print(f"stopped early ({interrupted}); every source file is restored")
        return 130
    return 0


if __name__ == "__main__":
    sys.exit(main())
