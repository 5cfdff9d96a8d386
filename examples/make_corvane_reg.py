#!/usr/bin/env python3
"""Writes examples/Corvane.reg: a realistic registry of the Corvane host for the
demo, as the registry editor exports it (version 5.00, UTF-16LE with a byte-order
mark, CRLF line ends). The content is fixed: the same file on every run.

Usage: python3 examples/make_corvane_reg.py [output]
"""

import os
import random
import struct
import sys

ROOT = "HKEY_CURRENT_USER\\Software\\Brax\\Corvane"


# ---- registry export text ------------------------------------------------------


def quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def hex_lines(prefix, data):
    """hex data wrapped the way the registry editor wraps it (77 columns)."""
    parts = ["%02x" % b for b in data]
    lines = []
    line = prefix
    for i, p in enumerate(parts):
        piece = p + ("," if i + 1 < len(parts) else "")
        if len(line) + len(piece) > 76 and line.strip():
            lines.append(line + "\\")
            line = "  "
        line += piece
    lines.append(line)
    return "\r\n".join(lines)


def value_line(name, value):
    head = "@" if name == "" else quote(name)
    if isinstance(value, int):
        return "%s=dword:%08x" % (head, value & 0xFFFFFFFF)
    if isinstance(value, bytes):
        return hex_lines(head + "=hex:", value)
    if isinstance(value, tuple):  # (type, bytes)
        return hex_lines(head + "=hex(%x):" % value[0], value[1])
    if any(ord(c) < 0x20 for c in value):
        # A text with control characters, in the form every editor reads alike.
        return hex_lines(head + "=hex(1):", (value + "\0").encode("utf-16-le"))
    return head + "=" + quote(value)


def write_reg(path, keys):
    out = ["Windows Registry Editor Version 5.00", ""]
    for key, values in keys:
        out.append("[%s]" % key)
        for name, value in values:
            out.append(value_line(name, value))
        out.append("")
    text = "\r\n".join(out) + "\r\n"
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))


# ---- stored text forms of the host ---------------------------------------------


def profile_data(data, quoted_allowed=True):
    """A byte block in the host's stored text form: quoted when shorter, else hex."""
    cost = 0
    for b in data:
        if b in (0x5C, 0x00, 0x0A, 0x0D):
            cost += 1
        elif b < 0x20:
            cost += 2
    if quoted_allowed and cost + 1 < len(data):
        out = ["'"]
        for b in data:
            if b == 0x5C:
                out.append("\\\\")
            elif b == 0:
                out.append("\\z")
            elif b == 0x0A:
                out.append("\\n")
            elif b == 0x0D:
                out.append("\\r")
            elif b < 0x20:
                out.append("\\%02X" % b)
            else:
                out.append(chr(b))
        return "".join(out)
    return "".join("%02X" % b for b in data)


def joystick_record():
    """The old 624-byte joystick record: 6 axes, 32 buttons, 4 hats."""
    out = b""
    axes = [(0, 127, 64, 0, 1, 0, 0, 0), (1, 127, 64, 7, 0, 1, 0, 1),
            (2, 100, -1, 0, 0, 0, 0, 0), (0, -1, -1, 0, 0, 0, 0, 0),
            (3, 70000, -40000, 12, 0, 0, 5, 0), (0, -1, -1, 0, 0, 0, 0, 0)]
    for a in axes:
        out += struct.pack("<8i", *a)
    for n in range(32):
        out += struct.pack("<3i", (n % 5), (n * 3 if n < 12 else -1), n % 2)
    for n in range(4):
        out += struct.pack("<3i", n, (-1 if n else 90), 0)
    assert len(out) == 624
    return out


# ---- the host's settings groups --------------------------------------------------


def settings_groups():
    keys = []
    keys.append((ROOT, [("Version", "2.4.1"), ("InstallDate", 0x5E0B7C00)]))
    keys.append((ROOT + "\\Audio", [
        ("Driver", "ASIO"),
        ("Device", "Focusrite USB ASIO"),
        ("SampleRate", 48000),
        ("BufferSize", 256),
        ("InputChannels", "1,2"),
        ("OutputChannels", "1,2,3,4"),
        ("LatencyCompensation", 1),
    ]))
    keys.append((ROOT + "\\Window", [
        ("Left", 120), ("Top", 80), ("Width", 1280), ("Height", 800),
        ("Maximized", 0),
        ("Placement", bytes([0x2C, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                              0xFF, 0xFF, 0xFF, 0xFF, 0x78, 0, 0, 0, 0x50, 0, 0, 0])),
    ]))
    keys.append((ROOT + "\\Recent", [
        ("File0", "D:\\Music\\Sets\\Friday Gig.cvs"),
        ("File1", "D:\\Music\\Sets\\Rehearsal.cvs"),
        ("File2", "C:\\Users\\Public\\Documents\\Corvane\\Demo.cvs"),
        ("Count", 3),
    ]))
    keys.append((ROOT + "\\Settings", [
        ("Language", "en"),
        ("Skin", "Graphite"),
        ("ShowSplash", 0),
        ("AutoSave", 1),
        ("Notes", "Front of house rig\nSpare laptop: profile B"),
        ("Profile", "Rehearsal"),
        ("bank0", "Studio"),
        ("bank1", "Friday Gig"),
        ("bank2", "Church"),
        ("MidiIn", "USB MIDI Interface"),
        ("MidiOut", "Microsoft GS Wavetable Synth"),
        ("MidiThru", 1),
        ("MidiRemote", 3),
        ("MidiRemoteChn", 5),
        ("MasterLevel", "0.8"),
        # Hex form: the 8-bit text of bytes above 0x7F depends on the code page,
        # the hex form reads the same everywhere.
        ("Joysticks", profile_data(joystick_record(), quoted_allowed=False)),
        ("TempoTap", -1),
    ]))
    keys.append((ROOT + "\\Load", [
        ("VSTPluginsPath", "C:\\Program Files\\VSTPlugins"),
        ("Bank", 0),
        ("Program", 2),
        ("AutoLoad", 1),
    ]))
    programs = ["Piano & Strings", "Organ Split", "Pad Layer", "Lead Synth", "Drums",
                "Ambient", "Brass Stack", "Click Track"]
    for n, name in enumerate(programs):
        keys.append((ROOT + "\\Program %d" % n, [
            ("Name", name),
            ("Plugin0", "C:\\Program Files\\VSTPlugins\\Instruments\\Synth%02d.dll" % n),
            ("Preset0", str(n * 3)),
            ("Volume", "%.2f" % (0.5 + n / 20)),
            ("Transpose", (n % 3) - 1),
            ("MidiChannel", n + 1),
        ]))
    keys.append((ROOT + "\\HostCanDo sendVstEvents", [("Answer", 1), ("Asked", 14)]))
    keys.append((ROOT + "\\HostCanDo receiveVstMidiEvent", [("Answer", 1), ("Asked", 14)]))
    keys.append((ROOT + "\\HostCanDo offline", [("Answer", -1), ("Asked", 2)]))
    keys.append((ROOT + "\\HostCanDo sizeWindow", [("Answer", 0)]))
    keys.append((ROOT + "\\Scripting", [
        ("Startup", (2, "%SystemDrive%\\Corvane\\startup.txt\0".encode("utf-16-le"))),
        ("Multi", (7, "first\0second\0\0".encode("utf-16-le"))),
    ]))
    return keys


# ---- the plug-in menu -------------------------------------------------------------


def escape_name(text):
    return (text.replace("'", "''").replace("\\", "'0").replace(":", "'1")
            .replace("=", "'2").replace("(", "'3").replace(")", "'4"))


VENDORS = ["Aurora Audio", "Bluefin DSP", "Cedar Sound", "Driftwood", "Ember Labs",
           "Fjord Instruments", "Granite Tone", "Harbor Bay"]
WORDS = ["Analog", "Vintage", "Crystal", "Deep", "Echo", "Fat", "Glass", "Hollow", "Iron",
         "Jade", "Kinetic", "Lunar", "Metal", "Noble", "Orbit", "Prism", "Quartz", "Rust",
         "Silk", "Tidal", "Ultra", "Velvet", "Warm", "Xeno", "Young", "Zen"]


def entry(rng, folder, name, kind, vendor):
    uid = rng.randrange(-2**31, 2**31)
    path = "C:\\Program Files\\VSTPlugins\\%s\\%s.dll" % (folder, name.replace(" ", ""))
    tail = "\\uid%d\\arch%d\\len%d\\lch%d" % (uid, rng.choice([1, 2]),
                                             rng.randrange(80000, 9000000),
                                             1300000000 + rng.randrange(300000000))
    if rng.random() < 0.6:
        tail += "\\ver" + escape_name("%d.%d.%d" % (rng.randrange(1, 6), rng.randrange(10),
                                                   rng.randrange(20)))
    if rng.random() < 0.5:
        tail += "\\vstver2400"
    tail += "\\vname" + escape_name(vendor)
    if rng.random() < 0.3:
        tail += "\\vemail" + escape_name("support@%s.example" % vendor.split()[0].lower())
    if rng.random() < 0.3:
        tail += "\\vurl" + escape_name("https://%s.example/" % vendor.split()[0].lower())
    if rng.random() < 0.05:
        tail += "\\ena0"
    return ("%d:%s" % (kind, escape_name(name)), path + ":" + tail)


def plugin_menu():
    rng = random.Random(4711)
    base = ROOT + "\\PlugIns"
    tree = [
        ("Instruments\\Synths", 0, 60),
        ("Instruments\\Samplers", 0, 25),
        ("Instruments\\Drums", 0, 20),
        ("Effects\\Reverb", 1, 30),
        ("Effects\\Delay", 1, 30),
        ("Effects\\Dynamics", 1, 35),
        ("Effects\\EQ", 1, 25),
        ("Effects\\Modulation", 1, 30),
        ("Effects\\Modulation\\Chorus", 1, 12),
        ("MIDI Tools", 2, 15),
        ("Favourites", 0, 10),
    ]
    keys = [(base, [("", "PlugIns")])]
    listed = set()
    for folder, kind, count in tree:
        # Parent menus are keys of their own, as the registry editor lists them.
        parts = folder.split("\\")
        for n in range(1, len(parts)):
            parent = "\\".join(parts[:n])
            if parent not in listed:
                listed.add(parent)
                keys.append((base + "\\" + parent, []))
        listed.add(folder)
        values = []
        used = set()
        for n in range(count):
            name = "%s %s" % (rng.choice(WORDS), rng.choice(["Synth", "Verb", "Comp", "Delay",
                                                             "Pad", "Kit", "EQ", "Phaser",
                                                             "Arp", "Gate", "Filter"]))
            if name.lower() in used:
                name += " %d" % n
            used.add(name.lower())
            record, data = entry(rng, folder.split("\\")[0], name, kind, rng.choice(VENDORS))
            values.append((record, data))
        keys.append((base + "\\" + folder, values))
    # Entries that sit directly in the top menu, a duplicate name in another
    # case, an old-style record with a GUID, one with a decimal identifier and
    # a container of kind 3 whose children are its shell's plug-ins.
    top = [("0:Tuner", "C:\\Program Files\\VSTPlugins\\Tuner.dll:\\uid1416916084\\arch1"),
           ("(2)0:tuner", "C:\\Program Files\\VSTPlugins\\Old\\tuner.dll:\\arch1\\ena0"),
           ("Spectrum", "C:\\Program Files\\VSTPlugins\\Spectrum.dll:2,"
                        "{A7B2C3D4-1111-2222-3333-444455556666}"),
           ("Meter", "C:\\Program Files\\VSTPlugins\\Meter.dll:0,1296387154"),
           ("0:Notes '3beta'4", "C:\\Program Files\\VSTPlugins\\Notes.dll:\\ver1'10.9"
                                "\\vnameGranite Tone")]
    keys[0][1].extend(top)
    shell = base + "\\3:Shell Bundle=ShellBundle.dll"
    keys.append((shell, [("0:Shell Synth %d" % n,
                          "C:\\Program Files\\VSTPlugins\\ShellBundle.dll:\\uid%d\\arch2"
                          % (1000 + n)) for n in range(1, 7)]))
    keys.append((base + "\\Empty Folder", []))
    return keys


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "Corvane.reg")
    keys = settings_groups() + plugin_menu()
    write_reg(out, keys)
    entries = sum(len(v) for k, v in keys if "\\PlugIns" in k)
    print("wrote %s: %d keys, %d plug-in menu records" % (out, len(keys), entries))


if __name__ == "__main__":
    main()
