#!/usr/bin/env python3
"""Differential conformance: runs the trace driver natively and under Wine for
the same seeds (or one script) and compares the two outputs line by line.

  compare.py --native BIN --wine EXE [--seed N] [--seeds K] [--calls M] [--jobs J]
  compare.py --native BIN --wine EXE --script FILE
  compare.py --native BIN --wine EXE --script FILE --shrink OUT

The first differing line of each seed is shown with the lines before it, with
the command that writes the seed's script for a replay. --shrink cuts a script
that disagrees down to a few lines that still disagree and writes them to OUT.
Differences listed in known-differences.md are handled by the driver and its
generator (see there); this script ignores nothing.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(HERE, "..", "..", "cmake", "wine-run.sh")
CONTEXT = 4


def scratch_root():
    """Profile writes are flushed to disk at each call: a memory file system
    keeps that fast."""
    shm = "/dev/shm"
    if os.path.isdir(shm) and os.access(shm, os.W_OK):
        return shm
    return None


def wine_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Side:
    """One run of the driver: native or under Wine, in a scratch folder."""

    def __init__(self, name, command, env, folder_arg, work):
        self.name = name
        self.command = command
        self.env = env
        self.folder_arg = folder_arg
        self.work = work

    def start(self, args):
        self.out_path = os.path.join(self.work, "out.txt")
        self.err_path = os.path.join(self.work, "err.txt")
        self.out = open(self.out_path, "wb")
        self.err = open(self.err_path, "wb")
        self.process = subprocess.Popen(
            self.command + ["--folder", self.folder_arg] + args,
            stdout=self.out, stderr=self.err, env=self.env, cwd=self.work)

    def finish(self, timeout):
        try:
            code = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            code = "timeout"
        self.out.close()
        self.err.close()
        with open(self.out_path, "rb") as f:
            lines = f.read().split(b"\n")
        if lines and lines[-1] == b"":
            lines.pop()
        with open(self.err_path, "rb") as f:
            err = f.read().decode("utf-8", "replace")
        return code, lines, err


def make_sides(options, root):
    sides = []
    native_work = tempfile.mkdtemp(prefix="conf-native-", dir=root)
    os.mkdir(os.path.join(native_work, "files"))
    env = dict(os.environ)
    env["CORVANE_REGISTRY"] = os.path.join(native_work, "HKCU.reg")
    sides.append(Side("native", [options.native], env, os.path.join(native_work, "files"),
                      native_work))
    wine_work = tempfile.mkdtemp(prefix="conf-wine-", dir=root)
    os.mkdir(os.path.join(wine_work, "files"))
    env = dict(os.environ)
    if options.prefix:
        env["CORVANE_WINEPREFIX"] = os.path.abspath(options.prefix)
    elif "CORVANE_WINEPREFIX" not in env:
        env["CORVANE_WINEPREFIX"] = os.path.join(os.path.dirname(os.path.abspath(options.wine)),
                                                 "..", "..", "wineprefix")
    sides.append(Side("wine", [options.wine_run, options.wine], env,
                      wine_path(os.path.join(wine_work, "files")), wine_work))
    return sides


def run_both(options, args, root, jobs=None):
    """Runs both sides with the same driver arguments: one pair of drivers, or
    one pair per entry of `jobs` (extra arguments each, e.g. a range of seeds)
    side by side, each Wine driver under a registry key of its own. Returns
    (exit code, lines, standard error) per side, the jobs' lines joined."""
    jobs = jobs or [[]]
    pairs = []
    try:
        for number, extra in enumerate(jobs):
            sides = make_sides(options, root)
            for side in sides:
                side.start(args + extra + ["--key", "-%d" % number])
            pairs.append(sides)
        finished = [[side.finish(options.timeout) for side in sides] for sides in pairs]
    finally:
        for sides in pairs:
            for side in sides:
                shutil.rmtree(side.work, ignore_errors=True)
    results = []
    for index, name in enumerate(("native", "wine")):
        codes = [pair[index][0] for pair in finished]
        lines = [line for pair in finished for line in pair[index][1]]
        err = "".join(pair[index][2] for pair in finished)
        bad = [code for code in codes if code not in (0, 3)]
        if bad:
            sys.stderr.write("%s driver ended with %s after %d lines\n%s" %
                             (name, bad[0], len(lines), err[-3000:]))
        results.append((bad[0] if bad else max(codes), lines, err))
    return results


def split_seeds(lines):
    """{seed header: [lines]} in order; a script run is one part named "script"."""
    parts = {}
    current = "script"
    for line in lines:
        if line.startswith(b"== seed "):
            current = line.decode()
            parts[current] = []
            continue
        parts.setdefault(current, []).append(line)
    return parts


def show(line):
    return line.decode("utf-8", "replace")


def first_difference(a, b):
    for i in range(max(len(a), len(b))):
        left = a[i] if i < len(a) else b"<no line: the run ended>"
        right = b[i] if i < len(b) else b"<no line: the run ended>"
        if left != right:
            return i, left, right
    return None


def report(name, a, b, diff):
    i, left, right = diff
    print("---- %s: first difference at output line %d" % (name, i + 1))
    for line in a[max(0, i - CONTEXT):i]:
        print("   " + show(line)[:400])
    print("N: " + show(left)[:2000])
    print("W: " + show(right)[:2000])


def compare(options):
    root = scratch_root()
    jobs = None
    if options.script:
        args = ["--script", os.path.abspath(options.script)]
    else:
        # Contiguous ranges of seeds, one per job.
        args = ["--calls", str(options.calls)]
        count = max(1, min(options.jobs, options.seeds))
        jobs, first = [], options.seed
        for number in range(count):
            size = options.seeds // count + (1 if number < options.seeds % count else 0)
            jobs.append(["--seed", str(first), "--seeds", str(size)])
            first += size
    started = time.time()
    (ncode, nlines, _), (wcode, wlines, _) = run_both(options, args, root, jobs)
    elapsed = time.time() - started
    native, wine = split_seeds(nlines), split_seeds(wlines)
    names = list(native) + [n for n in wine if n not in native]
    failed = []
    for name in names:
        a, b = native.get(name, []), wine.get(name, [])
        diff = first_difference(a, b)
        if diff:
            failed.append(name)
            report(name, a, b, diff)
            if name.startswith("== seed "):
                seed = name.split()[-1]
                print("   replay: %s --seed %s --calls %d --emit-script > seed%s.txt && "
                      "%s --native %s --wine %s --script seed%s.txt --shrink small.txt" %
                      (options.native, seed, options.calls, seed, sys.argv[0], options.native,
                       options.wine, seed))
    expected = 1 if options.script else options.seeds
    if len(native) != expected or len(wine) != expected:
        print("expected %d runs, got %d native and %d under Wine" %
              (expected, len(native), len(wine)))
        failed.append("runs")
    calls = sum(len(v) for v in native.values())
    agree = len(names) - len([f for f in failed if f != "runs"])
    # What the known differences kept out, counted on the native side.
    marked = {}
    for lines in native.values():
        for line in lines:
            for mark in re.findall(rb"\bKD\d+", line):
                marked[mark.decode()] = marked.get(mark.decode(), 0) + 1
    if marked:
        print("lines with a known-difference marker (that part not compared): " +
              ", ".join("%s %d" % (k, marked[k]) for k in sorted(marked, key=lambda m: int(m[2:]))))
    print("conformance: %d of %d runs agree (%d calls each side) in %.1f s" %
          (agree, len(names), calls, elapsed))
    if ncode not in (0, 3) or wcode not in (0, 3):
        return 1
    return 1 if failed else 0


def parse_script(path):
    with open(path, "rb") as f:
        return [line for line in f.read().split(b"\n")
                if line.strip() and not line.lstrip().startswith(b"#")]


def disagrees(options, lines, root):
    """Index of the first differing call when the script disagrees, else None."""
    fd, path = tempfile.mkstemp(suffix=".txt", dir=root)
    with os.fdopen(fd, "wb") as f:
        f.write(b"\n".join(lines) + b"\n")
    try:
        (_, a, _), (_, b, _) = run_both(options, ["--script", path], root)
    finally:
        os.remove(path)
    diff = first_difference(a, b)
    return None if diff is None else diff[0]


def shrink(options):
    """Cuts the script after its first difference, then removes chunks of lines
    (halves, quarters, ... single lines) while the outputs still differ."""
    root = scratch_root()
    lines = parse_script(options.script)
    at = disagrees(options, lines, root)
    if at is None:
        print("the script agrees: nothing to shrink")
        return 1
    lines = lines[:at + 1]
    chunk = max(1, len(lines) // 2)
    while True:
        i = 0
        removed = False
        while i < len(lines) - 1:  # the differing call itself stays last
            candidate = lines[:i] + lines[min(i + chunk, len(lines) - 1):]
            found = disagrees(options, candidate, root)
            if found is not None:
                lines = candidate[:found + 1]
                removed = True
            else:
                i += chunk
        if chunk == 1 and not removed:
            break
        chunk = max(1, chunk // 2)
        print("shrinking: %d lines" % len(lines), file=sys.stderr)
    with open(options.shrink, "wb") as f:
        f.write(b"\n".join(lines) + b"\n")
    print("%d lines written to %s" % (len(lines), options.shrink))
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--native", required=True, help="the native trace_driver")
    parser.add_argument("--wine", required=True, help="the Windows trace_driver.exe")
    parser.add_argument("--wine-run", default=os.path.normpath(WINE_RUN))
    parser.add_argument("--prefix", help="the Wine prefix (default: the build's own)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--seeds", type=int, default=20)
    parser.add_argument("--calls", type=int, default=2000)
    parser.add_argument("--script")
    parser.add_argument("--shrink", metavar="OUT")
    parser.add_argument("--jobs", type=int, default=1,
                        help="pairs of drivers running side by side (seeds only)")
    parser.add_argument("--timeout", type=int, default=3600)
    options = parser.parse_args()
    options.native = os.path.abspath(options.native)
    options.wine = os.path.abspath(options.wine)
    for path in (options.native, options.wine):
        if not os.path.isfile(path):
            sys.exit("missing %s: build it first" % path)
    if options.shrink:
        if not options.script:
            sys.exit("--shrink needs --script")
        return shrink(options)
    return compare(options)


if __name__ == "__main__":
    sys.exit(main())
