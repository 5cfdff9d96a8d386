#!/usr/bin/env python3
"""Runs the whole-conversion benchmark (called by bench/run.sh, which sets the
environment described there) and writes bench/results.md and bench/results.svg.

Every run converts a fresh copy of a generated registry in a scratch folder: the
program is copied into its own folder (it writes a small file beside itself) and
the data folder is created empty. Times are wall times of the conversion alone;
the median time of a run on an empty registry is subtracted. Peak memory is the
maximum resident set of the program (os.wait4). Results of finished sizes are
kept in results.json, so a later call adds to them."""

import fractions
import json
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
GENERATOR = os.path.join(HERE, "generate_registry.py")
WINE_RUN = os.path.join(TOP, "cmake", "wine-run.sh")
RESULTS_JSON = os.path.join(HERE, "results.json")


def env_list(name, default):
    return os.environ.get(name, default).split()


def generate(k, path, data_path):
    subprocess.run([sys.executable, GENERATOR, k, path, data_path], check=True,
                   stdout=subprocess.DEVNULL)


def timed(cmd, env=None, cwd=None, timeout=None):
    """(wall seconds, peak resident set in bytes, exit code) of one program run;
    raises subprocess.TimeoutExpired (the program still running) after `timeout`."""
    with open(os.devnull, "rb") as nul_in, tempfile.TemporaryFile() as out:
        start = time.perf_counter()
        proc = subprocess.Popen(cmd, stdin=nul_in, stdout=out, stderr=out, env=env, cwd=cwd)
        if timeout is not None:
            while proc.poll() is None:
                if time.perf_counter() - start > timeout:
                    proc.kill()
                    proc.wait()
                    raise subprocess.TimeoutExpired(cmd, timeout)
                time.sleep(0.05)
            # The child is reaped already: no usage of its own left to ask for.
            return time.perf_counter() - start, 0, proc.returncode
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        if proc.returncode != 0:
            out.seek(0)
            sys.stderr.write(out.read()[-2000:].decode(errors="replace"))
        return wall, usage.ru_maxrss * 1024, proc.returncode


def fresh(work, exe):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "prog"))
    os.makedirs(os.path.join(work, "data"))
    prog = os.path.join(work, "prog", os.path.basename(exe))
    shutil.copy2(exe, prog)
    return prog


def produced_bytes(data_dir):
    total = 0
    for name in os.listdir(data_dir):
        total += os.path.getsize(os.path.join(data_dir, name))
    return total


def io_floor(reg_path, data_dir, runs, durable=False):
    """Median time to read the input and write the bytes of the produced files;
    with `durable`, each file is also flushed to disk (fsync) before it counts as
    written, as the program does with every file it saves."""
    blobs = []
    for name in sorted(os.listdir(data_dir)):
        with open(os.path.join(data_dir, name), "rb") as f:
            blobs.append((name, f.read()))
    times = []
    for _ in range(runs):
        target = tempfile.mkdtemp(prefix="floor-", dir=os.path.dirname(data_dir))
        start = time.perf_counter()
        with open(reg_path, "rb") as f:
            f.read()
        for name, blob in blobs:
            with open(os.path.join(target, name), "wb") as f:
                f.write(blob)
                if durable:
                    f.flush()
                    os.fsync(f.fileno())
        times.append(time.perf_counter() - start)
        shutil.rmtree(target)
    return statistics.median(times)


def linux_run(work, exe, reg_path):
    prog = fresh(work, exe)
    store = os.path.join(work, "HKCU.reg")
    shutil.copyfile(reg_path, store)
    env = dict(os.environ, CORVANE_REGISTRY=store)
    wall, rss, code = timed([prog], env=env, cwd=work)
    if code != 0:
        raise RuntimeError("%s failed with exit code %d" % (exe, code))
    return wall, rss


def bench_linux(root, results):
    exe = os.path.abspath(os.environ["BENCH_LINUX_EXE"])
    runs = int(os.environ.get("BENCH_RUNS", "5"))
    work = os.path.join(root, "linux")
    data = os.path.join(work, "data")
    empty = os.path.join(root, "empty-linux.reg")
    generate("0", empty, data)
    base = statistics.median(linux_run(work, exe, empty)[0] for _ in range(runs))
    results["linux_empty"] = base
    for k in env_list("BENCH_LINUX_K", "1 2 4 8 16"):
        reg_path = os.path.join(root, "k%s-linux.reg" % k.replace("/", "_"))
        generate(k, reg_path, data)
        walls, rss = [], []
        for _ in range(runs):
            w, r = linux_run(work, exe, reg_path)
            walls.append(w)
            rss.append(r)
            print("linux k=%s run %.3f s, %.1f MiB" % (k, w, r / 2**20), flush=True)
        floor = io_floor(reg_path, data, runs)
        durable = io_floor(reg_path, data, runs, durable=True)
        results["linux"][k] = {"durable_floor": durable,
            "time": max(0.0, statistics.median(walls) - base), "raw": walls, "base": base,
            "rss": max(rss), "input": os.path.getsize(reg_path),
            "output": produced_bytes(data), "floor": floor, "runs": runs}
        save(results)


def wine(args, cwd):
    with open(os.devnull, "rb") as nul_in, tempfile.TemporaryFile() as out:
        return subprocess.run([WINE_RUN] + args, stdin=nul_in, stdout=out, stderr=out,
                              cwd=cwd).returncode


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


def wine_run(work, exe, reg_path, by_key=False):
    prog = fresh(work, exe)
    load = os.path.join(work, "load.reg")
    with open(reg_path, "rb") as f:
        text = f.read()[2:].decode("utf-16-le")
    header, _, body = text.partition("\r\n")
    text = header + "\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Brax]\r\n" + body
    with open(load, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    if wine(["regedit", "/S", wine_path(load)], work) != 0:
        raise RuntimeError("regedit /S failed")
    limit = float(os.environ.get("BENCH_WINE_LIMIT", "0")) or None
    try:
        # The test switch of the program: every group written key by key.
        env = dict(os.environ, CORVANE_KEY_BY_KEY="1") if by_key else None
        wall, _, code = timed([WINE_RUN, prog], env=env, cwd=work, timeout=limit)
    except subprocess.TimeoutExpired:
        # Ends every process of the benchmark's own prefix, the program included.
        subprocess.run(["wineserver", "-k"], env=dict(
            os.environ, WINEPREFIX=os.environ["CORVANE_WINEPREFIX"]), check=False)
        return None
    if code != 0:
        raise RuntimeError("%s failed under Wine with exit code %d" % (exe, code))
    return wall


def bench_wine(root, results):
    exe = os.path.abspath(os.environ["BENCH_WINDOWS_EXE"])
    runs = int(os.environ.get("BENCH_WINE_RUNS", "3"))
    work = os.path.join(root, "wine")
    data = wine_path(os.path.join(work, "data"))
    # One Wine server for all runs: its start-up is not the program's work.
    wine(["cmd", "/c", "exit", "0"], root)
    subprocess.run(["wineserver", "-p60"], env=dict(
        os.environ, WINEPREFIX=os.environ["CORVANE_WINEPREFIX"]), check=False)
    empty = os.path.join(root, "empty-wine.reg")
    generate("0", empty, data)
    base = statistics.median(wine_run(work, exe, empty) for _ in range(runs))
    results["wine_empty"] = base
    for k in env_list("BENCH_WINE_K", "1/4 1/2 1"):
        reg_path = os.path.join(root, "k%s-wine.reg" % k.replace("/", "_"))
        generate(k, reg_path, data)
        walls = []
        for _ in range(runs):
            wall = wine_run(work, exe, reg_path)
            if wall is None:
                break
            walls.append(wall)
            print("wine k=%s run %.3f s" % (k, walls[-1]), flush=True)
        if len(walls) < runs:
            # Stopped at the time limit: the time is only known to exceed it.
            limit = float(os.environ["BENCH_WINE_LIMIT"])
            print("wine k=%s stopped after %.0f s" % (k, limit), flush=True)
            results["wine"][k] = {"time": limit - base, "lower_bound": True, "raw": walls,
                                  "runs": 1, "base": base}
            save(results)
            break  # larger sizes take longer still
        results["wine"][k] = {"time": max(0.0, statistics.median(walls) - base),
                              "raw": walls, "runs": runs, "base": base}
        save(results)
        # The same with every group written key by key, for comparison: a few
        # minutes a run, so once per size unless asked otherwise.
        by_key_runs = int(os.environ.get("BENCH_WINE_BY_KEY_RUNS", "1"))
        by_key = [wine_run(work, exe, reg_path, by_key=True) for _ in range(by_key_runs)]
        if by_key and None not in by_key:
            print("wine k=%s key by key %s s" % (k, by_key), flush=True)
            results["wine_by_key"][k] = {"time": max(0.0, statistics.median(by_key) - base),
                                         "raw": by_key, "runs": by_key_runs, "base": base}
            save(results)


def save(results):
    # Another call may measure the other build at the same time: merge, not replace.
    if os.path.exists(RESULTS_JSON):
        with open(RESULTS_JSON) as f:
            stored = json.load(f)
        for key in ("linux", "wine", "wine_by_key"):
            results[key] = dict(stored.get(key, {}), **results.get(key, {}))
        for key in ("linux_empty", "wine_empty"):
            results.setdefault(key, stored.get(key))
        if results.get("wine_empty") is None:
            results.pop("wine_empty")
        if results.get("linux_empty") is None:
            results.pop("linux_empty")
    with open(RESULTS_JSON, "w") as f:
        json.dump(results, f, indent=1)
    write_report(results)


def kval(k):
    return float(fractions.Fraction(k))


def exponent(series):
    """Least-squares slope of log(time) over log(k)."""
    pts = [(math.log(kval(k)), math.log(v["time"])) for k, v in series.items()
           if v["time"] > 0 and not v.get("lower_bound")]
    if len(pts) < 2:
        return None
    mx = sum(x for x, _ in pts) / len(pts)
    my = sum(y for _, y in pts) / len(pts)
    sxx = sum((x - mx) ** 2 for x, _ in pts)
    return sum((x - mx) * (y - my) for x, y in pts) / sxx if sxx else None


def spread(series, fallback):
    """The empty-registry times subtracted in a series, as text."""
    bases = sorted({v["base"] for v in series.values() if "base" in v} or
                   ({fallback} if fallback is not None else set()))
    if not bases:
        return "-"
    if len(bases) == 1:
        return "%.3f s" % bases[0]
    return "%.3f to %.3f s" % (bases[0], bases[-1])


def mib(b):
    return b / 2**20


def write_report(results):
    lin, win = results["linux"], results["wine"]
    ks = sorted(set(lin) | set(win), key=kval)
    slow = results.get("wine_by_key", {})
    rows = ["| k | runs (Linux, Wine) | input | Linux time | Wine time | Wine time, key by key (runs) | Wine / Linux | Linux / I/O floor | I/O floor "
            "| durable I/O floor | Linux / durable floor | peak RSS | RSS limit (4x input + 16 MiB) |",
            "|---|---|---|---|---|---|---|---|---|---|---|---|---|"]
    for k in ks:
        l, w = lin.get(k), win.get(k)
        cell = lambda v, f: f % v if v is not None else "-"  # noqa: E731
        kk = slow.get(k)
        rows.append("| %s | %s, %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |" % (
            k, cell(l and l["runs"], "%d"), cell(w and w["runs"], "%d"), cell(l and mib(l["input"]), "%.1f MiB"), cell(l and l["time"], "%.3f s"),
            (">" if w and w.get("lower_bound") else "") + cell(w and w["time"], "%.2f s"),
            cell(kk and kk["time"], "%.2f s") + (" (%d)" % kk["runs"] if kk else ""),
            (">" if w and w.get("lower_bound") else "") +
            cell(l and w and l["time"] and w["time"] / l["time"], "%.1fx"),
            cell(l and l["floor"] and l["time"] / l["floor"], "%.0fx"),
            cell(l and l["floor"], "%.4f s"), cell(l and l.get("durable_floor"), "%.4f s"),
            cell(l and l.get("durable_floor") and l["time"] / l["durable_floor"], "%.1fx"),
            cell(l and mib(l["rss"]), "%.1f MiB"),
            cell(l and mib(4 * l["input"]) + 16, "%.1f MiB")))
    el, ew = exponent(lin), exponent(win)
    lines = ["# Whole-conversion benchmark", "",
             "Written by `make bench` (bench/run.sh). Times are wall-time medians of the "
             "runs listed, minus the median of as many runs on an empty registry "
             "(Linux %s, Wine %s)." % (spread(lin, results.get("linux_empty")),
                                      spread(win, results.get("wine_empty"))),
             "A Wine time with \">\" is a run stopped at the time limit (BENCH_WINE_LIMIT): "
             "the conversion takes longer; it is left out of the scaling exponent.",
             "\"Key by key\" is the Windows build with CORVANE_KEY_BY_KEY=1: every "
             "settings group written one value at a time, as before the group writes "
             "(BENCH_WINE_BY_KEY_RUNS runs, default 1; 0 skips it).",
             "Peak RSS is the largest maximum resident set of the Linux runs. The I/O floor "
             "reads the input export and writes the bytes of the produced files; the durable "
             "floor also flushes each produced file to disk (fsync), as the program does "
             "with every file it saves.", ""]
    lines += rows
    lines += ["", "Scaling exponent (slope of log time over log k): Linux %s, Wine %s." % (
        "%.2f" % el if el is not None else "-", "%.2f" % ew if ew is not None else "-"), "",
        "![time against k](results.svg)", ""]
    with open(os.path.join(HERE, "results.md"), "w") as f:
        f.write("\n".join(lines))
    write_svg(results)


def write_svg(results):
    W, H, L, R, T, B = 640, 400, 70, 20, 30, 50
    series = [("Linux", "#1f77b4", results["linux"]), ("Wine", "#d62728", results["wine"])]
    pts = [(kval(k), v["time"]) for _, _, s in series for k, v in s.items() if v["time"] > 0]
    if not pts:
        return
    x0, x1 = math.log2(min(p[0] for p in pts)), math.log2(max(p[0] for p in pts))
    y0 = math.floor(math.log10(min(p[1] for p in pts)))
    y1 = math.ceil(math.log10(max(p[1] for p in pts)))
    if x1 == x0:
        x1 += 1
    if y1 == y0:
        y1 += 1
    sx = lambda k: L + (math.log2(k) - x0) / (x1 - x0) * (W - L - R)  # noqa: E731
    sy = lambda t: H - B - (math.log10(t) - y0) / (y1 - y0) * (H - T - B)  # noqa: E731
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'font-family="sans-serif" font-size="12">' % (W, H),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="18" text-anchor="middle">Conversion time against size factor k '
           '(log-log)</text>' % (W // 2)]
    for e in range(y0, y1 + 1):
        y = sy(10 ** e)
        out.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="#ddd"/>' % (L, y, W - R, y))
        out.append('<text x="%d" y="%.1f" text-anchor="end">%g s</text>' % (L - 6, y + 4, 10 ** e))
    e = math.floor(x0)
    while e <= x1:
        x = sx(2 ** e)
        if x >= L - 1:
            out.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#ddd"/>' %
                       (x, T, x, H - B))
            out.append('<text x="%.1f" y="%d" text-anchor="middle">%s</text>' %
                       (x, H - B + 16, str(fractions.Fraction(2) ** e)))
        e += 1
    out.append('<text x="%d" y="%d" text-anchor="middle">size factor k</text>' %
               ((L + W - R) // 2, H - 12))
    for n, (name, colour, s) in enumerate(series):
        xy = [(sx(kval(k)), sy(v["time"])) for k, v in sorted(s.items(), key=lambda i: kval(i[0]))
              if v["time"] > 0]
        if xy:
            out.append('<polyline fill="none" stroke="%s" stroke-width="2" points="%s"/>' %
                       (colour, " ".join("%.1f,%.1f" % p for p in xy)))
            bounds = [kval(k) for k, v in s.items() if v.get("lower_bound")]
            out += ['<circle cx="%.1f" cy="%.1f" r="3" fill="%s"/>' % (x, y, colour)
                    for x, y in xy]
            for k in bounds:  # a run stopped at the time limit: an arrow upwards
                x, y = sx(k), sy(s[[n for n in s if kval(n) == k][0]]["time"])
                out.append('<path d="M%.1f,%.1f v-18 m-4,6 l4,-6 l4,6" stroke="%s" '
                           'fill="none" stroke-width="2"/>' % (x, y, colour))
        out.append('<rect x="%d" y="%d" width="12" height="3" fill="%s"/>' %
                   (L + 10, T + 10 + 16 * n, colour))
        out.append('<text x="%d" y="%d">%s</text>' % (L + 28, T + 15 + 16 * n, name))
    out.append("</svg>")
    with open(os.path.join(HERE, "results.svg"), "w") as f:
        f.write("\n".join(out) + "\n")


def main():
    results = {"linux": {}, "wine": {}, "wine_by_key": {}}
    if os.path.exists(RESULTS_JSON) and os.environ.get("BENCH_KEEP", "1") == "1":
        with open(RESULTS_JSON) as f:
            results.update(json.load(f))
        results.setdefault("wine_by_key", {})
    root = os.environ.get("BENCH_WORK") or tempfile.mkdtemp(prefix="corvane-bench-")
    os.makedirs(root, exist_ok=True)
    what = sys.argv[1:] or ["linux", "wine"]
    if "linux" in what:
        bench_linux(root, results)
    if "wine" in what and os.environ.get("BENCH_WINE", "1") == "1":
        bench_wine(root, results)
    save(results)
    print(open(os.path.join(HERE, "results.md")).read())


if __name__ == "__main__":
    main()
