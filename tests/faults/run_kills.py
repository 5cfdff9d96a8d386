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
no copy of a file, and its files and registry (registry backups aside) must be
the clean run's, and so must its output, unless the kill came after the run
had recorded its commit: then the second run finishes that commit first and
says so in its first line.

Every point runs in one start of Wine (a batch of cmd: reset, load, killed
run, snapshot, second run, snapshot), BATCH points to a start.

Usage: run_kills.py --exe corvane-migrate.exe --wine cmake/wine-run.sh
                    [--points 10] [--sections 200] [--keys 20] [--delay 3] [--batch 25]
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
                           stdin=subprocess.DEVNULL, stdout=out, stderr=out, timeout=1800)


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
        self.earlier_keys = ini_keys(earlier)
        self.earlier_file = os.path.join(work, "earlier.ini")
        with open(self.earlier_file, "wb") as f:
            f.write(earlier)
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

    def point_commands(self, tag, kill_at, delay):
        """cmd lines of one kill point: a fresh data folder and registry, the
        killed run, a snapshot, the second run, a snapshot."""
        data = visible(self.data)
        commands = ['if exist "%s" rmdir /s /q "%s"' % (data, data), 'mkdir "%s"' % data,
                    'copy /y "%s" "%s\\Corvane.ini" > nul' % (visible(self.earlier_file), data),
                    'set CORVANE_FAULT_MODE=exit', 'set CORVANE_FAULT_AT=%d' % kill_at,
                    'set CORVANE_FAULT_DELAY_MS=%d' % delay]
        commands += self.run_commands(tag + ".killed", True)
        commands += ['set CORVANE_FAULT_AT=', 'set CORVANE_FAULT_DELAY_MS=',
                     'set CORVANE_FAULT_MODE=']
        commands += self.run_commands(tag + ".second", False)
        return commands

    def run_commands(self, tag, load_first):
        """cmd lines of one run: its output, exit code, the registry and the
        data folder's files afterwards (a copy in the folder <tag>)."""
        commands = []
        if load_first:
            commands.append('regedit /S "%s"' % visible(self.load))
        commands += ['"%s" < nul > "%s" 2>&1' % (visible(self.exe), visible(self.path(tag, "out"))),
                     'echo %%ERRORLEVEL%% > "%s"' % visible(self.path(tag, "rc")),
                     'regedit /E "%s" HKEY_CURRENT_USER\\Software\\Brax' %
                     visible(self.path(tag, "reg")),
                     'xcopy "%s" "%s\\" /e /i /q /y > nul' % (visible(self.data),
                                                            visible(self.path(tag, "files")))]
        return commands

    def path(self, tag, what):
        return os.path.join(self.work, tag + "." + what)

    def result(self, tag):
        """The exit code, output, registry and files of a run of a batch."""
        code = int(read(self.path(tag, "rc"), b"-1").strip() or b"-1")
        registry = run_scenarios.brax_subtree(run_scenarios.parse_reg(
            read(self.path(tag, "reg"), b"")))
        folder = self.path(tag, "files")
        files = {}
        if os.path.isdir(folder):
            for name in sorted(os.listdir(folder)):
                files[name] = read(os.path.join(folder, name))
        return code, read(self.path(tag, "out"), b"").replace(b"\r\n", b"\n"), registry, files

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
    earlier = case.earlier_keys
    kept = ini_keys(now["Corvane.ini"] or b"")
    gone = [k for k in earlier if kept.get(k) != earlier[k]]
    if gone:
        problems.append("%d earlier keys of Corvane.ini lost, e.g. [%s] %s" % (len(gone), *gone[0]))
    return problems


def size(data):
    return "no file" if data is None else len(data)


def without_backups(files):
    return {n: d for n, d in files.items() if not fnmatch.fnmatch(n, BACKUP_PATTERN)}


ALREADY = b"Already converted: "
FINISHED = b"Finished the run that ended while its files were put in place"


def check_point(case, tag, original, before, clean, clean_files, clean_reg, clean_out):
    """Problems of one kill point, whether the second run finished a recorded
    commit, and whether the kill came inside a rewrite of the large file."""
    code, killed_out, killed_reg, files = case.result(tag + ".killed")
    copy = files.get("Corvane.ini" + COPY_SUFFIX)
    in_rewrite = copy is not None and len(copy) < len(case.earlier)
    problems = [] if code in (KILLED, 0) else ["the killed run ended with %d" % code]
    if not os.path.exists(case.path(tag + ".killed", "reg")):
        # Not the program's doing: the export after it did not run.
        problems.append("regedit wrote no export of the registry after the kill")
    else:
        problems += check_after_kill(case, original, before, clean, files, killed_reg)

    code, out, reg, after = case.result(tag + ".second")
    after = without_backups(after)
    if code != 0:
        problems.append("the second run ended with %d" % code)
    problems += ["leftover copy %s" % n for n in after if n.endswith(COPY_SUFFIX)]
    kept = ini_keys(after.get("Corvane.ini", b""))
    lost = [k for k in case.earlier_keys if k not in kept]
    if lost:
        problems.append("%d earlier keys lost by the second run" % len(lost))
    for name in sorted(set(after) | set(clean_files)):
        if after.get(name) != clean_files.get(name):
            problems.append("%s differs from a clean run's (%s against %s bytes)" %
                            (name, size(after.get(name)), size(clean_files.get(name))))
            # (difflib takes too long over the large file)
            if (name in SETTINGS_FILES and after.get(name) and clean_files.get(name) and
                    len(clean_files[name]) < 200000):
                problems += ["  " + line for line in run_scenarios.text_diff(
                    clean_files[name], after[name], name)[2:8]]
    problems += run_scenarios.compare_registries(clean_reg, reg)
    finished = out.startswith(FINISHED)
    # A run ended only after it had done all it had to do (the closing
    # account aside): the second run finds nothing to convert.
    completed = (settings_files(files) == clean and
                 not run_scenarios.compare_registries(clean_reg, killed_reg))
    if completed and not out.startswith(ALREADY):
        problems.append("a second run after a whole run did not say so:\n" + out.decode())
    # The backup of the killed run keeps its name; the second run's takes
    # the next free one, which the closing account names.
    if not finished and not completed and re.sub(rb"-registry-backup-\d+\.reg", b"-registry-backup.reg",
                               out) != clean_out:
        problems.append("the second run's output differs from a clean run's:\n" +
                        "\n".join(run_scenarios.text_diff(clean_out, out, "output")))
    return problems, finished, in_rewrite


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
    parser.add_argument("--span", default="0:1",
                        help="the part of the run the points are spread over, as fractions")
    parser.add_argument("--batch", type=int, default=25, help="kill points to a start of Wine")
    opts = parser.parse_args()

    started = time.time()
    work = tempfile.mkdtemp(prefix="corvane-kills-")
    wine = Wine(opts.wine, work)
    with open(opts.registry, "rb") as f:
        registry_text = run_scenarios.decode_reg(f.read())
    case = Case(work, os.path.abspath(opts.exe), wine, registry_text,
                earlier_ini(opts.sections, opts.keys))

    # The registry before any run, as Wine holds it, and a clean run that
    # counts the operations: one start of Wine.
    case.reset()
    before = settings_files(case.files())
    count_file = os.path.join(work, "count.txt")
    wine.batch("clean.bat", ['regedit /S "%s"' % visible(case.load),
                             'regedit /E "%s" HKEY_CURRENT_USER\\Software\\Brax' %
                             visible(os.path.join(work, "original.reg")),
                             'set CORVANE_FAULT_COUNT=%s' % visible(count_file)] +
               case.run_commands("clean", False), case.env())
    original = run_scenarios.brax_subtree(run_scenarios.parse_reg(
        read(os.path.join(work, "original.reg"), b"")))
    original = {k: v for k, v in original.items() if k.startswith(APP_KEY)}
    code, clean_out, clean_reg, clean_files = case.result("clean")
    clean_files = without_backups(clean_files)
    total = int(read(count_file, b"0").strip() or b"0")
    if code != 0 or total == 0:
        print("FAIL: the clean run ended with %d after %d operations:\n%s" %
              (code, total, clean_out.decode(errors="replace")))
        return 1
    clean = settings_files(clean_files)

    low, high = (float(x) * total for x in opts.span.split(":"))
    points = sorted({max(1, round(low + i * (high - low) / (opts.points + 1)))
                     for i in range(1, opts.points + 1)})
    plan = [(point, opts.delay if index % 2 else 0) for index, point in enumerate(points)]
    failures = 0
    resumed = 0
    inside = 0
    for first in range(0, len(plan), opts.batch):
        chunk = plan[first:first + opts.batch]
        commands = []
        for point, delay in chunk:
            commands += case.point_commands("p%d" % point, point, delay)
        wine.batch("points%d.bat" % first, commands, case.env())
        for point, delay in chunk:
            label = "kill at %d/%d%s" % (point, total, " +%d ms" % delay if delay else "")
            problems, finished, in_rewrite = check_point(case, "p%d" % point, original, before,
                                                         clean, clean_files, clean_reg,
                                                         clean_out)
            resumed += finished
            inside += in_rewrite
            if problems:
                failures += 1
                print("FAIL %s:\n  %s" % (label, "\n  ".join(problems[:20])))
            else:
                print("ok   %s%s" % (label, " (finished by the second run)" if finished else ""))

    print("%d kill points of %d operations, %d inside a rewrite of the large file, %d finished "
          "by the second run; %d failed; %.0f s" % (len(points), total, inside, resumed, failures,
                                                   time.time() - started))
    if opts.keep or failures:
        print("scratch folder kept: %s" % work)
    else:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
