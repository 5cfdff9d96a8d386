#!/usr/bin/env python3
"""Seeded generator of hostile registries for the conservation check.

`generate(seed, wine)` gives one registry (a `Registry`): settings groups with
names and values that hold blanks at their ends, quotes, ";", "=", "[", "]",
line feeds, carriage returns, NULs and non-ASCII text; names that collide by
letter case or blanks; names of 259 to 300 characters; values of 16 KiB and
more; every value type; deep and empty sub-keys; the groups the
autocorrections rewrite; a plug-in menu; and files already in the data folder.
`fixed_registries()` gives the hand-made inputs that once lost values.

Registry texts hold %DATA_REG% where the data folder goes (backslashes
doubled) and %DATA_HEX% where its UTF-16 bytes go as hex. Under Wine
(`wine`), text stays within what the ANSI code page holds and names hold no
line break, which the registry editor would not import.

Run alone, it writes the registries of some seeds to a folder, for a look:
    generate_registries.py OUT_DIR [--seeds N] [--wine]
"""

import os
import random
import sys

APP = "Corvane"


class Registry:
    """One input: the registry text, the command line, what is in the data folder."""

    def __init__(self, name, app=APP, prefix="", keep=False):
        self.name = name
        self.app = app
        self.prefix = prefix
        self.keep = keep
        self.keys = []          # [(path below the application key, [(name, type, data)])]
        self.data_files = {}    # file name -> bytes, in the data folder before the run
        self.default_folder = False  # no "DataPath" recorded: the prompt's default

    def args(self):
        out = []
        if self.app != APP:
            out.append("/app=" + self.app)
        if self.prefix:
            out.append("/" + self.prefix.lower())
        if self.keep:
            out.append("/keep")
        return out

    def key(self, path):
        for k in self.keys:
            if k[0].lower() == path.lower():
                return k[1]
        values = []
        self.keys.append((path, values))
        return values

    def add(self, path, name, vtype, data):
        values = self.key(path)
        if any(n.lower() == name.lower() for n, _, _ in values):
            return  # a registry key holds one value per name, whatever its case
        values.append((name, vtype, data))

    def text(self):
        """The registry export text (version 5)."""
        root = "HKEY_CURRENT_USER\\Software\\Brax\\" + self.app
        out = ["Windows Registry Editor Version 5.00", "", "[%s]" % root, ""]
        for path, values in self.keys:
            out.append("[%s]" % (root + ("\\" + path if path else "")))
            for name, vtype, data in values:
                out.append(value_line(name, vtype, data))
            out.append("")
        return "\n".join(out) + "\n"


def quote(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def hex_bytes(data):
    return ",".join("%02x" % b for b in data)


def value_line(name, vtype, data):
    head = "@" if name == "" else quote(name).replace("\n", "\\n").replace("\r", "\\r")
    if vtype in (1, 2) and isinstance(data, str):
        if vtype == 1 and "%DATA_REG%" in data:
            return "%s=%s" % (head, quote(data).replace("%DATA_REG%".replace("\\", "\\\\"),
                                                        "%DATA_REG%"))
        if vtype == 2 and data == "%DATA%":
            return "%s=hex(2):%%DATA_HEX%%,00,00" % head
        if vtype == 1 and not any(ord(c) < 32 for c in data):
            return "%s=%s" % (head, quote(data))
        return "%s=hex(%d):%s" % (head, vtype, hex_bytes((data + "\0").encode("utf-16-le")))
    if vtype == 4 and isinstance(data, int):
        return "%s=dword:%08x" % (head, data & 0xFFFFFFFF)
    raw = data if isinstance(data, bytes) else data.encode("utf-16-le")
    if vtype == 3:
        return "%s=hex:%s" % (head, hex_bytes(raw))
    return "%s=hex(%x):%s" % (head, vtype, hex_bytes(raw))


# ---- pieces ------------------------------------------------------------------

WORDS = ["Audio", "Device", "Piano", "Live", "Mixer", "Window", "Tempo", "Latency", "Buffer",
         "Input", "Output", "Scene", "Layer", "Preset", "Color"]
NON_ASCII = "äöüßéèçñ€Ωжд中文😀"
NON_ASCII_WINE = "äöüßéèçñ"


def hostile_text(rnd, wine, allow_breaks=True):
    """A text built from words and the characters that trouble INI files."""
    parts = []
    for _ in range(rnd.randint(1, 4)):
        choice = rnd.random()
        if choice < 0.35:
            parts.append(rnd.choice(WORDS))
        elif choice < 0.55:
            parts.append(rnd.choice([" ", "  ", "\t", '"', "'", ";", "=", "[", "]", "|", "%",
                                     "\\", ":", "#", "%TEMP%"]))
        elif choice < 0.65 and allow_breaks:
            parts.append(rnd.choice(["\n", "\r", "\r\n"]))
        elif choice < 0.8:
            parts.append("".join(rnd.choice(NON_ASCII_WINE if wine else NON_ASCII)
                                 for _ in range(rnd.randint(1, 3))))
        else:
            parts.append(str(rnd.randint(-5, 99999)))
    text = "".join(parts)
    edge = rnd.random()
    if edge < 0.15:
        text = "  " + text + " "
    elif edge < 0.25:
        text = '"' + text + '"'
    elif edge < 0.3:
        text = ";" + text
    return text


def value_name(rnd, wine):
    choice = rnd.random()
    if choice < 0.45:
        return rnd.choice(WORDS) + str(rnd.randint(0, 9))
    if choice < 0.55:
        return "N" * rnd.randint(259, 300)
    if choice < 0.6:
        return ""  # the key's default value
    name = hostile_text(rnd, wine, allow_breaks=not wine)
    return name.replace("\0", "")


def string_data(rnd, wine):
    choice = rnd.random()
    if choice < 0.07:
        return rnd.choice("abcxyz") * rnd.randint(16384, 20000)
    if choice < 0.1:
        return hostile_text(rnd, wine) + "\0" + rnd.choice(WORDS)
    if choice < 0.15:
        return ""
    return hostile_text(rnd, wine)


def random_value(rnd, wine):
    """(type, data) of any type; strings and numbers most often."""
    choice = rnd.random()
    if choice < 0.45:
        return 1, string_data(rnd, wine)
    if choice < 0.55:
        return 2, string_data(rnd, wine)
    if choice < 0.75:
        return 4, rnd.choice([0, 1, -1, 0x7FFFFFFF, -0x80000000, rnd.randint(-99999, 99999)])
    if choice < 0.8:
        return 4, bytes(rnd.randint(0, 255) for _ in range(rnd.choice([0, 2, 3, 8])))
    if choice < 0.85:
        return 3, bytes(rnd.randint(0, 255) for _ in range(rnd.randint(0, 40)))
    if choice < 0.9:
        return 7, "\0".join(rnd.choice(WORDS) for _ in range(3)) + "\0\0"
    if choice < 0.95:
        return 11, bytes(rnd.randint(0, 255) for _ in range(8))
    return rnd.choice([0, 5, 6, 8, 9, 10]), bytes(rnd.randint(0, 255)
                                                 for _ in range(rnd.randint(0, 6)))


def group_name(rnd, reg, wine):
    choice = rnd.random()
    p = reg.prefix if rnd.random() < 0.7 else ""
    if choice < 0.3:
        return rnd.choice(WORDS) + rnd.choice(["", "s", " 2", "Group"])
    if choice < 0.4:
        return p + "Program %d" % rnd.choice([0, 1, 5, 127, 128, 200])
    if choice < 0.45:
        return p + "Load"
    if choice < 0.6:
        return rnd.choice(["HostCanDo ", "HOSTCANDO ", "hostcando ", "HostCanDo  "]) + \
            rnd.choice(["sendVstEvents", "x", "Ä", " receive"])
    if choice < 0.7:
        return rnd.choice(["Misc", "misc", "Misc ", " Misc"])
    name = hostile_text(rnd, wine, allow_breaks=False).replace("\\", "/").replace("]", ")")
    return name[:200] or "Empty"


def settings_values(rnd, reg, wine):
    """The values the autocorrections rewrite, in forms old and new."""
    s = "Settings"
    if rnd.random() < 0.5:
        reg.add(s, "MidiIn", 1, rnd.choice(["", "Port 1", "  USB  "]))
    if rnd.random() < 0.3:
        reg.add(s, "MidiIn0", 1, "Old port")
    if rnd.random() < 0.4:
        reg.add(s, "MidiOut", 1, rnd.choice(["Synth", hostile_text(rnd, wine, False)]))
    if rnd.random() < 0.4:
        thru = rnd.choice([-1, 0, 1, 3])
        reg.add(s, "MidiThru", *rnd.choice([(4, thru), (1, str(thru))]))
    if rnd.random() < 0.4:
        reg.add(s, "MidiRemote", 4, rnd.choice([-1, 0, 3]))
        reg.add(s, "MidiRemoteChn", 4, 5)
    if rnd.random() < 0.3:
        reg.add(s, "Joysticks", 1, joystick_block(rnd, rnd.choice([624, 624, 288, 700])))
    if rnd.random() < 0.4:
        reg.add(s, "MasterLevel", 1, rnd.choice(["0.5", "0.8", "-1", "loud", "2"]))
    if rnd.random() < 0.3:
        reg.add(s, "OutputLevel", 1, rnd.choice(["0.25", "1"]))
    if rnd.random() < 0.5:
        reg.add(s, "Profile", 1, rnd.choice(["beta", "Gamma", "", "  Live  "]))
    if rnd.random() < 0.3:
        bank = rnd.choice([-2, -1, 2, 20000])
        reg.add(s, "Bank", *rnd.choice([(4, bank), (1, str(bank))]))
    for n in range(rnd.randint(0, 3)):
        reg.add(s, rnd.choice(["Bank%d", "bank%d"]) % n, 1, rnd.choice(["Beta", "Alpha", ""]))
    if rnd.random() < 0.3:
        reg.add(reg.prefix + "Settings", "bank%d" % rnd.randint(0, 3), 1, "Beta")
    if rnd.random() < 0.3:
        reg.add("Load", "VSTPluginsPath", 1, rnd.choice(["", "C:\\VST"]))


def joystick_block(rnd, size):
    """A byte block as the host stores it: two upper-case hex digits a byte."""
    return "".join("%02X" % rnd.choice([0, 0, 1, 255, rnd.randint(0, 255)]) for _ in range(size))


def plugin_menu(rnd, reg, wine):
    root = "PlugIns"
    if rnd.random() < 0.7:
        reg.add(root, "", 1, "PlugIns")
    levels = [root]
    for _ in range(rnd.randint(0, 2)):
        levels.append(root + "\\" + rnd.choice(["Synths", "Effects", "(2)Synths", "Ä Menu"]))
    if rnd.random() < 0.2:
        levels.append(root + "\\3:Shell=Shell.dll")
    for _ in range(rnd.randint(1, 8)):
        level = rnd.choice(levels)
        name = rnd.choice(WORDS + ["Delay", "delay", "A'2B '3x'4", "Ä"])
        kind = rnd.choice("0012")
        path = "C:\\VST\\%s.dll" % rnd.choice(WORDS)
        choice = rnd.random()
        if choice < 0.4:
            path += rnd.choice([":\\uid%d" % rnd.randint(-99, 99999), ":\\arch1\\ena0",
                                ":\\uid{12345678-1234-1234-1234-123456789ABC}\\ver1'12",
                                ":\\len123\\lch-5\\flg3\\pcat2\\vnameBrand\\vurlx.org"])
        elif choice < 0.5:
            path = rnd.choice(["  " + path, "\\\\?\\" + path, path + ":x", "C:"])
        reg.add(level, "%s:%s" % (kind, name), 1, path)
        if rnd.random() < 0.1:
            reg.add(level, "%s:%s " % (kind, name), 1, path + "2")


def data_files(rnd, reg):
    """Files already in the data folder."""
    if rnd.random() < 0.2:
        reg.data_files[reg.app + ".ini"] = b"[Audio]\r\nOwn=1\r\n[Settings]\r\nKeep=yes\r\n"
    if rnd.random() < 0.15:
        reg.data_files["PlugIns.ini"] = b"[PlugIns]\r\n0:Own=C:\\Own.dll\r\n"
    if rnd.random() < 0.1:
        reg.data_files["hostCanDos.ini"] = b"[x]\r\nOld=1\r\n"
    if rnd.random() < 0.1:
        reg.data_files[reg.app + "-registry-backup.reg"] = \
            b"\xff\xfe" + "Windows Registry Editor Version 5.00\r\n".encode("utf-16-le")


def generate(seed, wine=False):
    rnd = random.Random(seed)
    reg = Registry("seed-%d" % seed, app=rnd.choice([APP] * 9 + ["Studio X"]),
                   prefix=rnd.choice(["", "", "Mirel", "Halbrek"]), keep=rnd.random() < 0.2)
    if rnd.random() < 0.1:
        reg.default_folder = True
    else:
        reg.add("Settings", "DataPath", 1, "%DATA_REG%")
    settings_values(rnd, reg, wine)
    for _ in range(rnd.randint(1, 7)):
        group = group_name(rnd, reg, wine)
        if rnd.random() < 0.1:
            group += "\\" + rnd.choice(["Child", "Child\\Deeper"])
        reg.key(group)  # an empty key stays empty
        for _ in range(rnd.randint(0, 6)):
            vtype, data = random_value(rnd, wine)
            reg.add(group, value_name(rnd, wine), vtype, data)
    if rnd.random() < 0.1:
        reg.add("", "AppLevel", 1, "value of the application key")
    if rnd.random() < 0.6:
        plugin_menu(rnd, reg, wine)
    data_files(rnd, reg)
    odd_tails(random.Random(seed + 1000003), reg, wine)
    return reg


def odd_tails(rnd, reg, wine):
    """Now and then, text values whose UTF-16 data ends in an odd byte after its
    NUL (drawn apart, so that the rest of a seed's registry stays as it was)."""
    if rnd.random() >= 0.25:
        return
    for n in range(rnd.randint(1, 3)):
        vtype = rnd.choice([1, 2, 7])
        text = hostile_text(rnd, wine) + ("\0" if vtype == 7 else "")
        reg.add("Tails", "Tail%d" % n, vtype,
                (text + "\0").encode("utf-16-le") + bytes([rnd.randint(0, 255)]))


# ---- fixed inputs ------------------------------------------------------------


def fixed_registries():
    """Registries that once lost values, one or more ways each."""
    out = []

    def new(name, **kw):
        reg = Registry(name, **kw)
        reg.add("Settings", "DataPath", 1, "%DATA_REG%")
        out.append(reg)
        return reg

    reg = Registry("expandable-data-path")
    reg.add("Settings", "DataPath", 2, "%DATA%")
    reg.add("Audio", "Device", 1, "Card")
    out.append(reg)

    reg = new("menu-record-with-line-break")
    reg.add("PlugIns", "0:LF path", 1, "C:\\VST\\a\nb.dll")
    reg.add("PlugIns", "0:Plain", 1, "C:\\VST\\plain.dll")
    reg.add("PlugIns\\Synths", "1:Sub", 1, "C:\\VST\\sub.dll")
    reg = new("menu-record-expandable")
    reg.add("PlugIns", "0:Exp", 2, "%ProgramFiles%\\VST\\e.dll")
    reg.add("PlugIns", "0:Plain", 1, "C:\\VST\\plain.dll")
    reg = new("menu-record-with-nul")
    reg.add("PlugIns", "0:Nul", 1, "C:\\VST\\n.dll\0tail")
    reg.add("PlugIns", "0:Plain", 1, "C:\\VST\\plain.dll")

    reg = new("menu-path-colons-and-blanks")
    reg.add("PlugIns", "0:Long", 1, "\\\\?\\C:\\VST\\Long.dll")
    reg.add("PlugIns", "0:Blank", 1, "  C:\\VST\\b.dll")

    reg = new("menu-names-differ-by-blanks")
    reg.add("PlugIns", "0:X", 1, "C:\\VST\\x1.dll")
    reg.add("PlugIns", "0:X ", 1, "C:\\VST\\x2.dll")

    reg = new("host-capabilities-differ-by-blanks")
    reg.add("HostCanDo x", "Answer", 1, "1")
    reg.add("HostCanDo  x", "Answer", 1, "2")
    reg.data_files[APP + ".ini"] = b"[HostCanDo x]\r\na=1\r\n[HOSTCANDO X]\r\nb=2\r\n"

    reg = new("blanks-and-quotes-in-values")
    for group in ("Audio", "Program 1", "HostCanDo y", "Load"):
        reg.add(group, "Name", 1, "  Piano  ")
        reg.add(group, "Title", 1, '"Live"')

    reg = new("names-starting-with-semicolon")
    for group in ("Audio", "Program 2", "HostCanDo z"):
        reg.add(group, ";Comment", 1, "x")
        reg.add(group, "Other", 1, "y")

    reg = new("carriage-return")
    reg.add("Misc", "CR", 1, "l1\rl2\r")
    reg.add("Misc", "Fine", 1, "ok")

    reg = new("existing-plugins-file")
    reg.add("PlugIns", "0:New", 1, "C:\\VST\\new.dll")
    reg.data_files["PlugIns.ini"] = b"[PlugIns]\r\n0:Own=C:\\VST\\own.dll\r\n"

    reg = new("profile-matches-bank-name")
    reg.add("Settings", "Bank0", 1, "Beta")
    reg.add("Settings", "Profile", 1, "beta")

    reg = new("text-too-long-for-profile-functions")
    reg.add("Misc", "Huge", 1, "h" * 32767)
    reg.add("Misc", "Small", 1, "s")

    reg = new("group-with-sub-key")
    reg.add("Nest", "Top", 1, "t")
    reg.add("Nest\\Child", "Inner", 1, "i")

    reg = new("odd-length-text")
    reg.add("Odd", "Five", 1, b"\x61\x00\x00\x00\x00")
    reg.add("Odd", "Path", 2, "%TMP%\0".encode("utf-16-le") + b"\x7f")
    reg.add("Odd", "List", 7, "a\0\0".encode("utf-16-le") + b"\xff")
    return out


def main():
    out_dir = sys.argv[1]
    seeds = int(sys.argv[sys.argv.index("--seeds") + 1]) if "--seeds" in sys.argv else 5
    wine = "--wine" in sys.argv
    os.makedirs(out_dir, exist_ok=True)
    for reg in fixed_registries() + [generate(s, wine) for s in range(seeds)]:
        with open(os.path.join(out_dir, reg.name + ".reg"), "w", encoding="utf-8") as f:
            f.write(reg.text())


if __name__ == "__main__":
    main()
