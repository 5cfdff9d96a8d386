#!/usr/bin/env python3
"""Runs the end-to-end scenarios of tests/scenarios/ against a built program.

Each scenario is a folder:
  registry.reg        the registry before the run (REGEDIT 5.00 text, UTF-8 or UTF-16LE+BOM;
                      REGEDIT4 text in UTF-8, handed to the programs in code page 1252)
  args                optional: the command-line arguments, one line, split like a shell
  stdin               optional: console input (absent = empty input)
  expected/           every file the data folder holds afterwards, byte for byte
                      (registry backups "*-registry-backup*.reg" are compared as
                      registries when listed and ignored otherwise)
  expected-prog/      optional: the files beside the program afterwards (absent = none)
  expected.stdout     the exact standard output
  expected.reg        optional: HKEY_CURRENT_USER\\Software\\Brax afterwards, compared
                      as registries (names ignore case, value order ignored)
  expected.exitcode   optional: the exit code (default 0)
  expected.stderr     optional: the exact standard error
  description         one line: what the scenario shows
  data-before/        optional: files put into the data folder before the run
  prog-before/        optional: files put beside the program before the run
  expected-restored.reg  optional: the registry after the run once every
                      registry backup in the data folder has been imported
                      (in name order), compared like expected.reg; under Wine
                      the backups are imported with "regedit /S"

Placeholders in registry.reg, stdin, args and every expected file:
  %DATA%      the data folder as the program sees it
  %PROG%      the program folder as the program sees it
  %DATA_REG%  %DATA% with its backslashes doubled, for quoted .reg strings
  %PROG_REG%  the same for %PROG%
  %DATA_HEX2% %DATA% as the UTF-16LE bytes of hex(2): data, with its NUL
  %SEP%       the separator of the paths the program builds: "\\" on Windows, "/" on Linux
  %SEP_REG%   the same for quoted .reg strings
  %VERSION%   the first line of the VERSION file at the top of the repository
  %BUILD%     the build as the version line names it ("Linux build, code page 1252")

With --preview-check each scenario is first run once more with "/preview"
added: that run must leave the registry, the data folder and the program
folder as they were, and the account it prints must equal the closing
account of the real run (for runs that end with exit code 0 and read no
typed data folder).

Natively the registry is the file named by CORVANE_REGISTRY in a scratch folder.
Under Wine the registry is loaded with "regedit /S" (after deleting
HKCU\\Software\\Brax) and read back with "regedit /E".
"""

import argparse
import difflib
import fnmatch
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

BRAX = "hkey_current_user\\software\\brax"
VERSION = open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                            "VERSION")).readline().strip()
BACKUP_PATTERN = "*-registry-backup*.reg"
TIMEOUT = 300


# ---- registry export text --------------------------------------------------


class RegParseError(Exception):
    pass


def decode_reg(data):
    """The text of a registry export file in any of the encodings editors write."""
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le")
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8")
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        # 8-bit text in the ANSI code page the programs run with (1252).
        return data.decode("cp1252", errors="surrogateescape")


def unescape_reg_string(text, line_no):
    """The value of a quoted .reg string whose opening quote is already gone;
    returns (value, rest after the closing quote)."""
    out = []
    i = 0
    while i < len(text):
        ch = text[i]
        if ch == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "r": "\r", "0": "\0"}.get(nxt, nxt))
            i += 2
            continue
        if ch == '"':
            return "".join(out), text[i + 1:]
        out.append(ch)
        i += 1
    raise RegParseError("line %d: unterminated string" % line_no)


# Names as last spelled in a parsed file, by their lower-case form (for showing).
SPELLING = {}


def spelled(lower):
    return SPELLING.get(lower, lower)


def normalise_key(name):
    name = name.strip()
    lower = name.lower()
    if lower.startswith("hkcu\\") or lower == "hkcu":
        name = "HKEY_CURRENT_USER" + name[4:]
    name = name.rstrip("\\")
    SPELLING[name.lower()] = name
    return name.lower()


def parse_reg(data):
    """{key (lower case): {value name (lower case): (type, normalised data)}}."""
    text = decode_reg(data)
    lines = text.replace("\r\n", "\n").replace("\r", "\n").split("\n")
    keys = {}
    current = None
    i = 0
    unicode_file = True
    while i < len(lines):
        line_no = i + 1
        line = lines[i].strip()
        i += 1
        if not line or line.startswith(";"):
            continue
        if line == "REGEDIT4":
            unicode_file = False
            continue
        if line.startswith("Windows Registry Editor"):
            continue
        if line.startswith("["):
            if not line.endswith("]"):
                raise RegParseError("line %d: key line without ']'" % line_no)
            name = line[1:-1]
            if name.startswith("-"):
                gone = normalise_key(name[1:])
                for k in list(keys):
                    if k == gone or k.startswith(gone + "\\"):
                        del keys[k]
                current = None
                continue
            current = normalise_key(name)
            keys.setdefault(current, {})
            continue
        if current is None:
            raise RegParseError("line %d: value outside a key" % line_no)
        if line.startswith("@"):
            vname, rest = "", line[1:]
        elif line.startswith('"'):
            vname, rest = unescape_reg_string(line[1:], line_no)
        else:
            raise RegParseError("line %d: cannot read %r" % (line_no, line))
        SPELLING[vname.lower()] = vname
        rest = rest.lstrip()
        if not rest.startswith("="):
            raise RegParseError("line %d: '=' missing" % line_no)
        rest = rest[1:].lstrip()
        if rest == "-":
            keys[current].pop(vname.lower(), None)
            continue
        if rest.startswith('"'):
            value, tail = unescape_reg_string(rest[1:], line_no)
            if tail.strip():
                raise RegParseError("line %d: text after a string" % line_no)
            keys[current][vname.lower()] = (1, value)
            continue
        if rest.lower().startswith("dword:"):
            try:
                number = int(rest[6:].strip(), 16)
            except ValueError:
                raise RegParseError("line %d: bad dword" % line_no)
            keys[current][vname.lower()] = (4, number.to_bytes(4, "little"))
            continue
        m = re.match(r"hex(?:\(([0-9a-fA-F]+)\))?:(.*)$", rest, re.I)
        if not m:
            raise RegParseError("line %d: unknown data %r" % (line_no, rest))
        vtype = int(m.group(1), 16) if m.group(1) else 3
        body = m.group(2).strip()
        while body.endswith("\\"):
            body = body[:-1]
            if i >= len(lines):
                break
            body += lines[i].strip()
            i += 1
        hexes = [h.strip() for h in body.split(",") if h.strip()]
        try:
            raw = bytes(int(h, 16) for h in hexes)
        except ValueError:
            raise RegParseError("line %d: bad hex data" % line_no)
        if vtype in (1, 2) and not (unicode_file and len(raw) % 2):
            if unicode_file:
                textval = raw.decode("utf-16-le", errors="replace")
            else:
                textval = raw.decode("utf-8", errors="replace")
            if textval.endswith("\0"):
                textval = textval[:-1]
            keys[current][vname.lower()] = (vtype, textval)
        else:
            keys[current][vname.lower()] = (vtype, raw)
    return keys


def brax_subtree(keys):
    """The keys at and below HKCU\\Software\\Brax, with their implied parents."""
    out = {}
    for k, values in keys.items():
        if k == BRAX or k.startswith(BRAX + "\\"):
            out.setdefault(k, {}).update(values)
    for k in list(out):
        parts = k.split("\\")
        for n in range(3, len(parts)):
            parent = "\\".join(parts[:n])
            out.setdefault(parent, {})
            if parent not in SPELLING and k in SPELLING:
                SPELLING[parent] = "\\".join(SPELLING[k].split("\\")[:n])
    return out


def show_value(v):
    vtype, data = v
    if vtype == 4 and isinstance(data, bytes) and len(data) == 4:
        return "dword:%08x" % int.from_bytes(data, "little")
    if isinstance(data, str):
        return "%s %r" % ({1: "sz", 2: "expand_sz"}.get(vtype, "type%d" % vtype), data)
    return "hex(%d):%s" % (vtype, ",".join("%02x" % b for b in data))


def compare_registries(expected, actual):
    """Lines describing every difference; empty when the registries match."""
    problems = []
    for k in sorted(set(expected) | set(actual)):
        if k not in actual:
            problems.append("- missing key [%s]" % spelled(k))
            continue
        if k not in expected:
            problems.append("+ unexpected key [%s] %s" % (
                spelled(k), ", ".join(spelled(n) for n in sorted(actual[k])) or "(no values)"))
            continue
        ev, av = expected[k], actual[k]
        for name in sorted(set(ev) | set(av)):
            label = "@" if name == "" else '"%s"' % spelled(name)
            if name not in av:
                problems.append("- [%s] %s=%s missing" % (spelled(k), label, show_value(ev[name])))
            elif name not in ev:
                problems.append("+ [%s] %s=%s unexpected" % (spelled(k), label, show_value(av[name])))
            elif ev[name] != av[name]:
                problems.append("! [%s] %s: expected %s, got %s" % (
                    spelled(k), label, show_value(ev[name]), show_value(av[name])))
    return problems


def format_reg(keys):
    """Registry export text of a parsed registry (strings in hex(1) form)."""
    out = ["Windows Registry Editor Version 5.00", ""]
    for k in sorted(keys):
        out.append("[%s]" % k)
        for name, (vtype, data) in sorted(keys[k].items()):
            head = "@" if name == "" else '"%s"' % name.replace("\\", "\\\\").replace('"', '\\"')
            if isinstance(data, str):
                data = (data + "\0").encode("utf-16-le")
            out.append("%s=hex(%x):%s" % (head, vtype, ",".join("%02x" % b for b in data)))
        out.append("")
    return "\n".join(out) + "\n"


def format_reg_readable(keys):
    """Registry export text as a person writes it: quoted strings where they can
    be, dword: for numbers, hex otherwise."""
    def quote(t):
        return '"%s"' % t.replace("\\", "\\\\").replace('"', '\\"')

    out = ["Windows Registry Editor Version 5.00", ""]
    for k in sorted(keys):
        out.append("[%s]" % spelled(k))
        for name, (vtype, data) in sorted(keys[k].items()):
            head = "@" if name == "" else quote(spelled(name))
            if vtype == 1 and isinstance(data, str) and not any(ord(c) < 32 for c in data):
                out.append("%s=%s" % (head, quote(data)))
            elif vtype == 4 and isinstance(data, bytes) and len(data) == 4:
                out.append("%s=dword:%08x" % (head, int.from_bytes(data, "little")))
            else:
                if isinstance(data, str):
                    data = (data + "\0").encode("utf-16-le")
                tag = "hex" if vtype == 3 else "hex(%x)" % vtype
                out.append("%s=%s:%s" % (head, tag, ",".join("%02x" % b for b in data)))
        out.append("")
    return "\n".join(out)


# ---- files -------------------------------------------------------------------


def list_files(root):
    """Relative paths (with '/') of every file below root."""
    found = []
    if not os.path.isdir(root):
        return found
    for dirpath, _dirs, files in os.walk(root):
        for f in files:
            rel = os.path.relpath(os.path.join(dirpath, f), root)
            found.append(rel.replace(os.sep, "/"))
    return sorted(found)


def text_diff(expected, actual, label):
    def lines(b):
        return b.decode("utf-8", errors="backslashreplace").splitlines(keepends=True)

    diff = difflib.unified_diff(lines(expected), lines(actual), "expected/" + label,
                                "actual/" + label)
    out = []
    for line in diff:
        out.append(line.rstrip("\n").replace("\r", "\\r"))
    if not out:
        out.append("(files differ in bytes: %d expected, %d actual)" % (len(expected), len(actual)))
    return out


# ---- runners -----------------------------------------------------------------


class Placeholders:
    def __init__(self, data, prog, runner):
        self.map = {
            "%DATA_HEX2%": ",".join("%02x" % b for b in (data + "\0").encode("utf-16-le")),
            "%DATA_REG%": data.replace("\\", "\\\\"),
            "%PROG_REG%": prog.replace("\\", "\\\\"),
            "%DATA%": data,
            "%PROG%": prog,
            "%SEP_REG%": runner.separator.replace("\\", "\\\\"),
            "%SEP%": runner.separator,
            "%VERSION%": VERSION,
            "%BUILD%": runner.build(),
        }

    def text(self, s):
        for k, v in self.map.items():
            s = s.replace(k, v)
        return s

    def bytes(self, b):
        for k, v in self.map.items():
            b = b.replace(k.encode(), v.encode("utf-8"))
        return b


def to_utf16_reg(text):
    return b"\xff\xfe" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-16-le")


def encode_reg(text):
    """A registry export file as editors write it: version 5 in UTF-16LE, the
    older REGEDIT4 in 8-bit text of the ANSI code page (1252)."""
    if text.lstrip("\ufeff").startswith("REGEDIT4"):
        return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp1252")
    return to_utf16_reg(text)


class NativeRunner:
    name = "native"
    separator = "/"

    def build(self):
        return "Linux build, code page 1252"

    def __init__(self, exe):
        self.exe = os.path.abspath(exe)

    def program_name(self):
        return os.path.basename(self.exe)

    def visible(self, path):
        return path

    def prepare(self):
        pass

    def run(self, scratch, prog_exe, reg_text, args, stdin):
        store = os.path.join(scratch, "HKCU.reg")
        with open(store, "wb") as f:
            f.write(encode_reg(reg_text))
        env = dict(os.environ)
        env["CORVANE_REGISTRY"] = store
        env.pop("CORVANE_CODEPAGE", None)  # the Western default, as Wine's
        proc = subprocess.run([prog_exe] + args, input=stdin, capture_output=True, env=env,
                              cwd=os.path.join(scratch, "work"), timeout=TIMEOUT)
        with open(store, "rb") as f:
            after = f.read()
        return proc.returncode, proc.stdout, proc.stderr, after

    def restore(self, scratch, after, backups):
        """The registry export after importing the backups over `after`."""
        keys = parse_reg(after) if after else {}
        for path in backups:
            with open(path, "rb") as f:
                for k, values in parse_reg(f.read()).items():
                    keys.setdefault(k, {}).update(values)
        return to_utf16_reg(format_reg(keys))


class WineRunner:
    name = "wine"
    separator = "\\"
    code_page = None

    def build(self):
        # The code page Wine gives programs, read once from its registry.
        if self.code_page is None:
            done = self.wine(["reg", "query", "HKLM\\System\\CurrentControlSet\\Control\\Nls"
                              "\\CodePage", "/v", "ACP"], cwd=tempfile.gettempdir())
            found = re.search(rb"ACP\s+REG_SZ\s+(\d+)", done.stdout)
            self.code_page = found.group(1).decode() if found else "?"
        return "Windows build, code page " + self.code_page

    def __init__(self, exe, wrapper):
        self.exe = os.path.abspath(exe)
        self.wrapper = os.path.abspath(wrapper)

    def program_name(self):
        return os.path.basename(self.exe)

    def visible(self, path):
        return "Z:" + path.replace("/", "\\")

    def wine(self, args, cwd, input=None):
        """Runs a Wine command; returns (exit code, stdout, stderr)."""
        # Output goes through files, not pipes: Wine's helper processes inherit
        # the handles and would hold a pipe open for seconds after the command.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
                tempfile.TemporaryFile() as inp:
            inp.write(input or b"")
            inp.seek(0)
            proc = subprocess.run([self.wrapper] + args, cwd=cwd, stdin=inp, stdout=out,
                                  stderr=err, timeout=TIMEOUT)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(proc.args, proc.returncode, out.read(), err.read())

    def prefix(self):
        """The Wine prefix the wrapper uses (see cmake/wine-run.sh)."""
        default = os.path.join(os.path.dirname(self.wrapper), "..", "build", "windows",
                               "wineprefix")
        return os.path.abspath(os.environ.get("CORVANE_WINEPREFIX") or default)

    def prepare(self):
        # The first call may create the prefix. A Wine server that outlives each
        # call saves seconds of start-up per command; it ends by itself shortly
        # after the last one.
        self.wine(["cmd", "/c", "exit", "0"], cwd=tempfile.gettempdir())
        env = dict(os.environ, WINEPREFIX=self.prefix(), WINEDEBUG="-all")
        try:
            subprocess.run(["wineserver", "-p15"], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
        except OSError:
            pass  # no separate server program: every call starts its own

    def import_reg(self, path, work):
        """Imports a registry file with the registry editor."""
        # Under load Wine's registry editor now and then fails at start-up with
        # no message; the import is idempotent, so it is tried again.
        for attempt in range(3):
            done = self.wine(["regedit", "/S", self.visible(path)], cwd=work)
            if done.returncode == 0:
                return
            time.sleep(1 + attempt)
        raise RuntimeError("regedit /S %s failed (exit %d): %s" % (
            path, done.returncode, done.stderr.decode(errors="replace")))

    def run(self, scratch, prog_exe, reg_text, args, stdin):
        work = os.path.join(scratch, "work")
        load = os.path.join(scratch, "load.reg")
        # One import both clears the company key and loads the scenario's registry.
        header, _, body = reg_text.lstrip("\ufeff").partition("\n")
        if not header.strip().startswith(("Windows Registry Editor", "REGEDIT4")):
            raise RegParseError("registry.reg: no header line")
        text = header.strip() + "\n\n[-HKEY_CURRENT_USER\\Software\\Brax]\n\n" + body
        with open(load, "wb") as f:
            f.write(encode_reg(text))
        self.import_reg(load, work)
        proc = self.wine([prog_exe] + args, cwd=work, input=stdin)
        out = os.path.join(scratch, "after.reg")
        self.wine(["regedit", "/E", self.visible(out), "HKEY_CURRENT_USER\\Software\\Brax"],
                  cwd=work)
        after = b""
        if os.path.exists(out):
            with open(out, "rb") as f:
                after = f.read()
        stdout = proc.stdout.replace(b"\r\n", b"\n")
        stderr = proc.stderr.replace(b"\r\n", b"\n")
        return proc.returncode, stdout, stderr, after

    def restore(self, scratch, after, backups):
        """The registry export after importing the backups with the registry editor."""
        work = os.path.join(scratch, "work")
        for path in backups:
            self.import_reg(path, work)
        out = os.path.join(scratch, "restored.reg")
        self.wine(["regedit", "/E", self.visible(out), "HKEY_CURRENT_USER\\Software\\Brax"],
                  cwd=work)
        return read_optional(out, b"")


def read_optional(path, default=None):
    if os.path.exists(path):
        with open(path, "rb") as f:
            return f.read()
    return default


def compare_tree(expected_dir, actual_dir, ph, label, skip=()):
    """Differences between the expected files and the files present."""
    problems = []
    expected = list_files(expected_dir)
    actual = [f for f in list_files(actual_dir) if f not in skip]
    listed = set(expected)
    for f in actual:
        if f not in listed and fnmatch.fnmatch(os.path.basename(f), BACKUP_PATTERN):
            continue  # backups are checked only where a scenario lists them
        if f not in listed:
            problems.append("+ unexpected file %s/%s" % (label, f))
    for f in expected:
        exp = ph.bytes(read_optional(os.path.join(expected_dir, f)))
        got = read_optional(os.path.join(actual_dir, f))
        if got is None:
            problems.append("- missing file %s/%s" % (label, f))
            continue
        if fnmatch.fnmatch(os.path.basename(f), BACKUP_PATTERN):
            try:
                diff = compare_registries(parse_reg(ph.bytes(exp)), parse_reg(got))
            except (RegParseError, UnicodeDecodeError) as e:
                diff = ["cannot read as a registry export: %s" % e]
            problems += ["%s/%s: %s" % (label, f, d) for d in diff]
        elif exp != got:
            problems.append("file %s/%s differs:" % (label, f))
            problems += ["    " + d for d in text_diff(exp, got, f)]
    return problems


def unplace(data, ph, reg=False):
    """Actual bytes with the scratch paths turned back into placeholders; in
    registry export text the quoted forms."""
    names = ("%DATA_REG%", "%PROG_REG%", "%DATA%", "%PROG%") if reg else ("%DATA%", "%PROG%")
    for k in names:
        data = data.replace(ph.map[k].encode("utf-8"), k.encode())
    return data


def record(folder, ph, code, stdout, after, data_dir, prog_dir, program_name):
    """Writes what the run did as the scenario's expectations (to be reviewed)."""
    with open(os.path.join(folder, "expected.stdout"), "wb") as f:
        f.write(unplace(stdout, ph))
    code_file = os.path.join(folder, "expected.exitcode")
    if code:
        with open(code_file, "w") as f:
            f.write("%d\n" % code)
    elif os.path.exists(code_file):
        os.remove(code_file)
    for sub, root, skip in (("expected", data_dir, ()), ("expected-prog", prog_dir,
                                                         (program_name,))):
        target = os.path.join(folder, sub)
        shutil.rmtree(target, ignore_errors=True)
        for f in list_files(root):
            if f in skip:
                continue
            with open(os.path.join(root, *f.split("/")), "rb") as src:
                data = src.read()
            is_reg = fnmatch.fnmatch(os.path.basename(f), BACKUP_PATTERN)
            if is_reg:
                data = format_reg_readable(parse_reg(data)).encode("utf-8")
            path = os.path.join(target, *f.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as out:
                out.write(unplace(data, ph, reg=is_reg))
    keys = brax_subtree(parse_reg(after)) if after else {}
    text = format_reg_readable(keys).encode("utf-8")
    with open(os.path.join(folder, "expected.reg"), "wb") as f:
        f.write(unplace(text, ph, reg=True))


ACCOUNT_HEADS = (b"Files written:", b"Registry backup:", b"Values:")


def account_lines(stdout):
    """The closing account: the lines that start with the account's heads."""
    return [l for l in stdout.splitlines() if l.startswith(ACCOUNT_HEADS)]


def tree_bytes(root):
    """Every file below root with its bytes, and every folder."""
    found = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for d in dirnames:
            found[os.path.relpath(os.path.join(dirpath, d), root) + "/"] = None
        for f in filenames:
            with open(os.path.join(dirpath, f), "rb") as fh:
                found[os.path.relpath(os.path.join(dirpath, f), root)] = fh.read()
    return found


def check_preview(runner, scratch, prog_exe, reg_text, args, stdin, dirs, stop_code):
    """Runs a preview; the problems found and its account lines. A run that
    stops before it reads anything (exit code stop_code: a command line or
    name not understood) stops its preview alike."""
    before = {d: tree_bytes(d) for d in dirs}
    code, stdout, stderr, after = runner.run(scratch, prog_exe, reg_text, args + ["/preview"],
                                             stdin)
    problems = []
    if code != 0 and code != stop_code:
        problems.append("preview: exit code %d (%s)" % (code, stderr.decode("utf-8", "replace")))
    for d in dirs:
        if tree_bytes(d) != before[d]:
            problems.append("preview: changed the folder %s" % os.path.basename(d))
    if runner.name == "native" and after != encode_reg(reg_text):
        problems.append("preview: changed the registry file")
    elif brax_subtree(parse_reg(after)) != brax_subtree(parse_reg(encode_reg(reg_text))):
        problems.append("preview: changed the registry")
    return problems, account_lines(stdout)


def run_scenario(runner, folder, recording=False, preview_check=False):
    name = os.path.basename(folder)
    scratch = os.path.realpath(tempfile.mkdtemp(prefix="corvane-%s-" % name))
    try:
        prog_dir = os.path.join(scratch, "prog")
        data_dir = os.path.join(scratch, "data")
        for d in (prog_dir, data_dir, os.path.join(scratch, "work")):
            os.makedirs(d)
        prog_exe = os.path.join(prog_dir, runner.program_name())
        shutil.copy2(runner.exe, prog_exe)
        ph = Placeholders(runner.visible(data_dir), runner.visible(prog_dir), runner)
        for before_name, into in (("data-before", data_dir), ("prog-before", prog_dir)):
            before = os.path.join(folder, before_name)
            for f in list_files(before):
                target = os.path.join(into, *f.split("/"))
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as out:
                    out.write(ph.bytes(read_optional(os.path.join(before, *f.split("/")))))

        reg_text = ph.text(decode_reg(read_optional(os.path.join(folder, "registry.reg"))))
        args_text = read_optional(os.path.join(folder, "args"), b"").decode("utf-8").strip()
        args = shlex.split(ph.text(args_text)) if args_text else []
        stdin = ph.bytes(read_optional(os.path.join(folder, "stdin"), b""))

        preview_problems, preview_account = [], None
        want_code = int(read_optional(os.path.join(folder, "expected.exitcode"), b"0").strip())
        if preview_check and "/preview" not in args:
            preview_problems, preview_account = check_preview(
                runner, scratch, prog_exe, reg_text, args, stdin,
                (data_dir, prog_dir, os.path.join(scratch, "work")),
                want_code if want_code == 2 else 0)
        code, stdout, stderr, after = runner.run(scratch, prog_exe, reg_text, args, stdin)
        if recording:
            record(folder, ph, code, stdout, after, data_dir, prog_dir, runner.program_name())

        problems = list(preview_problems)
        if preview_account is not None and code == 0 and not stdin.strip():
            real_account = account_lines(stdout)
            if preview_account != real_account:
                problems.append("preview account differs from the run's:")
                problems += ["    " + d for d in text_diff(b"\n".join(real_account),
                                                           b"\n".join(preview_account),
                                                           "account")]
        if code != want_code:
            problems.append("exit code %d, expected %d" % (code, want_code))
        want_out = ph.bytes(read_optional(os.path.join(folder, "expected.stdout"), b""))
        if stdout != want_out:
            problems.append("standard output differs:")
            problems += ["    " + d for d in text_diff(want_out, stdout, "stdout")]
        want_err = read_optional(os.path.join(folder, "expected.stderr"))
        if want_err is not None and stderr != ph.bytes(want_err):
            problems.append("standard error differs:")
            problems += ["    " + d for d in text_diff(ph.bytes(want_err), stderr, "stderr")]
        problems += compare_tree(os.path.join(folder, "expected"), data_dir, ph, "data")
        problems += compare_tree(os.path.join(folder, "expected-prog"), prog_dir, ph, "prog",
                                 skip=(runner.program_name(),))
        want_reg = read_optional(os.path.join(folder, "expected.reg"))
        if want_reg is not None:
            try:
                expected = brax_subtree(parse_reg(ph.bytes(want_reg)))
            except RegParseError as e:
                problems.append("expected.reg: %s" % e)
                expected = None
            try:
                actual = brax_subtree(parse_reg(after)) if after else {}
            except (RegParseError, UnicodeDecodeError) as e:
                problems.append("registry afterwards cannot be read: %s" % e)
                actual = None
            if expected is not None and actual is not None:
                diff = compare_registries(expected, actual)
                if diff:
                    problems.append("registry afterwards differs:")
                    problems += ["    " + d for d in diff]
        want_restored = read_optional(os.path.join(folder, "expected-restored.reg"))
        if want_restored is not None:
            backups = sorted(f for f in list_files(data_dir)
                             if fnmatch.fnmatch(os.path.basename(f), BACKUP_PATTERN))
            if not backups:
                problems.append("no registry backup to restore from")
            else:
                paths = [os.path.join(data_dir, *f.split("/")) for f in backups]
                try:
                    restored = brax_subtree(parse_reg(runner.restore(scratch, after, paths)))
                    diff = compare_registries(brax_subtree(parse_reg(ph.bytes(want_restored))),
                                              restored)
                except (RegParseError, UnicodeDecodeError) as e:
                    diff = ["cannot read: %s" % e]
                if diff:
                    problems.append("registry restored from the backups differs:")
                    problems += ["    " + d for d in diff]
        if problems and stderr:
            problems.append("standard error was:")
            problems += ["    " + l for l in stderr.decode(errors="replace").splitlines()]
        return problems
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True, help="the built program")
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument("--native", action="store_true", help="run the Linux build")
    mode.add_argument("--wine", metavar="WRAPPER", help="run the Windows build with this wrapper")
    parser.add_argument("--scenarios", default=os.path.dirname(os.path.abspath(__file__)),
                        help="the folder of scenario folders")
    parser.add_argument("--only", metavar="NAME", action="append",
                        help="run only this scenario (may be repeated)")
    parser.add_argument("--preview-check", action="store_true",
                        help="run a preview before each scenario and compare (see above)")
    parser.add_argument("--record", action="store_true",
                        help="write what the run did as the expectations of the scenarios "
                             "named with --only (review them before keeping them)")
    opts = parser.parse_args()

    if not os.path.exists(opts.exe):
        print("no program at %s" % opts.exe)
        return 2
    runner = WineRunner(opts.exe, opts.wine) if opts.wine else NativeRunner(opts.exe)
    folders = sorted(
        os.path.join(opts.scenarios, d) for d in os.listdir(opts.scenarios)
        if os.path.isfile(os.path.join(opts.scenarios, d, "registry.reg")))
    if opts.only:
        folders = [f for f in folders if os.path.basename(f) in opts.only]
        missing = set(opts.only) - {os.path.basename(f) for f in folders}
        if missing:
            print("no such scenario: %s" % ", ".join(sorted(missing)))
            return 2
    if opts.record and not opts.only:
        print("--record needs --only")
        return 2
    runner.prepare()
    passed = failed = 0
    for folder in folders:
        name = os.path.basename(folder)
        try:
            problems = run_scenario(runner, folder, opts.record, opts.preview_check)
        except (RegParseError, RuntimeError, subprocess.TimeoutExpired, OSError) as e:
            problems = ["could not run: %s" % e]
        if problems:
            failed += 1
            print("FAIL %s (%s)" % (name, runner.name))
            for p in problems:
                print("    " + p)
        else:
            passed += 1
            print("ok   %s" % name)
        sys.stdout.flush()
    print("%d passed, %d failed (%s)" % (passed, failed, runner.name))
    return 1 if failed or not folders else 0


if __name__ == "__main__":
    sys.exit(main())
