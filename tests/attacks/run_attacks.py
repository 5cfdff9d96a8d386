#!/usr/bin/env python3
"""Whole runs of the Linux program against someone who can write into the data
folder, the program folder or the folder of the registry file, and who plants
links, files or edits there. Each case checks that the planted target is
unchanged, that the run ends with the exit code and the line on standard error
it must give, and that every value of the registry is still in the registry
file, in a registry backup, or (for a run that completed) where a clean run puts
it.

  backup-link    a link at the backup's old temporary name, to another file
  journal-link   a link at the journal's old temporary name, to another file
  journal-forged a journal of renames this program did not write
  app-name       /app= names that would leave the data and program folders
  registry-edit  the registry file edited while the run waits at the prompt
  ini-edit       a settings file edited after the run read it
  second-path    a second run on the same registry file through a symbolic
                 link or a hard link, while the first waits at the prompt
  data-folder    a second run on another registry file recording the data
                 folder of a run under way

Usage: run_attacks.py --exe PATH [--only NAME,...]
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tests", "faults"))
import run_faults  # noqa: E402  (scratch cases, value accounting, the clean run)

TIMEOUT = 30
BUSY, STOPPED, INCOMPLETE, BAD_START = 6, 4, 5, 2
VICTIM_TEXT = b"the victim's own bytes\n"


class Check:
    def __init__(self, name):
        self.name = name
        self.problems = []

    def expect(self, condition, what):
        if not condition:
            self.problems.append(what)

    def exit_code(self, got, expected, err):
        self.expect(got == expected, "exit code %d, expected %d (stderr: %s)" % (
            got, expected, err.strip()[-300:]))

    def says(self, err, text):
        self.expect(text in err, "standard error does not say %r: %r" % (text, err.strip()))

    def victim_intact(self, path):
        with open(path, "rb") as f:
            self.expect(f.read() == VICTIM_TEXT, "the planted link's target %s was written" % path)

    def nothing_lost(self, clean, case):
        run_faults.lost_values(clean.original, case, self.problems)


def plant_victim(case):
    victim = os.path.join(case.work, "elsewhere", "victim")
    os.makedirs(os.path.dirname(victim), exist_ok=True)
    with open(victim, "wb") as f:
        f.write(VICTIM_TEXT)
    return victim


def wait_for_prompt(process, check):
    line = process.stdout.readline().decode(errors="replace")
    check.expect(line.startswith("Enter "), "the run did not ask for the data path: %r" % line)


def finish(process, case):
    out, err = process.communicate((case.data + "\n").encode(), timeout=TIMEOUT)
    return process.returncode, out.decode(errors="replace"), err.decode(errors="replace")


def backup_link(exe, clean, case):
    check = Check("backup-link")
    victim = plant_victim(case)
    os.makedirs(case.data)
    os.symlink(victim, os.path.join(case.data, "Corvane-registry-backup.reg.tmp"))
    code, out, err = case.run()
    check.exit_code(code, 0, err)
    check.victim_intact(victim)
    backup = os.path.join(case.data, "Corvane-registry-backup.reg")
    check.expect(os.path.isfile(backup) and not os.path.islink(backup),
                 "the backup is not a file of its own")
    check.nothing_lost(clean, case)
    check.expect(case.store_bytes() == clean.store_bytes, "the registry differs from a clean run's")
    return check


def journal_link(exe, clean, case):
    check = Check("journal-link")
    victim = plant_victim(case)
    os.symlink(victim, case.store + ".commit.tmp")
    code, out, err = case.run()
    check.exit_code(code, 0, err)
    check.victim_intact(victim)
    check.expect(not os.path.exists(case.store + ".commit"), "the journal was left")
    check.nothing_lost(clean, case)
    check.expect(case.store_bytes() == clean.store_bytes, "the registry differs from a clean run's")
    return check


def journal_forged(exe, clean, case):
    check = Check("journal-forged")
    victim = plant_victim(case)
    other = os.path.dirname(victim)
    source = os.path.join(other, "a.txt")
    with open(source, "wb") as f:
        f.write(b"planted\n")
    journal = case.store + ".commit"
    with open(journal, "w") as f:
        f.write("%s\n%s\nend\n" % (source, victim))
    code, out, err = case.run()
    check.exit_code(code, STOPPED, err)
    check.says(err, "%s: not a journal of this program; left alone" % journal)
    check.victim_intact(victim)
    check.expect(os.path.exists(source), "the planted file was moved")
    check.expect(os.path.exists(journal), "the planted journal was removed")
    check.expect(case.store_bytes() == clean.original_bytes, "the registry file changed")
    check.expect(not out, "the run printed %r" % out)
    return check


def app_name(exe, clean, case):
    check = Check("app-name")
    # Two folders above the data and program folders.
    above = os.path.dirname(case.work)
    planted = os.path.join(above, "other.ini")
    for name in ("../../other", "..\\..\\other", "a/b", "C:other", "oth|er", "co\x01n", "NUL",
                 ".."):
        with open(planted, "wb") as f:
            f.write(VICTIM_TEXT)
        env = case.environment()
        done = subprocess.run([case.exe, "/app=" + name], cwd=case.work, env=env,
                              input=(case.data + "\n").encode(), capture_output=True,
                              timeout=TIMEOUT)
        err = done.stderr.decode(errors="replace")
        check.exit_code(done.returncode, BAD_START, err)
        check.says(err, "the application name")
        check.victim_intact(planted)
        check.expect(case.store_bytes() == clean.original_bytes,
                     "/app=%s: the registry file changed" % name)
        check.expect(not case.files(), "/app=%s: files were written: %s" % (
            name, sorted(case.files())))
    os.unlink(planted)
    return check


def registry_edit(exe, clean, case):
    check = Check("registry-edit")
    process = case.start()
    try:
        wait_for_prompt(process, check)
        edited = clean.original_bytes + run_faults.run_scenarios.encode_reg(
            "[HKEY_CURRENT_USER\\Software\\Another]\r\n\"Added\"=\"by another program\"\r\n"
        )[len(run_faults.run_scenarios.encode_reg("")):]
        with open(case.store, "wb") as f:
            f.write(edited)
        code, out, err = finish(process, case)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    check.exit_code(code, INCOMPLETE, err)
    check.says(err, "the registry file was changed by another program during the run")
    with open(case.store, "rb") as f:
        check.expect(f.read() == edited, "the edited registry file was overwritten")
    check.nothing_lost(clean, case)
    return check


def run_stepwise(case, at_step):
    """Runs the program stopped before each of its file operations
    (CORVANE_FAULT_MODE=stop) and calls at_step() at every stop. Returns the
    exit code, standard output and standard error."""
    env = case.environment()
    env["CORVANE_FAULT_AT"] = "1"
    env["CORVANE_FAULT_MODE"] = "stop"
    process = subprocess.Popen([case.exe], cwd=case.work, env=env, stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    process.stdin.write((case.data + "\n").encode())
    process.stdin.close()
    deadline = time.time() + TIMEOUT
    try:
        while True:
            _, status = os.waitpid(process.pid, os.WUNTRACED)
            if not os.WIFSTOPPED(status):
                break
            if time.time() > deadline:
                raise RuntimeError("the run did not end in time")
            at_step()
            os.kill(process.pid, signal.SIGCONT)
    except BaseException:
        process.kill()
        os.waitpid(process.pid, 0)
        raise
    process.returncode = os.waitstatus_to_exitcode(status)
    return (process.returncode, process.stdout.read().decode(errors="replace"),
            process.stderr.read().decode(errors="replace"))


def ini_edit(exe, clean, case):
    """The main settings file is edited by another program once the run has
    made it (empty, its text waits for the final save)."""
    check = Check("ini-edit")
    ini = os.path.join(case.data, "Corvane.ini")
    edit = b"[Edit]\r\nby=another program\r\n"
    edited = []

    def at_step():
        if not edited and os.path.exists(ini) and os.path.getsize(ini) == 0:
            with open(ini, "ab") as f:
                f.write(edit)
            edited.append(True)

    code, out, err = run_stepwise(case, at_step)
    check.expect(edited, "the run never made the settings file empty")
    check.exit_code(code, INCOMPLETE, err)
    check.says(err, "%s was changed by another program" % ini)
    with open(ini, "rb") as f:
        check.expect(f.read() == edit, "the edited settings file was replaced")
    check.expect(case.store_bytes() == clean.original_bytes,
                 "the registry file was saved after an abandoned save")
    return check


def second_path(exe, clean, case):
    check = Check("second-path")
    first = case.start()
    try:
        wait_for_prompt(first, check)
        for kind in ("symlink", "hardlink"):
            other = os.path.join(case.work, "by-" + kind + ".reg")
            (os.symlink if kind == "symlink" else os.link)(case.store, other)
            env = case.environment()
            env["CORVANE_REGISTRY"] = other
            done = subprocess.run([case.exe], cwd=case.work, env=env,
                                  input=(case.data + "\n").encode(), capture_output=True,
                                  timeout=TIMEOUT)
            err = done.stderr.decode(errors="replace")
            check.exit_code(done.returncode, BUSY, err)
            check.says(err, "another run")
            check.expect(case.store_bytes() == clean.original_bytes,
                         "%s: the registry file changed" % kind)
            os.unlink(other)
        code, out, err = finish(first, case)
    finally:
        if first.poll() is None:
            first.kill()
            first.wait()
    check.exit_code(code, 0, err)
    check.nothing_lost(clean, case)
    return check


def data_folder(exe, clean, case):
    """While a run is under way in its data folder (stopped at a file
    operation), a second run on another registry file that records the same
    data folder must refuse."""
    check = Check("data-folder")
    second_store = os.path.join(case.work, "second.reg")
    with open(second_store, "wb") as f:
        f.write(run_faults.run_scenarios.encode_reg(
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Brax\\Corvane\\Settings]\r\n"
            "\"DataPath\"=\"%s\"\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Brax\\Corvane\\Audio]\r\n"
            "\"Device\"=\"second\"\r\n" % case.data.replace("\\", "\\\\")))
    with open(second_store, "rb") as f:
        second_before = f.read()
    ini = os.path.join(case.data, "Corvane.ini")
    second = []

    def at_step():
        if second or not os.path.exists(ini):
            return
        env = case.environment()
        env["CORVANE_REGISTRY"] = second_store
        try:
            done = subprocess.run([case.exe], cwd=case.work, env=env, input=b"\n",
                                  capture_output=True, timeout=TIMEOUT)
            second.append((done.returncode, done.stderr.decode(errors="replace")))
        except subprocess.TimeoutExpired:
            second.append((-1, "(the second run did not end)"))

    code, out, err = run_stepwise(case, at_step)
    check.expect(second, "the first run never made its settings file")
    for code2, err2 in second:
        check.exit_code(code2, BUSY, err2)
        check.says(err2, "another run")
    with open(second_store, "rb") as f:
        check.expect(f.read() == second_before, "the second registry file changed")
    check.exit_code(code, 0, err)
    check.nothing_lost(clean, case)
    check.expect(case.store_bytes() == clean.store_bytes, "the registry differs from a clean run's")
    return check


ATTACKS = {f.__name__.replace("_", "-"): f for f in (
    backup_link, journal_link, journal_forged, app_name, registry_edit, ini_edit, second_path,
    data_folder)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--registry", default=os.path.join(ROOT, "examples", "Corvane.reg"))
    parser.add_argument("--only", default="")
    args = parser.parse_args()
    exe = os.path.abspath(args.exe)
    with open(args.registry, "rb") as f:
        registry = f.read()
    names = [n for n in args.only.split(",") if n] or list(ATTACKS)
    scratch = tempfile.mkdtemp(prefix="corvane-attacks-")
    # No lock of a run under way in the user's own folders.
    os.environ["XDG_RUNTIME_DIR"] = scratch
    os.chmod(scratch, 0o700)
    failed = 0
    try:
        clean = run_faults.Clean(exe, registry, scratch)
        for name in names:
            case = run_faults.Case(os.path.join(scratch, name, "case"), exe, registry)
            try:
                check = ATTACKS[name](exe, clean, case)
            except (OSError, RuntimeError, subprocess.SubprocessError) as e:
                check = Check(name)
                check.problems.append("the case could not go on: %s" % e)
            print("%-15s %s" % (name, "ok" if not check.problems else "FAILED"))
            for p in check.problems:
                print("    " + p)
            failed += bool(check.problems)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
