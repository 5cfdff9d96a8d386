#!/usr/bin/env python3
"""Kills the Windows program under Wine at points spread over its run and checks
that a second run always gives the result of one uninterrupted run.

The input: examples/Corvane.reg (every kind of settings group and a plug-in
menu) with "DataPath" recorded, and a data folder that already holds a large
Corvane.ini (SECTIONS sections of KEYS keys from an earlier setup). A clean run
counts the program's changing operations (CORVANE_FAULT_COUNT: profile writes,
copies, moves, flushes, registry deletions and writes) and gives the reference
result. Then, for POINTS operations N spread over the run, the program is ended
by the switch of its Windows layer (KillSwitch.h) at the N-th operation, for
every other point DELAY ms after that operation began (inside a rewrite of the
large file when it takes that long). Right after the kill:

  - every settings file is either as it was before the run or as the clean
    run leaves it (never a mix inside a file, never empty or cut);
  - when anything has left the registry, every settings file is the clean
    run's (the registry deletions come after the files are in place);
  - every value of the registry before the run is still in the registry, or
    the files are the clean run's and a registry backup holds it;
  - every key of the earlier Corvane.ini is still there.

Then a second run without the switch must end with 0, lose nothing and leave
no copy of a file, and its files, registry and output (registry backups aside)
must be the clean run's. One gap is known and counted apart: a kill after the
files are in place but before every copied group has left the registry makes
the second run copy those groups again over the converted files, and a step
that does not convert twice alike (the pre-bank step keeps "Profile" when
"Bank" is already set) leaves a different file. Those points are listed as
KNOWN; --strict counts them as failures.

Usage: run_kills.py --exe corvane-migrate.exe --wine cmake/wine-run.sh
                    [--points 10] [--sections 200] [--keys 20] [--delay 3]
"""

import argparse
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
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tests", "scenarios"))
import run_scenarios  # noqa: E402  (the registry export reader of the scenarios)

BACKUP_PATTERN = "*-registry-backup*.reg"
COPY_SUFFIX = ".~pending"  # the run's copies of its files (ShadowFiles.h)
KILLED = 86
SETTINGS_FILES = ["Corvane.ini", "PlugIns.ini", "hostCanDos.ini", "#Intern.corvane"]
APP_KEY = "hkey_current_user\\software\\brax\\corvane"


def visible(path):
    return "Z:" + path.replace("/", "\\")


def earlier_ini(sections, keys):
    """An existing settings file of an earlier setup."""
    lines = []
    for s in range(sections):
        lines.append("[Earlier%04d]" % s)
        lines += ["key%02d=value of key %d in section %d" % (k, k, s) for k in range(keys)]
    return ("\r\n".join(lines) + "\r\n").encode()


def ini_keys(data):
    """{(section, key) upper-cased: value} of INI bytes."""
    out = {}
    section = None
    for line in data.decode("latin-1").splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1].strip().upper()
        elif "=" in line and section is not None:
            key, _, value = line.partition("=")
            out.setdefault((section, key.strip().upper()), value.strip())
    return out


class Wine:
    def __init__(self, wrapper, work):
        self.wrapper = os.path.abspath(wrapper)
        self.work = work

    def batch(self, name, commands, env):
        """Runs the commands in one Wine start: a batch file of cmd."""
        path = os.path.join(self.work, name)
        with open(path, "w", newline="\r\n") as f:
            f.write("@echo off\n" + "\n".join(commands) + "\n")
        with tempfile.TemporaryFile() as out:
            subprocess.run([self.wrapper, "cmd", "/c", visible(path)], cwd=self.work, env=env,
                           stdin=subprocess.DEVNULL, stdout=out, stderr=out, timeout=600)


class Case:
    """One folder for every run (the data folder's path is part of the result)."""

    def __init__(self, work, exe, wine, registry_text, earlier):
        self.work = work
        self.data = os.path.join(work, "data")
        self.prog = os.path.join(work, "prog")
        os.makedirs(self.prog)
        self.exe = os.path.join(self.prog, os.path.basename(exe))
        shutil.copy2(exe, self.exe)
        self.wine = wine
        self.earlier = earlier
        self.load = os.path.join(work, "load.reg")
        header, _, body = registry_text.lstrip("\ufeff").partition("\n")
        settings = "[HKEY_CURRENT_USER\\Software\\Brax\\Corvane\\Settings]"
        data_path = visible(self.data).replace("\\", "\\\\")
        body = body.replace(settings, settings + '\n"DataPath"="%s"' % data_path, 1)
        text = header.strip() + "\n\n[-HKEY_CURRENT_USER\\Software\\Brax]\n\n" + body
        with open(self.load, "wb") as f:
            f.write(run_scenarios.encode_reg(text))

    def env(self, kill_at=None, delay=0, count_file=None):
        env = dict(os.environ)
        for name in ("CORVANE_FAULT_AT", "CORVANE_FAULT_MODE", "CORVANE_FAULT_DELAY_MS",
                     "CORVANE_FAULT_COUNT"):
            env.pop(name, None)
        if kill_at is not None:
            env["CORVANE_FAULT_AT"] = str(kill_at)
            env["CORVANE_FAULT_MODE"] = "exit"
            if delay:
                env["CORVANE_FAULT_DELAY_MS"] = str(delay)
        if count_file:
            env["CORVANE_FAULT_COUNT"] = visible(count_file)
        return env

    def reset(self):
        shutil.rmtree(self.data, ignore_errors=True)
        os.makedirs(self.data)
        with open(os.path.join(self.data, "Corvane.ini"), "wb") as f:
            f.write(self.earlier)
        for name in os.listdir(self.work):
            if name.endswith((".txt", ".reg")) and name != "load.reg":
                os.remove(os.path.join(self.work, name))

    def run(self, tag, env, load_first):
        """Runs the program (after loading the registry); its exit code, output
        and the registry afterwards."""
        out = os.path.join(self.work, tag + ".out.txt")
        rc = os.path.join(self.work, tag + ".rc.txt")
        after = os.path.join(self.work, tag + ".after.reg")
        commands = []
        if load_first:
            commands.append('regedit /S "%s"' % visible(self.load))
        commands += ['"%s" < nul > "%s" 2>&1' % (visible(self.exe), visible(out)),
                     'echo %%ERRORLEVEL%% > "%s"' % visible(rc),
                     'regedit /E "%s" HKEY_CURRENT_USER\\Software\\Brax' % visible(after)]
        self.wine.batch(tag + ".bat", commands, env)
        code = int(read(rc, b"-1").strip() or b"-1")
        registry = run_scenarios.brax_subtree(run_scenarios.parse_reg(read(after, b"")))
        return code, read(out, b"").replace(b"\r\n", b"\n"), registry

    def files(self):
        out = {}
        for name in sorted(os.listdir(self.data)):
            out[name] = read(os.path.join(self.data, name))
        return out


def read(path, default=None):
    if not os.path.exists(path):
        return default
    with open(path, "rb") as f:
        return f.read()


def settings_files(files):
    return {n: files.get(n) for n in SETTINGS_FILES}


def backups(files):
    found = []
    for name, data in files.items():
        if fnmatch.fnmatch(name, BACKUP_PATTERN):
            found.append(run_scenarios.brax_subtree(run_scenarios.parse_reg(data)))
    return found


def check_after_kill(case, original, before, clean, files, registry):
    """The state a kill leaves: problems as lines."""
    problems = []
    now = settings_files(files)
    for name in SETTINGS_FILES:
        if now[name] not in (before[name], clean[name]):
            problems.append("%s is neither as before (%s bytes) nor the clean result (%s bytes):"
                            " %s bytes" % (name, size(before[name]), size(clean[name]),
                                           size(now[name])))
    files_new = now == clean
    removed = [k for k in original if k not in registry]
    if removed and not files_new:
        problems.append("%d registry keys gone (%s...) before the files were in place" %
                        (len(removed), run_scenarios.spelled(removed[0])))
    saved = backups(files)
    for key, values in original.items():
        for name, value in values.items():
            if registry.get(key, {}).get(name) == value:
                continue
            if not (files_new and any(b.get(key, {}).get(name) == value for b in saved)):
                problems.append("LOST [%s] %s" % (run_scenarios.spelled(key), name or "@"))
    earlier = ini_keys(case.earlier)
    kept = ini_keys(now["Corvane.ini"] or b"")
    gone = [k for k in earlier if kept.get(k) != earlier[k]]
    if gone:
        problems.append("%d earlier keys of Corvane.ini lost, e.g. [%s] %s" % (len(gone), *gone[0]))
    return problems


def size(data):
    return "no file" if data is None else len(data)


def without_backups(files):
    return {n: d for n, d in files.items() if not fnmatch.fnmatch(n, BACKUP_PATTERN)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine", required=True, help="the wrapper that runs Wine")
    parser.add_argument("--registry", default=os.path.join(ROOT, "examples", "Corvane.reg"))
    parser.add_argument("--points", type=int, default=10)
    parser.add_argument("--sections", type=int, default=200)
    parser.add_argument("--keys", type=int, default=20)
    parser.add_argument("--delay", type=int, default=3,
                        help="ms after the operation began, for every other point")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    parser.add_argument("--strict", action="store_true",
                        help="a second run after the files were in place must match too")
    opts = parser.parse_args()

    started = time.time()
    work = tempfile.mkdtemp(prefix="corvane-kills-")
    wine = Wine(opts.wine, work)
    with open(opts.registry, "rb") as f:
        registry_text = run_scenarios.decode_reg(f.read())
    case = Case(work, os.path.abspath(opts.exe), wine, registry_text,
                earlier_ini(opts.sections, opts.keys))

    # The registry before any run, as Wine holds it.
    case.reset()
    wine.batch("load.bat", ['regedit /S "%s"' % visible(case.load),
                            'regedit /E "%s" HKEY_CURRENT_USER\\Software\\Brax' %
                            visible(os.path.join(work, "original.reg"))], case.env())
    original = run_scenarios.brax_subtree(run_scenarios.parse_reg(
        read(os.path.join(work, "original.reg"), b"")))
    original = {k: v for k, v in original.items() if k.startswith(APP_KEY)}
    before = settings_files(case.files())

    count_file = os.path.join(work, "count.txt")
    code, clean_out, clean_reg = case.run("clean", case.env(count_file=count_file), True)
    clean_files = without_backups(case.files())
    total = int(read(count_file, b"0").strip() or b"0")
    if code != 0 or total == 0:
        print("FAIL: the clean run ended with %d after %d operations:\n%s" %
              (code, total, clean_out.decode(errors="replace")))
        return 1
    clean = settings_files(clean_files)

    points = sorted({max(1, round(i * total / (opts.points + 1)))
                     for i in range(1, opts.points + 1)})
    failures = 0
    known = 0
    inside = 0
    for index, point in enumerate(points):
        delay = opts.delay if index % 2 else 0
        label = "kill at %d/%d%s" % (point, total, " +%d ms" % delay if delay else "")
        case.reset()
        code, _, killed_reg = case.run("killed", case.env(point, delay), True)
        files = case.files()
        copy = files.get("Corvane.ini" + COPY_SUFFIX)
        if copy is not None and len(copy) < len(case.earlier):
            inside += 1  # killed while the copy of the large file was rewritten
        problems = [] if code in (KILLED, 0) else ["the killed run ended with %d" % code]
        problems += check_after_kill(case, original, before, clean, files, killed_reg)

        committed = settings_files(files) == clean
        code, out, reg = case.run("second", case.env(), False)
        after = without_backups(case.files())
        if code != 0:
            problems.append("the second run ended with %d" % code)
        problems += ["leftover copy %s" % n for n in after if n.endswith(COPY_SUFFIX)]
        lost = [k for k in ini_keys(case.earlier) if k not in ini_keys(after.get("Corvane.ini", b""))]
        if lost:
            problems.append("%d earlier keys lost by the second run" % len(lost))
        differences = []
        for name in sorted(set(after) | set(clean_files)):
            if after.get(name) != clean_files.get(name):
                differences.append("%s differs from a clean run's (%s against %s bytes)" %
                                   (name, size(after.get(name)), size(clean_files.get(name))))
                if name in SETTINGS_FILES and after.get(name) and clean_files.get(name):
                    differences += ["  " + line for line in run_scenarios.text_diff(
                        clean_files[name], after[name], name)[2:8]]
        differences += run_scenarios.compare_registries(clean_reg, reg)
        # The backup of the killed run keeps its name; the second run's takes
        # the next free one, which the closing account names.
        if re.sub(rb"-registry-backup-\d+\.reg", b"-registry-backup.reg", out) != clean_out:
            differences.append("the second run's output differs from a clean run's:\n" +
                               "\n".join(run_scenarios.text_diff(clean_out, out, "output")))
        if differences and committed and not problems and not opts.strict:
            known += 1
            print("KNOWN %s (after the files were in place):\n  %s" %
                  (label, "\n  ".join(differences[:20])))
            continue
        problems += differences
        if problems:
            failures += 1
            print("FAIL %s:\n  %s" % (label, "\n  ".join(problems[:20])))
        else:
            print("ok   %s" % label)

    print("%d kill points of %d operations, %d inside a rewrite of the large file; %d failed; "
          "%d known; %.0f s" % (len(points), total, inside, failures, known,
                                time.time() - started))
    if opts.keep or failures:
        print("scratch folder kept: %s" % work)
    else:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
