#!/usr/bin/env python3
"""Converts one registry again and again with a file-system fault injected at
every operation of the run, and checks that no run loses a value or leaves a
half-written file.

The program counts its file-system operations (CORVANE_FAULT_COUNT); a clean
run gives the number K and the reference result. Then, for every N in 1..K:

  fail  CORVANE_FAULT_AT=N CORVANE_FAULT_MODE=fail: the N-th operation fails.
        Afterwards every value of the registry before the run is still in the
        registry store or in a registry backup of the data folder, unchanged;
        when no backup exists, nothing left the store; every file is whole
        (see `whole_file_problems`); no temporary file is left but those a
        journal names; a run whose result differs from the clean one ended
        with a non-zero exit code and said why on its output. Then a second
        run without a fault must end with 0, lose nothing and leave no
        journal; how its result differs from a clean run's is counted (the
        first run kept groups where they were, see `fail_case`).
  exit  CORVANE_FAULT_MODE=exit: the process ends at once at the N-th
        operation, as if killed. The same checks hold right after (temporary
        files of the killed process aside). Then a second run without a fault
        must give the clean run's files and registry (backup names aside),
        exit 0 and lose nothing.
  (N = K + 1 as well: the switch is set, nothing fails, the run is clean.)

  together  Two runs at once on one registry store. A run that waits at the
        data-path prompt holds the store: a second run must refuse at once
        (exit code 6, a line on standard error) and change nothing; the first
        then ends as a clean run. And pairs started at the same instant: each
        ends with 0 or 6, at least one with 0, and afterwards the files and the
        registry are the clean run's and nothing is lost.

After every injected fault and interruption, and after each second run, the
conservation check (tests/conservation) accounts for every value of the
application key when --checker names its program: the faulted run from the
registry before it, the second run from what the first left, and both runs
together from the registry before the first.

Usage: run_faults.py --exe PATH [--checker PATH] [--registry FILE] [--jobs N]
                     [--modes fail,exit,together]
"""

import argparse
import concurrent.futures
import fnmatch
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.dont_write_bytecode = True  # no cache folder in the source tree
sys.path.insert(0, os.path.join(ROOT, "tests", "scenarios"))
import run_scenarios  # noqa: E402  (the registry export reader of the scenarios)
sys.path.insert(0, os.path.join(ROOT, "tests", "conservation"))
from known_losses import ACCEPTED, KNOWN_KINDS, kind_of  # noqa: E402

BACKUP_PATTERN = "*-registry-backup*.reg"
FIRST_BACKUP = "data/Corvane-registry-backup.reg"
INTERRUPTED = 86  # the exit code of a process ended by the switch
TIMEOUT = 60
# Temporary files of the savers, which a killed process leaves behind.
TEMPORARY_PATTERNS = [r"^\..+\.\d+\.[0-9a-f]{16}\.tmp$", r"^.+\.[0-9a-f]{16}\.tmp$"]
# The journal of a save of several files that has not been completed yet.
JOURNAL = "HKCU.reg.commit"
# Lines that tell the user something went wrong.
ERROR_PATTERN = re.compile(r"error|cannot|could not|no registry backup", re.I)


def is_temporary(name):
    return any(re.match(p, name) for p in TEMPORARY_PATTERNS)


class Case:
    """A scratch folder with the program, its registry store and its data folder."""

    def __init__(self, work, exe, registry_bytes):
        self.work = work
        self.prog = os.path.join(work, "prog")
        self.data = os.path.join(work, "data")
        self.store = os.path.join(work, "HKCU.reg")
        os.makedirs(self.prog)
        self.exe = os.path.join(self.prog, os.path.basename(exe))
        try:
            os.link(exe, self.exe)
        except OSError:
            shutil.copy2(exe, self.exe)
        with open(self.store, "wb") as f:
            f.write(registry_bytes)

    def start(self, stdin=subprocess.PIPE):
        """Starts the program without a fault; the caller talks to it."""
        return subprocess.Popen([self.exe], cwd=self.work, env=self.environment(), stdin=stdin,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def environment(self, fault_at=None, mode=None, count_file=None):
        env = dict(os.environ)
        for name in ("CORVANE_FAULT_AT", "CORVANE_FAULT_MODE", "CORVANE_FAULT_COUNT"):
            env.pop(name, None)
        env["CORVANE_REGISTRY"] = self.store
        if fault_at is not None:
            env["CORVANE_FAULT_AT"] = str(fault_at)
            env["CORVANE_FAULT_MODE"] = mode
        if count_file:
            env["CORVANE_FAULT_COUNT"] = count_file
        return env

    def run(self, fault_at=None, mode=None, count_file=None):
        env = self.environment(fault_at, mode, count_file)
        done = subprocess.run([self.exe], cwd=self.work, env=env, input=(self.data + "\n").encode(),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=TIMEOUT)
        return done.returncode, done.stdout.decode(errors="replace"), done.stderr.decode(
            errors="replace")

    def normalised(self, data):
        """The bytes with this case's folder (in 8-bit and UTF-16 text) as %WORK%."""
        for encoding in ("utf-8", "utf-16-le"):
            data = data.replace(self.work.encode(encoding), "%WORK%".encode(encoding))
        return data

    def files(self):
        """{"data/NAME", "prog/NAME" or "work/NAME": bytes}: the data folder, the
        program folder and the folder of the store (the program itself and the
        store left out), this case's folder in the text replaced (see
        `normalised`)."""
        out = {}
        for folder in ("data", "prog", "work"):
            path = self.work if folder == "work" else os.path.join(self.work, folder)
            if not os.path.isdir(path):
                continue
            for name in sorted(os.listdir(path)):
                full = os.path.join(path, name)
                if os.path.isdir(full) or (folder == "prog" and name == os.path.basename(
                        self.exe)) or (folder == "work" and name == "HKCU.reg"):
                    continue
                with open(full, "rb") as f:
                    out[folder + "/" + name] = self.normalised(f.read())
        return out

    def store_bytes_raw(self):
        with open(self.store, "rb") as f:
            return f.read()

    def store_bytes(self):
        with open(self.store, "rb") as f:
            return self.normalised(f.read())


def is_backup(rel):
    return rel.startswith("data/") and fnmatch.fnmatch(rel[5:], BACKUP_PATTERN)


def parse(data, what, problems):
    try:
        return run_scenarios.parse_reg(data)
    except run_scenarios.RegParseError as e:
        problems.append("%s cannot be read: %s" % (what, e))
        return None


def lost_values(original, case, problems):
    """Every value of the registry before the run must be in the store or a backup."""
    store = parse(case.store_bytes(), "the registry store", problems)
    if store is None:
        return
    backups = []
    for rel, data in case.files().items():
        if is_backup(rel):
            parsed = parse(data, rel, problems)
            if parsed is not None:
                backups.append(parsed)
    for key, values in original.items():
        for name, value in values.items():
            if store.get(key, {}).get(name) == value:
                continue
            where = "nowhere" if not backups else "in no backup either"
            if not any(b.get(key, {}).get(name) == value for b in backups):
                problems.append("LOST [%s] %s: not in the store, %s" % (key, name or "@", where))
            elif not backups:
                problems.append("deleted without a backup: [%s] %s" % (key, name or "@"))


def well_formed_ini(data):
    """An INI file written whole: empty, or complete lines (each ending with CR LF)
    that are each a section, a key line, a comment or blank."""
    if not data:
        return True
    if not data.endswith(b"\r\n"):
        return False
    for line in data[:-2].split(b"\r\n"):
        text = line.strip()
        if text and not (text.startswith(b"[") and text.endswith(b"]")) and \
                not text.startswith(b";") and b"=" not in text:
            return False
    return True


# The conservation check's program (--checker), or None.
CHECKER = None
# Losses of a kind known_losses.ACCEPTED lists: shown in the summary only.
ACCEPTED_LOSSES = []


def conservation_problems(case, before_bytes, label, later=()):
    """Runs the conservation check on the case as it is now, from a registry
    before_bytes. Backups named in later hold another registry state than
    before_bytes: they are counted, not compared. Returns "LOST ..." lines."""
    if not CHECKER:
        return []
    before = os.path.join(case.work, "conservation-%s-before.reg" % label)
    after = os.path.join(case.work, "conservation-%s-after.reg" % label)
    with open(before, "wb") as f:
        f.write(before_bytes)
    shutil.copy(case.store, after)
    lines = ["name %s" % label, "data %s" % case.data, "before %s" % before, "after %s" % after]
    names = sorted(n for n in os.listdir(case.data) if fnmatch.fnmatch(n, BACKUP_PATTERN)) \
        if os.path.isdir(case.data) else []
    for n in names:
        field = "later-backup" if n in later else "backup"
        lines.append("%s %s" % (field, os.path.join(case.data, n)))
    case_file = os.path.join(case.work, "conservation-%s.txt" % label)
    with open(case_file, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    done = subprocess.run([CHECKER, case_file], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=TIMEOUT)
    out = done.stdout.decode(errors="replace").splitlines()
    ACCEPTED_LOSSES.extend(kind_of(l) for l in out if kind_of(l) in ACCEPTED)
    problems = ["LOST (conservation check) " + l[5:] for l in out
                if l.startswith("LOST") and kind_of(l) not in ACCEPTED]
    problems += ["LOST (conservation check) " + l for l in out if l.startswith("UNREADABLE")]
    for name in (before, after, case_file):
        os.remove(name)
    return problems


def backups_now(case):
    return {n for n in os.listdir(case.data) if fnmatch.fnmatch(n, BACKUP_PATTERN)} \
        if os.path.isdir(case.data) else set()


def journal_temporaries(case):
    """The temporary files named in a journal of a save not yet completed."""
    path = os.path.join(case.work, JOURNAL)
    if not os.path.exists(path):
        return set()
    with open(path, "rb") as f:
        lines = case.normalised(f.read()).decode(errors="replace").split("\n")
    return {os.path.basename(line) for line in lines[1:-2:2]}


def whole_file_problems(case, clean, interrupted, runs=1):
    """No file may be half written. What "whole" means:
    - a registry backup equals the clean run's (the backup is always the
      registry before the run); when `runs` ran one after the other, the
      first backup does, the later ones back up what the first run left:
      they read as registry exports and end with a line end;
    - the registry store is the original or the clean run's final one after an
      interruption (no deletion reaches it before the end); after a failure
      it reads as a registry export and ends with a line end;
    - after an interruption, every settings file is absent, empty (settings
      files are made empty at their first value and replaced whole at the
      end) or the clean run's final version; after a failure it is written
      whole (`well_formed_ini`) but may differ, as the run kept some groups
      where they were;
    - temporary files may stay after an interruption; after a failure only
      those that a journal names (they take their place at the next run);
    - no other file appears."""
    problems = []
    listed = journal_temporaries(case)
    for rel, data in case.files().items():
        name = rel.split("/", 1)[1]
        if is_backup(rel):
            if runs > 1 and rel != FIRST_BACKUP:
                if not data.endswith("\r\n".encode("utf-16-le")):
                    problems.append("TORN backup %s: it does not end with a line end" % rel)
            elif data != clean.backup:
                problems.append("TORN backup %s (%d bytes, a whole one has %d)" % (
                    rel, len(data), len(clean.backup)))
        elif rel in clean.files:
            if interrupted and data not in (clean.files[rel], b""):
                problems.append("TORN %s: neither empty nor the clean run's (%d bytes)" % (
                    rel, len(data)))
            elif not interrupted and not well_formed_ini(data):
                problems.append("TORN %s: not a whole INI file (%d bytes)" % (rel, len(data)))
        elif rel == "work/" + JOURNAL:
            pass
        elif is_temporary(name):
            if not interrupted and name not in listed:
                problems.append("temporary file left: %s" % rel)
        else:
            problems.append("unexpected file %s" % rel)
    store = case.store_bytes()
    if interrupted and store not in (clean.original_bytes, clean.store_bytes):
        problems.append("TORN registry store: neither the original nor the clean run's")
    elif not store.endswith("\r\n".encode("utf-16-le")):
        problems.append("TORN registry store: it does not end with a line end")
    return problems


def recovery_problems(case, clean):
    """Runs the program a second time without a fault. Returns (problems: exit
    code not 0, a value lost, a journal left; differences: from the clean
    run's files and registry), with the run's output."""
    code, out, err = case.run()
    problems = []
    if code != 0:
        problems.append("the second run ended with exit code %d: %s" % (code, err.strip()))
    lost_values(clean.original, case, problems)
    if os.path.exists(os.path.join(case.work, JOURNAL)):
        problems.append("the second run left the journal %s" % JOURNAL)
    recovery = []
    files = {rel: d for rel, d in case.files().items()
             if not is_backup(rel) and not is_temporary(rel.split("/", 1)[1])}
    for rel in sorted(set(files) | set(clean.files)):
        if rel not in files:
            recovery.append("after the second run %s is missing" % rel)
        elif rel not in clean.files:
            recovery.append("after the second run %s is there, a clean run has none" % rel)
        elif files[rel] != clean.files[rel]:
            recovery.append("after the second run %s differs from a clean run's" % rel)
    store = parse(case.store_bytes(), "the registry store after the second run", recovery)
    if store is not None:
        for line in run_scenarios.compare_registries(clean.store, store):
            recovery.append("registry after the second run: " + line)
    leftovers = sum(1 for rel in case.files() if is_temporary(rel.split("/", 1)[1]))
    return problems, recovery, leftovers, (code, out, err)


class Clean:
    """The reference: one run without a fault."""

    def __init__(self, exe, registry_bytes, scratch):
        case = Case(os.path.join(scratch, "clean"), exe, registry_bytes)
        count_file = os.path.join(scratch, "clean-count")
        self.code, self.stdout, self.stderr = case.run(count_file=count_file)
        with open(count_file) as f:
            self.count = int(f.read().strip() or 0)
        self.original_bytes = registry_bytes
        self.original = run_scenarios.parse_reg(registry_bytes)
        self.store_bytes = case.store_bytes()
        self.store = run_scenarios.parse_reg(self.store_bytes)
        all_files = case.files()
        backups = [rel for rel in all_files if is_backup(rel)]
        self.backup = all_files[backups[0]] if len(backups) == 1 else None
        self.files = {rel: data for rel, data in all_files.items() if not is_backup(rel)}


def differs_from_clean(case, clean):
    """True when the files or the store differ from the clean run's; a journal
    that could not be removed after a completed save does not count (the next
    run removes it, see `recovery_problems`)."""
    files = {rel: d for rel, d in case.files().items()
             if not is_backup(rel) and rel != "work/" + JOURNAL}
    return files != clean.files or case.store_bytes() != clean.store_bytes


def only_program_record_missing(case, clean, err):
    """True when the one difference from a clean run is the data folder's record
    beside the program, which is missing, and a warning says so."""
    files = {rel: d for rel, d in case.files().items()
             if not is_backup(rel) and rel != "work/" + JOURNAL}
    missing = set(clean.files) - set(files)
    same = all(files.get(rel) == clean.files[rel] for rel in set(clean.files) - missing)
    return (same and set(files) <= set(clean.files) and missing
            and all(rel.startswith("prog/") for rel in missing)
            and case.store_bytes() == clean.store_bytes
            and "warning: the data folder could not be recorded" in err)


def fail_case(exe, clean, scratch, n):
    mode = "fail"
    case = Case(os.path.join(scratch, "fail-%d" % n), exe, clean.original_bytes)
    code, out, err = case.run(fault_at=n, mode="fail")
    problems = []
    if code not in (0, 4, 5):
        problems.append("exit code %d" % code)
    lost_values(clean.original, case, problems)
    problems += conservation_problems(case, clean.original_bytes, "fail-%d" % n)
    first_store, first_backups = case.store_bytes_raw(), backups_now(case)
    pending = os.path.exists(os.path.join(case.work, JOURNAL))
    problems += whole_file_problems(case, clean, interrupted=False)
    if differs_from_clean(case, clean):
        # A missing record beside the program is a warning, not a failure: the
        # conversion itself is whole.
        if not (code == 0 and only_program_record_missing(case, clean, err)):
            if code == 0:
                problems.append("the result differs from a clean run, but the exit code is 0")
            if not ERROR_PATTERN.search(out + err):
                problems.append("the result differs from a clean run, and nothing says why")
    elif code != 0 and n <= clean.count:
        # A failure that the run recovered from itself, say by a second attempt,
        # must still be reported.
        if not ERROR_PATTERN.search(out + err):
            problems.append("exit code %d, and nothing says why" % code)
    lost = any(p.startswith("LOST") for p in problems)
    torn = any(p.startswith("TORN") for p in problems)
    second, differences, leftovers, (code2, out2, err2) = recovery_problems(case, clean)
    if not pending:
        # (A journal left by the first run is completed before the second
        # reads the registry: it starts from another state than first_store.)
        second += conservation_problems(case, first_store, "%s-%d-second" % (mode, n),
                                        first_backups)
    second += conservation_problems(case, clean.original_bytes, "%s-%d-both" % (mode, n),
                                    backups_now(case) - first_backups)
    problems += second
    # After a failure the run kept what it could not move; a second run moves
    # it into files that already hold the rest. Keys may then come in another
    # order, and a step that finds its work done leaves a key the first run
    # would have removed ("Profile" once "Bank" is set). Counted, not failed.
    outcome = {"lost": lost or any(p.startswith("LOST") for p in second), "torn": torn,
               "differs": bool(differences), "leftovers": leftovers}
    if not problems:
        shutil.rmtree(case.work, ignore_errors=True)
    return n, problems, outcome, (code, out + out2, err + err2)


def exit_case(exe, clean, scratch, n):
    mode = "exit"
    case = Case(os.path.join(scratch, "exit-%d" % n), exe, clean.original_bytes)
    code, out, err = case.run(fault_at=n, mode="exit")
    problems = []
    expected = INTERRUPTED if n <= clean.count else 0
    if code != expected:
        problems.append("exit code %d, expected %d" % (code, expected))
    lost_values(clean.original, case, problems)
    problems += conservation_problems(case, clean.original_bytes, "exit-%d" % n)
    first_store, first_backups = case.store_bytes_raw(), backups_now(case)
    pending = os.path.exists(os.path.join(case.work, JOURNAL))
    problems += whole_file_problems(case, clean, interrupted=True)
    lost = any(p.startswith("LOST") for p in problems)
    torn = any(p.startswith("TORN") for p in problems)
    second, differences, leftovers, (code2, out2, err2) = recovery_problems(case, clean)
    if not pending:
        # (A journal left by the first run is completed before the second
        # reads the registry: it starts from another state than first_store.)
        second += conservation_problems(case, first_store, "%s-%d-second" % (mode, n),
                                        first_backups)
    second += conservation_problems(case, clean.original_bytes, "%s-%d-both" % (mode, n),
                                    backups_now(case) - first_backups)
    problems += second + differences
    outcome = {"lost": lost or any(p.startswith("LOST") for p in second), "torn": torn,
               "differs": bool(differences), "leftovers": leftovers}
    if not problems:
        shutil.rmtree(case.work, ignore_errors=True)
    return n, problems, outcome, (code, out + out2, err + err2)


BUSY = 6  # the exit code of a run that finds its store in use


def together_held(exe, clean, scratch):
    """A second run while the first waits at the prompt."""
    case = Case(os.path.join(scratch, "held"), exe, clean.original_bytes)
    problems = []
    first = case.start()
    try:
        prompt = first.stdout.readline().decode(errors="replace")
        if not prompt.startswith("Enter "):
            problems.append("the first run did not ask for the data path: %r" % prompt)
        code, out, err = case.run()
        if code != BUSY:
            problems.append("the second run ended with exit code %d, expected %d" % (code, BUSY))
        if "another run" not in err:
            problems.append("the second run did not say why: %r" % err)
        if out:
            problems.append("the second run printed %r" % out)
        if case.store_bytes() != clean.original_bytes or case.files():
            problems.append("the second run changed files: %s" % sorted(case.files()))
        rest, first_err = first.communicate((case.data + "\n").encode(), timeout=TIMEOUT)
    finally:
        if first.poll() is None:
            first.kill()
            first.wait()
    if first.returncode != 0:
        problems.append("the first run ended with exit code %d: %s" % (
            first.returncode, first_err.decode(errors="replace")))
    problems += whole_file_problems(case, clean, interrupted=True)
    if differs_from_clean(case, clean):
        problems.append("the first run's result differs from a clean run's")
    return problems


def together_race(exe, clean, scratch, n):
    """Two runs started at the same instant on one store."""
    case = Case(os.path.join(scratch, "race-%d" % n), exe, clean.original_bytes)
    runs = [case.start() for _ in range(2)]
    outputs = [run.communicate((case.data + "\n").encode(), timeout=TIMEOUT) for run in runs]
    codes = sorted(run.returncode for run in runs)
    problems = []
    if codes not in ([0, 0], [0, BUSY]):
        problems.append("exit codes %s: %s" % (
            codes, " / ".join(err.decode(errors="replace").strip() for _, err in outputs)))
    lost_values(clean.original, case, problems)
    problems += whole_file_problems(case, clean, interrupted=True, runs=2)
    if differs_from_clean(case, clean):
        problems.append("the result differs from a clean run's")
    return problems, codes


def run_together(exe, clean, scratch, jobs):
    problems = ["held: " + p for p in together_held(exe, clean, scratch)]
    pairs = 8
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        results = list(pool.map(lambda n: together_race(exe, clean, scratch, n), range(pairs)))
    refused = 0
    for n, (race, codes) in enumerate(results):
        problems += ["pair %d: %s" % (n, p) for p in race]
        refused += codes.count(BUSY)
    for p in problems:
        print("together: " + p)
    print("together: a run held at the prompt, and %d pairs started at once (%d runs refused, "
          "the others ran one after the other), runs with any problem: %d" % (
              pairs, refused, len(problems)))
    return len(problems)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--checker", help="the conservation check's program")
    parser.add_argument("--registry", default=os.path.join(ROOT, "examples", "Corvane.reg"))
    parser.add_argument("--jobs", type=int, default=max(2, os.cpu_count() or 2))
    parser.add_argument("--modes", default="fail,exit,together")
    parser.add_argument("--keep", action="store_true", help="keep the folders of failed cases")
    args = parser.parse_args()
    global CHECKER
    CHECKER = os.path.abspath(args.checker) if args.checker else None
    started = time.monotonic()
    with open(args.registry, "rb") as f:
        registry_bytes = f.read()

    scratch = tempfile.mkdtemp(prefix="corvane-faults-")
    try:
        clean = Clean(os.path.abspath(args.exe), registry_bytes, scratch)
        if clean.code != 0 or clean.count == 0 or clean.backup is None:
            print("the clean run failed (exit code %d, %d operations, backup %s):\n%s" % (
                clean.code, clean.count, "written" if clean.backup else "missing", clean.stderr))
            return 1
        print("clean run: %d file-system operations, %d files" % (clean.count, len(clean.files)))

        failures = 0
        for mode in args.modes.split(","):
            if mode == "together":
                failures += run_together(os.path.abspath(args.exe), clean, scratch, args.jobs)
                continue
            work = {"fail": fail_case, "exit": exit_case}[mode]
            # One point past the last operation: the switch is armed, nothing fails.
            points = range(1, clean.count + 2)
            with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
                results = list(pool.map(
                    lambda n: work(os.path.abspath(args.exe), clean, scratch, n), points))
            counts = {"lost": 0, "torn": 0, "differs": 0, "leftovers": 0, "problems": 0}
            for n, problems, outcome, (code, out, err) in results:
                for k, v in outcome.items():
                    counts[k] += bool(v)
                if problems:
                    counts["problems"] += 1
                    print("%s at operation %d (exit code %d):" % (mode, n, code))
                    for p in problems:
                        print("    " + p)
                    for line in (out + err).splitlines():
                        if ERROR_PATTERN.search(line):
                            print("    | " + line)
            failures += counts["problems"]
            summary = "%s: %d points tried, runs that lost a value: %d, runs that left a torn " \
                      "file: %d" % (mode, len(points), counts["lost"], counts["torn"])
            summary += ", second runs that differed from a clean run: %d%s" % (
                counts["differs"], " (counted, not failed)" if mode == "fail" else "")
            summary += ", second runs that left a temporary file of the first: %d" % \
                counts["leftovers"]
            print(summary + ", runs with any problem: %d" % counts["problems"])
        if CHECKER:
            for kind in sorted(set(ACCEPTED_LOSSES)):
                print("conservation check: accepted while known and not mended: %d losses of "
                      "the kind %s (%s)" % (ACCEPTED_LOSSES.count(kind), kind, KNOWN_KINDS[kind]))
        print("%.1f s" % (time.monotonic() - started))
        return 1 if failures else 0
    finally:
        if not args.keep:
            shutil.rmtree(scratch, ignore_errors=True)
        else:
            print("cases kept in " + scratch)


if __name__ == "__main__":
    sys.exit(main())
