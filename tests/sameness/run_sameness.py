#!/usr/bin/env python3
"""Runs each case twice, once with the whole-section writes of the group moves
and once with CORVANE_KEY_BY_KEY=1 (every value written on its own), and
compares the two runs byte for byte: exit code, standard output and error,
every file of the data and program folders, and the registry afterwards.

Cases: every scenario of tests/scenarios/ and N registries drawn by the
generator below from consecutive seeds (even seeds: plain settings; odd
seeds: hostile ones, with values and names the fast path must leave alone,
and settings files that already hold some of the target sections).

Usage: run_sameness.py --exe PROGRAM (--native | --wine WRAPPER)
                       [--generated N] [--seed FIRST] [--no-scenarios] [--jobs N]
"""

import argparse
import concurrent.futures
import os
import random
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.join(HERE, "..", "..")
sys.path.insert(0, os.path.join(TOP, "tests", "scenarios"))
sys.path.insert(0, os.path.join(TOP, "examples"))
import run_scenarios as sc  # noqa: E402
import make_corvane_reg as reg  # noqa: E402

SWITCH = "CORVANE_KEY_BY_KEY"
ROOT = reg.ROOT


# ---- generated registries ------------------------------------------------------

PLAIN_TEXTS = ["on", "Graphite", "0.125", "C:\\Program Files\\VSTPlugins\\Pad.dll", "a=b",
               "x;y", "[x]", "-7", "line one\nline two", "", "#hash", "'", "\"q"]
HOSTILE_TEXTS = [" lead", "trail ", "\"quoted\"", "'single'", "tab\there", "cr\rhere",
                 "n\u00e9e", "x" * 16385, "nul\0inside", "\t", "  ", "\"\"", "v\r\n[Other]\r\nq=1"]
HOSTILE_NAMES = [" lead", "trail ", "a=b", ";comment", "[bracket", "", "Caf\u00e9", "n" * 260,
                 "tab\tname", "Dup", "DUP", "quo\"te"]


def plain_values(rng, count):
    values = []
    for i in range(count):
        name = rng.choice(["Value", "Param", "Slot", "Name", "Path"]) + "%02d" % i
        roll = rng.randrange(6)
        if roll < 3:
            values.append((name, rng.choice(PLAIN_TEXTS)))
        elif roll < 5:
            values.append((name, rng.randrange(0, 2**32)))
        else:
            values.append((name, bytes(rng.randrange(256) for _ in range(rng.randrange(9)))))
    return values


def hostile_values(rng, count):
    values = plain_values(rng, count)
    seen = {n.lower() for n, _ in values}
    for _ in range(rng.randrange(1, 3)):
        roll = rng.randrange(4)
        if roll == 0:
            name = rng.choice(HOSTILE_NAMES)
            if name.lower() in seen:
                continue
            seen.add(name.lower())
            values.insert(rng.randrange(len(values) + 1), (name, rng.choice(PLAIN_TEXTS)))
        elif roll == 1:
            i = rng.randrange(len(values))
            values[i] = (values[i][0], rng.choice(HOSTILE_TEXTS))
        elif roll == 2:  # a number of other than four bytes
            i = rng.randrange(len(values))
            values[i] = (values[i][0], (4, b"\x01\x02"))
        else:  # a multi-string
            i = rng.randrange(len(values))
            values[i] = (values[i][0], (7, "a\0b\0\0".encode("utf-16-le")))
    return values


def group_names(rng, prefix):
    names = ["Audio", "Midi", "View", "Group %d" % rng.randrange(100)]
    names += [prefix + "Load"] + [prefix + "Program %d" % rng.choice([0, 1, 5, 64, 127, 128])
                                  for _ in range(rng.randrange(1, 5))]
    names += ["HostCanDo " + rng.choice(["offline", "sizeWindow", "Offline", "x y"])
              for _ in range(rng.randrange(3))]
    return sorted(set(names), key=str.lower)


def generate_case(seed):
    """(registry text, args, files put into the data folder before the run)."""
    rng = random.Random(seed)
    hostile = seed % 2 == 1
    args = []
    prefix = ""
    if rng.randrange(4) == 0:
        args.append("/keep")
    if rng.randrange(5) == 0:
        prefix = rng.choice(["Mirel", "Halbrek"])
        args.append("/" + prefix.lower())
    settings = [("DataPath", "%DATA%"), ("bank1", "First"), ("MidiIn", "USB")]
    keys = [(ROOT, [("Version", "2.4.1")]), (ROOT + "\\Settings", settings)]
    names = {n.lower(): n for n in group_names(rng, prefix)}
    if hostile:
        for odd in [" Lead", "Trail ", "Br]acket", "Caf\u00e9", "Sec;tion"]:
            if rng.randrange(3) == 0:
                names.setdefault(odd.lower(), odd)
    for name in sorted(names.values(), key=str.lower):
        count = rng.randrange(0, 12)
        values = hostile_values(rng, max(count, 1)) if hostile and rng.randrange(2) else \
            plain_values(rng, count)
        keys.append((ROOT + "\\" + name, values))
    before = {}
    if hostile and rng.randrange(2):
        taken = rng.sample(sorted(names.values()), min(2, len(names)))
        before["Corvane.ini"] = "".join("[%s]\r\nOld=1\r\n" % t for t in taken)
        # A line that reads as nothing (after a NUL) is written once more by
        # the first change of the file and dropped by the second.
        before["#Intern.corvane"] = "[Program 1]\r\nOld=2\r\n\0\r\n[program 5]\r\n"
        before["hostCanDos.ini"] = "[offline]\r\n;note\r\n"
    return "\n".join(reg_lines(keys)), args, before


def reg_lines(keys):
    yield "Windows Registry Editor Version 5.00"
    yield ""
    for key, values in keys:
        yield "[%s]" % key
        for name, value in values:
            if isinstance(value, str) and value == "%DATA%":
                yield '"%s"="%%DATA_REG%%"' % name
            else:
                yield reg.value_line(name, value).replace("\r\n", "\n")
        yield ""


# ---- the two runs ---------------------------------------------------------------


class NativeRunner(sc.NativeRunner):
    """The scenario runner with an environment of its own (runs go in parallel)."""

    def __init__(self, exe, env):
        super().__init__(exe)
        self.env = env

    def run(self, scratch, prog_exe, reg_text, args, stdin):
        store = os.path.join(scratch, "HKCU.reg")
        with open(store, "wb") as f:
            f.write(sc.encode_reg(reg_text))
        env = dict(self.env, CORVANE_REGISTRY=store)
        proc = subprocess.run([prog_exe] + args, input=stdin, capture_output=True, env=env,
                              cwd=os.path.join(scratch, "work"), timeout=sc.TIMEOUT)
        with open(store, "rb") as f:
            return proc.returncode, proc.stdout, proc.stderr, f.read()


class WineRunner(sc.WineRunner):
    def __init__(self, exe, wrapper, env):
        super().__init__(exe, wrapper)
        self.env = env

    def wine(self, args, cwd, input=None):
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
                tempfile.TemporaryFile() as inp:
            inp.write(input or b"")
            inp.seek(0)
            proc = subprocess.run([self.wrapper] + args, cwd=cwd, stdin=inp, stdout=out,
                                  stderr=err, env=self.env, timeout=sc.TIMEOUT)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(proc.args, proc.returncode, out.read(), err.read())


def snapshot(runner, scratch, exe_name, reg_text, args, stdin, before):
    """Everything one run leaves, in a fresh scratch folder of a fixed path."""
    for sub in ("prog", "data", "work"):
        shutil.rmtree(os.path.join(scratch, sub), ignore_errors=True)
        os.makedirs(os.path.join(scratch, sub))
    prog_exe = os.path.join(scratch, "prog", exe_name)
    # A link, not a copy: a file open for writing while another thread starts
    # a process cannot be run ("text file busy").
    os.link(runner.exe, prog_exe)
    for name, data in before.items():
        target = os.path.join(scratch, "data", *name.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)
    code, stdout, stderr, after = runner.run(scratch, prog_exe, reg_text, args, stdin)
    files = {}
    for folder in ("data", "prog"):
        for name in sc.list_files(os.path.join(scratch, folder)):
            with open(os.path.join(scratch, folder, *name.split("/")), "rb") as f:
                files[folder + "/" + name] = f.read()
    return {"exit code": code, "stdout": stdout, "stderr": stderr, "registry": after,
            "files": files}


def differences(fast, slow):
    found = []
    for part in ("exit code", "stdout", "stderr", "registry"):
        if fast[part] != slow[part]:
            found.append("%s differs" % part)
    for name in sorted(set(fast["files"]) | set(slow["files"])):
        if fast["files"].get(name) != slow["files"].get(name):
            found.append("file %s differs" % name)
            if name in fast["files"] and name in slow["files"]:
                found += ["    " + d for d in sc.text_diff(slow["files"][name],
                                                           fast["files"][name], name)[:20]]
    return found


def run_case(runners, make):
    """The differences between the run with group writes and the one without."""
    fast_runner, slow_runner = runners
    scratch = os.path.realpath(tempfile.mkdtemp(prefix="corvane-same-"))
    try:
        ph = sc.Placeholders(fast_runner.visible(os.path.join(scratch, "data")),
                             fast_runner.visible(os.path.join(scratch, "prog")), fast_runner)
        reg_text, args, stdin, before = make(ph)
        exe_name = fast_runner.program_name()
        fast = snapshot(fast_runner, scratch, exe_name, reg_text, args, stdin, before)
        slow = snapshot(slow_runner, scratch, exe_name, reg_text, args, stdin, before)
        return differences(fast, slow)
    except (sc.RegParseError, RuntimeError, subprocess.TimeoutExpired, OSError) as e:
        return ["could not run: %s" % e]
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def scenario_case(folder):
    def make(ph):
        reg_text = ph.text(sc.decode_reg(sc.read_optional(os.path.join(folder, "registry.reg"))))
        args_text = sc.read_optional(os.path.join(folder, "args"), b"").decode("utf-8").strip()
        args = shlex.split(ph.text(args_text)) if args_text else []
        stdin = ph.bytes(sc.read_optional(os.path.join(folder, "stdin"), b""))
        before = {}
        root = os.path.join(folder, "data-before")
        for name in sc.list_files(root):
            before[name] = ph.bytes(sc.read_optional(os.path.join(root, *name.split("/"))))
        return reg_text, args, stdin, before
    return make


def generated_case(seed):
    def make(ph):
        reg_text, args, before = generate_case(seed)
        return (ph.text(reg_text), args, b"",
                {n: ph.bytes(t.encode("utf-8")) for n, t in before.items()})
    return make


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True)
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument("--native", action="store_true")
    mode.add_argument("--wine", metavar="WRAPPER")
    parser.add_argument("--generated", type=int, default=200)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--no-scenarios", action="store_true")
    parser.add_argument("--jobs", type=int,
                        help="cases run at the same time (default 6; under Wine always 1: "
                             "every run uses the one registry of the prefix)")
    opts = parser.parse_args()

    fast_env = {k: v for k, v in os.environ.items() if k != SWITCH}
    slow_env = dict(fast_env, **{SWITCH: "1"})
    if opts.wine:
        runners = (WineRunner(opts.exe, opts.wine, fast_env),
                   WineRunner(opts.exe, opts.wine, slow_env))
    else:
        runners = (NativeRunner(opts.exe, fast_env), NativeRunner(opts.exe, slow_env))
    runners[0].prepare()
    # The program on the scratch folders' file system, so that each run links it.
    staging = tempfile.mkdtemp(prefix="corvane-same-exe-")
    staged = os.path.join(staging, os.path.basename(opts.exe))
    shutil.copy2(opts.exe, staged)
    for runner in runners:
        runner.exe = staged
    cases = []
    if not opts.no_scenarios:
        scenarios = os.path.join(TOP, "tests", "scenarios")
        for d in sorted(os.listdir(scenarios)):
            if os.path.isfile(os.path.join(scenarios, d, "registry.reg")):
                cases.append(("scenario " + d, scenario_case(os.path.join(scenarios, d))))
    for seed in range(opts.seed, opts.seed + opts.generated):
        cases.append(("generated %d (%s)" % (seed, "hostile" if seed % 2 else "plain"),
                      generated_case(seed)))
    start = time.time()
    differing = 0
    # The runs wait on the disk far more than they compute: a few at a time.
    jobs = 1 if opts.wine else opts.jobs or 6
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        results = pool.map(lambda case: (case[0], run_case(runners, case[1])), cases)
        for name, found in results:
            if found:
                differing += 1
                print("DIFF %s (%s)" % (name, runners[0].name))
                for line in found:
                    print("    " + line)
            else:
                print("same %s" % name, flush=True)
    shutil.rmtree(staging, ignore_errors=True)
    print("sameness (%s): %d cases, %d with differences, %.1f s" % (
        runners[0].name, len(cases), differing, time.time() - start))
    return 1 if differing or not cases else 0


if __name__ == "__main__":
    sys.exit(main())
