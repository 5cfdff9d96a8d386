#!/usr/bin/env python3
"""Writes a synthetic registry export of the Corvane host at a size factor k, for
the whole-conversion benchmark (bench/run.sh).

At size factor k the registry holds
  - 100*k settings groups of 100 values each (texts, texts with line feeds,
    DWORDs and a few binary values),
  - 128 program sections of 50 keys each,
  - 500*k bank names, host-capability groups, MIDI and level keys and a joystick
    record in the settings key,
  - a plug-in menu of 5000*k entries in 100*k sub-menus, with kind-3 containers
    and names that repeat in other cases.
The output is deterministic for given arguments (UTF-16LE with byte-order mark,
CRLF line ends, as the registry editor exports it).

Usage: generate_registry.py K OUTPUT DATA_PATH
  K          size factor, a number or a fraction such as 1/4; 0 writes a
             registry with nothing but the data folder
  DATA_PATH  the data folder recorded in the registry, as the program sees it
             (a POSIX path natively, Z:\\... under Wine); empty for none
"""

import fractions
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples"))
import make_corvane_reg as reg  # noqa: E402  (shared export and record helpers)

ROOT = reg.ROOT
KINDS = ["Synth", "Verb", "Comp", "Delay", "Pad", "Kit", "EQ", "Phaser", "Arp", "Gate",
         "Filter"]


def settings_groups(rng, count):
    keys = []
    for g in range(count):
        values = []
        for v in range(100):
            r = v % 10
            name = "Value%02d" % v
            if r in (0, 1, 2):
                values.append((name, "%s %s %d" % (rng.choice(reg.WORDS), rng.choice(KINDS),
                                                   rng.randrange(100000))))
            elif r == 3:
                values.append((name, "line one of %d\nline two %s\nend" %
                               (g, rng.choice(reg.WORDS))))
            elif r in (4, 5, 6, 7):
                values.append((name, rng.randrange(0, 2**32)))
            elif r == 8:
                values.append((name, "C:\\Program Files\\VSTPlugins\\%s\\%d.dll" %
                               (rng.choice(reg.VENDORS), rng.randrange(1000))))
            elif v == 99:
                values.append((name, bytes(rng.randrange(256) for _ in range(24))))
            else:
                values.append((name, "%.4f" % rng.random()))
        keys.append((ROOT + "\\Group %04d" % g, values))
    return keys


def program_sections(rng):
    keys = []
    for p in range(128):
        values = [("Name", "Program %d %s" % (p, rng.choice(reg.WORDS)))]
        for n in range(49):
            if n % 3 == 0:
                values.append(("Param%02d" % n, "%.5f" % rng.random()))
            elif n % 3 == 1:
                values.append(("Plugin%02d" % n, "C:\\Program Files\\VSTPlugins\\%s.dll" %
                               rng.choice(reg.WORDS)))
            else:
                values.append(("Slot%02d" % n, rng.randrange(0, 128)))
        keys.append((ROOT + "\\Program %d" % p, values))
    return keys


def settings_key(rng, banks, data_path):
    values = [("Language", "en"), ("Skin", "Graphite"), ("AutoSave", 1),
              ("Notes", "Synthetic benchmark rig\nsecond line\nthird line")]
    if data_path:
        values.append(("DataPath", data_path))
    for n in range(banks):
        values.append(("bank%d" % n, "Bank %d %s" % (n, rng.choice(reg.WORDS))))
    values += [("MidiIn", "USB MIDI Interface"), ("MidiOut", "Microsoft GS Wavetable Synth"),
               ("MidiThru", 1), ("MidiRemote", 3), ("MidiRemoteChn", 5),
               ("MasterLevel", "0.8"), ("InputLevel", "0.65"), ("OutputLevel", "1.0"),
               ("Joysticks", reg.profile_data(reg.joystick_record(), quoted_allowed=False)),
               ("TempoTap", -1)]
    keys = [(ROOT, [("Version", "2.4.1"), ("InstallDate", 0x5E0B7C00)]),
            (ROOT + "\\Settings", values)]
    for cap in ["sendVstEvents", "receiveVstMidiEvent", "offline", "sizeWindow",
                "sendVstMidiEvent", "sendVstTimeInfo", "supplyIdle", "openFileSelector"]:
        keys.append((ROOT + "\\HostCanDo " + cap,
                     [("Answer", rng.choice([-1, 0, 1])), ("Asked", rng.randrange(1, 50))]))
    return keys


def plugin_menu(rng, entries, menus):
    base = ROOT + "\\PlugIns"
    keys = [(base, [("", "PlugIns"),
                    ("0:Tuner", "C:\\Program Files\\VSTPlugins\\Tuner.dll:\\uid1416916084\\arch1"),
                    ("(2)0:tuner", "C:\\Program Files\\VSTPlugins\\Old\\tuner.dll:\\arch1\\ena0")])]
    per_menu = [entries // menus + (1 if m < entries % menus else 0) for m in range(menus)]
    for m in range(menus):
        top = "Category %02d" % (m % 20)
        folder = "%s\\Menu %04d" % (top, m)
        if m < 20:
            keys.append((base + "\\" + top, []))
        values = []
        count = per_menu[m]
        if m % 10 == 5:  # a container of kind 3 holds part of this menu's share
            shell = count // 4
            count -= shell
            keys.append((base + "\\" + folder + "\\3:Shell %d=Shell%d.dll" % (m, m),
                         [("0:Shell Synth %d" % n,
                           "C:\\Program Files\\VSTPlugins\\Shell%d.dll:\\uid%d\\arch2"
                           % (m, 1000 + n)) for n in range(shell)]))
        used = set()
        for n in range(count):
            name = "%s %s" % (rng.choice(reg.WORDS), rng.choice(KINDS))
            if name.lower() in used:
                if n % 7 == 0:
                    name = name.upper()  # a duplicate in another case
                else:
                    name += " %d" % n
            used.add(name.lower())
            values.append(reg.entry(rng, top, name, m % 3, rng.choice(reg.VENDORS)))
        keys.append((base + "\\" + folder, values))
    return keys


def generate(k, data_path):
    if k == 0:  # an empty registry: only the data folder, for the start-up cost
        return settings_key(random.Random(1), 0, data_path)[1:2]
    rng = random.Random(20261208)
    scaled = lambda n: max(1, int(n * k))  # noqa: E731
    return (settings_key(rng, scaled(500), data_path) + settings_groups(rng, scaled(100)) +
            program_sections(rng) + plugin_menu(rng, scaled(5000), scaled(100)))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    k = fractions.Fraction(sys.argv[1])
    keys = generate(k, sys.argv[3])
    reg.write_reg(sys.argv[2], keys)
    values = sum(len(v) for _, v in keys)
    print("k=%s: %d keys, %d values, %d bytes" % (sys.argv[1], len(keys), values,
                                               os.path.getsize(sys.argv[2])))


if __name__ == "__main__":
    main()
