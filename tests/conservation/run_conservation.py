#!/usr/bin/env python3
"""The conservation check: converts generated hostile registries (and the fixed
inputs of generate_registries.py) and accounts for every value of the
application key afterwards with conservation_check, which reads the files back
through the build's own profile functions.

For each registry: the registry before the run, the program run (empty console
input), the registry after, the files of the data folder and the backups the
run wrote go into a case file for the checker. Checked besides: the exit code
is 0 or 5, and a PlugIns.ini that was in the data folder before keeps all its
lines in a PlugIns*.ini file. Then the check checks itself: values it found in
a file are changed there one at a time, and each change must be reported as a
loss.

Usage:
  run_conservation.py --exe PROGRAM --checker CHECKER --native [--count N] [--jobs N]
  run_conservation.py --exe PROGRAM.exe --checker CHECKER.exe --wine cmake/wine-run.sh [--count N]
Options: --seed S (first seed, default 1), --keep (keep the scratch folder),
--only NAME (one fixed input or seed-N).
"""

import argparse
import concurrent.futures
import fnmatch
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tests", "scenarios"))
sys.path.insert(0, HERE)
import generate_registries  # noqa: E402
from known_losses import ACCEPTED, KNOWN_KINDS, kind_of  # noqa: E402
import run_scenarios  # noqa: E402  (registry export text and the Wine runner)

BACKUP_PATTERN = "*-registry-backup*.reg"

TIMEOUT = 120
PLANTED = "planted loss"


class Run:
    """One registry converted in a scratch folder."""

    def __init__(self, reg, scratch, runner):
        self.reg = reg
        self.folder = os.path.join(scratch, reg.name)
        self.prog = os.path.join(self.folder, "prog")
        self.work = os.path.join(self.folder, "work")
        self.data = os.path.join(self.prog, "Data") if reg.default_folder else \
            os.path.join(self.folder, "data")
        self.runner = runner
        self.problems = []
        self.case_file = os.path.join(self.folder, "case.txt")

    def visible(self, path):
        return self.runner.visible(path)

    def registry_text(self):
        data = self.visible(self.data)
        text = self.reg.text().replace("%DATA_REG%", data.replace("\\", "\\\\"))
        return text.replace("%DATA_HEX%", ",".join("%02x" % b for b in data.encode("utf-16-le")))

    def prepare(self):
        for d in (self.prog, self.work, self.data):
            os.makedirs(d, exist_ok=True)
        for name, data in self.reg.data_files.items():
            with open(os.path.join(self.data, name), "wb") as f:
                f.write(data)
        # A link to the one copy made before the runs start: a copy written
        # while another thread starts a program could be inherited open, and
        # starting it would then fail ("text file busy").
        self.exe = os.path.join(self.prog, os.path.basename(self.runner.exe))
        try:
            os.link(self.runner.local_exe, self.exe)
        except OSError:
            shutil.copy2(self.runner.local_exe, self.exe)

    def finish(self, code, stderr):
        # A run that did not find the recorded data folder asked for one and
        # took the default beside the program: its files are there.
        default = os.path.join(self.prog, "Data")
        if self.data != default and not os.listdir(self.data) and os.path.isdir(default):
            self.data = default
        if code not in (0, 5):
            # The Windows profile writer cannot take a text of 32,767 characters.
            huge = any(isinstance(d, (str, bytes)) and len(d) >= 32767
                       for _, values in self.reg.keys for _, _, d in values)
            self.problems.append("%s%s: %sexit code %d: %s" % (
                "LOST " if huge else "", self.reg.name, "{text-too-long} " if huge else "",
                code, stderr.decode(errors="replace").strip()[:300]))
        names = os.listdir(self.data) if os.path.isdir(self.data) else []
        backups = sorted(n for n in names if fnmatch.fnmatch(n, BACKUP_PATTERN) and
                         n not in self.reg.data_files)
        old_menu = self.reg.data_files.get("PlugIns.ini")
        if old_menu:
            lines = {l for l in old_menu.split(b"\r\n") if l.strip()}
            kept = False
            for n in names:
                if fnmatch.fnmatch(n.lower(), "plugins*.ini"):
                    with open(os.path.join(self.data, n), "rb") as f:
                        kept = kept or lines <= set(f.read().split(b"\r\n"))
            if not kept:
                self.problems.append("LOST %s: {existing-plugins-file} the PlugIns.ini that "
                                     "was there before is in no PlugIns*.ini file" % self.reg.name)
        with open(self.case_file, "w", encoding="utf-8") as f:
            f.write("name %s\napp %s\nprefix %s\nkeep %d\ndata %s\nbefore %s\nafter %s\n" % (
                self.reg.name, self.reg.app, self.reg.prefix, self.reg.keep,
                self.visible(self.data), self.visible(os.path.join(self.folder, "before.reg")),
                self.visible(os.path.join(self.folder, "after.reg"))))
            for b in backups:
                f.write("backup %s\n" % self.visible(os.path.join(self.data, b)))


class Native:
    def __init__(self, exe, checker):
        self.exe = os.path.abspath(exe)
        self.checker = os.path.abspath(checker)

    def visible(self, path):
        return path

    def convert(self, run):
        store = os.path.join(run.folder, "HKCU.reg")
        data = run_scenarios.encode_reg(run.registry_text())
        for path in (store, os.path.join(run.folder, "before.reg")):
            with open(path, "wb") as f:
                f.write(data)
        env = dict(os.environ, CORVANE_REGISTRY=store)
        proc = subprocess.run([run.exe] + run.reg.args(), input=b"", capture_output=True,
                              env=env, cwd=run.work, timeout=TIMEOUT)
        shutil.copy(store, os.path.join(run.folder, "after.reg"))
        run.finish(proc.returncode, proc.stderr)

    def convert_all(self, runs, scratch):
        for run in runs:
            run.prepare()
        with concurrent.futures.ThreadPoolExecutor(self.jobs) as pool:
            for done in [pool.submit(self.convert, r) for r in runs]:
                done.result()

    def check(self, case_files, places=False):
        cmd = [self.checker] + (["--places"] if places else []) + case_files
        proc = subprocess.run(cmd, capture_output=True, timeout=TIMEOUT * 4)
        return proc.stdout.decode("utf-8", errors="replace")


class Wine:
    """Under Wine every start costs seconds, so the registries go together: each
    under an application name of its own, imported at once, converted by one
    batch file, and read back once before and once after."""

    def __init__(self, exe, checker, wrapper):
        self.exe = os.path.abspath(exe)
        self.checker = os.path.abspath(checker)
        self.wine = run_scenarios.WineRunner(exe, wrapper)
        self.wine.prepare()

    def visible(self, path):
        return self.wine.visible(path)

    def export(self, runs, path, cwd):
        """The application keys of the runs as the program reads them (the
        registry editor's own export drops bytes of unusual values)."""
        self.wine.wine([self.visible(self.checker), "--export", self.visible(path)] +
                       [r.reg.app for r in runs], cwd=cwd)

    def convert_all(self, runs, scratch):
        for i, run in enumerate(runs):
            old = run.reg.app
            run.reg.app = "%s %02d" % (old, i)
            run.reg.data_files = {(run.reg.app + n[len(old):] if n.startswith(old) else n): d
                                  for n, d in run.reg.data_files.items()}
            run.prepare()
        texts = [r.registry_text().partition("\n")[2] for r in runs]
        load = os.path.join(scratch, "load.reg")
        with open(load, "wb") as f:
            f.write(run_scenarios.encode_reg(
                "Windows Registry Editor Version 5.00\n\n[-HKEY_CURRENT_USER\\Software\\Brax]"
                "\n\n" + "".join(texts)))
        self.wine.import_reg(load, scratch)
        before = os.path.join(scratch, "before.reg")
        self.export(runs, before, scratch)
        lines = ["@echo off"]
        for run in runs:
            out = self.visible(os.path.join(run.folder, "run"))
            args = " ".join('"%s"' % a for a in run.reg.args())
            lines += ["cd /d %s" % self.visible(run.work),
                      "%s %s < nul > %s.out 2> %s.err" % (self.visible(run.exe), args, out, out),
                      "echo %%ERRORLEVEL%% > %s.code" % out]
        batch = os.path.join(scratch, "runs.bat")
        with open(batch, "wb") as f:
            f.write(("\r\n".join(lines) + "\r\n").encode("utf-8"))
        self.wine.wine(["cmd", "/c", self.visible(batch)], cwd=scratch)
        after = os.path.join(scratch, "after.reg")
        self.export(runs, after, scratch)
        for run in runs:
            for name in ("before.reg", "after.reg"):
                shutil.copy(os.path.join(scratch, name), os.path.join(run.folder, name))
            code = run_scenarios.read_optional(os.path.join(run.folder, "run.code"), b"-1")
            err = run_scenarios.read_optional(os.path.join(run.folder, "run.err"), b"")
            run.finish(int(code.strip() or b"-1"), err)

    def check(self, case_files, places=False):
        args = [self.visible(self.checker)] + (["--places"] if places else []) + \
            [self.visible(c) for c in case_files]
        return self.wine.wine(args, cwd=tempfile.gettempdir()).stdout.decode(
            "utf-8", errors="replace")


def checker_report(output):
    """(losses, summary lines) of the checker's output."""
    losses = [l for l in output.splitlines() if l.startswith(("LOST", "UNREADABLE"))]
    summary = [l for l in output.splitlines() if l.startswith("conservation:")]
    return losses, summary


def totals(summaries):
    """Sums the counts of the checker's summary lines."""
    import re
    sums = None
    for line in summaries:
        numbers = [int(n) for n in re.findall(r"\d+", line)]
        sums = numbers if sums is None else [a + b for a, b in zip(sums, numbers)]
    return sums


def unix_path(run, shown):
    """A path of the checker's output as this script opens it."""
    if run.data and shown.startswith(run.visible(run.data)):
        return run.data + shown[len(run.visible(run.data)):].replace("\\", "/")
    return shown


def plant_loss(path, section, key):
    """Changes the value of key in section of an INI file; false when not found."""
    with open(path, "rb") as f:
        lines = f.read().split(b"\r\n")
    want_section = section.strip().lower().encode("utf-8")
    want_key = key.strip().lower().encode("utf-8")
    inside = False
    for i, line in enumerate(lines):
        text = line.strip()
        if text.startswith(b"["):
            inside = text[1:text.rfind(b"]")].strip().lower() == want_section
            continue
        if inside and b"=" in line and line.split(b"=", 1)[0].strip().lower() == want_key:
            lines[i] = line.split(b"=", 1)[0] + b"=" + PLANTED.encode()
            with open(path, "wb") as f:
                f.write(b"\r\n".join(lines))
            return True
    return False


def self_check(runner, runs, count, rnd):
    """Changes single values the checker found in files and expects each change
    to be reported as a loss. Returns problems."""
    problems = []
    tried = 0
    for run in rnd.sample(runs, len(runs)):
        if tried >= count:
            break
        output = runner.check([run.case_file], places=True)
        # Not "Settings": there a value may also be held in its transformed
        # form (a profile name that is a bank's name).
        places = [p for p in (l[len("PLACED "):].split("\t") for l in output.splitlines()
                              if l.startswith("PLACED ")) if p[1].lower() != "settings"]
        if not places or "LOST" in output:
            continue
        file, section, key = rnd.choice(places)
        path = unix_path(run, file)
        saved = open(path, "rb").read()
        try:
            if not plant_loss(path, section, key):
                continue
            tried += 1
            output = runner.check([run.case_file], places=True)
            losses, _ = checker_report(output)
            # A value found in a second place (a moved group that "keep"
            # leaves in its source too) is not lost.
            elsewhere = any(l.startswith("PLACED ") and l.endswith("\t" + key) and
                            l != "PLACED " + "\t".join((file, section, key))
                            for l in output.splitlines())
            if not elsewhere and not any(key[:40] in l for l in losses):
                problems.append("%s: [%s] %s changed in %s, and the check saw no loss" % (
                    run.reg.name, section, key, file))
        finally:
            with open(path, "wb") as f:
                f.write(saved)
    if tried == 0:
        problems.append("the self-check found no value in a file to change")
    return problems, tried


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--checker", required=True)
    mode = ap.add_mutually_exclusive_group(required=True)
    mode.add_argument("--native", action="store_true")
    mode.add_argument("--wine", metavar="WRAPPER")
    ap.add_argument("--count", type=int, default=1000, help="generated registries")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--plant", type=int, default=None, help="planted losses to find")
    ap.add_argument("--only")
    ap.add_argument("--keep", action="store_true")
    args = ap.parse_args()

    started = time.time()
    wine = bool(args.wine)
    runner = Wine(args.exe, args.checker, args.wine) if wine else Native(args.exe, args.checker)
    regs = generate_registries.fixed_registries() + [
        generate_registries.generate(s, wine) for s in range(args.seed, args.seed + args.count)]
    if args.only:
        regs = [r for r in regs if r.name == args.only]
    # Every run flushes its files to disk; in memory that costs nothing.
    shm = "/dev/shm" if os.path.isdir("/dev/shm") and os.access("/dev/shm", os.W_OK) else None
    scratch = os.path.realpath(tempfile.mkdtemp(prefix="corvane-conservation-", dir=shm))
    runner.local_exe = os.path.join(scratch, os.path.basename(runner.exe))
    shutil.copy2(runner.exe, runner.local_exe)
    runs = [Run(r, scratch, runner) for r in regs]
    jobs = 1 if wine else max(1, args.jobs)
    runner.jobs = jobs
    runner.convert_all(runs, scratch)
    converted = time.time()

    # The checker takes many cases a process: a share for each job.
    cases = [r.case_file for r in runs]
    shares = [cases[i::jobs] for i in range(jobs) if cases[i::jobs]]
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        outputs = list(pool.map(runner.check, shares))
    losses, summaries = [], []
    for out in outputs:
        l, s = checker_report(out)
        losses += l
        summaries += s
    problems = [p for r in runs for p in r.problems if not p.startswith("LOST")]
    losses += [p for r in runs for p in r.problems if p.startswith("LOST")]
    accepted = [l for l in losses if kind_of(l) in ACCEPTED]
    losses = [l for l in losses if kind_of(l) not in ACCEPTED]
    planted, tried = self_check(runner, runs, args.plant if args.plant is not None else
                                (1 if wine else 20), random.Random(args.seed))
    sums = totals(summaries)
    print("conservation (%s): %d registries (%d fixed, %d generated from seed %d), "
          "%d values checked: %d unchanged in the registry, %d in the files, %d transformed as "
          "documented, %d left to the backup by type, %d plug-in menu level records; "
          "%d lost; %d planted losses found of %d; %.1f s (runs %.1f s)" % (
              "wine" if wine else "native", len(runs), len(runs) - min(args.count, len(runs)),
              min(args.count, len(runs)), args.seed, sums[1] if sums else 0,
              *(sums[2:7] if sums else [0] * 5), len(losses), tried - len(planted), tried,
              time.time() - started, converted - started))
    for kind in sorted({kind_of(l) for l in accepted}):
        print("accepted while known and not mended: %d losses of the kind %s (%s)" % (
            sum(1 for l in accepted if kind_of(l) == kind), kind, KNOWN_KINDS[kind]))
    for line in problems + losses + planted:
        print(line)
    if args.keep or problems or losses or planted:
        print("scratch folder: %s" % scratch)
    if not args.keep and not (problems or losses or planted):
        shutil.rmtree(scratch, ignore_errors=True)
    return 1 if problems or losses or planted else 0


if __name__ == "__main__":
    sys.exit(main())
