#!/usr/bin/env python3
"""Writes the man page of corvane-migrate (roff, section 1) to standard output,
made from README.md: its "Running it" section (usage, flags, data folder and the
rest) and its "Exit codes" section, so that the two never disagree.

Usage: make-manpage.py README.md VERSION
"""

import re
import sys


def section(markdown, title):
    """The body of the "## <title>" section, up to the next "## " heading."""
    found = re.search(r"^## " + re.escape(title) + r"\n(.*?)(?=^## |\Z)", markdown,
                      re.S | re.M)
    if not found:
        sys.exit("make-manpage.py: README.md has no section \"%s\"" % title)
    return found.group(1)


def escape(text):
    """Roff text: backslashes and leading dots or quotes made literal."""
    text = text.replace("\\", "\\e")
    return re.sub(r"^([.'])", r"\\&\1", text, flags=re.M)


def inline(text):
    """Markdown emphasis and code as bold, in roff."""
    text = escape(text)
    text = re.sub(r"\*\*(.+?)\*\*", r"\\fB\1\\fR", text)
    return re.sub(r"`([^`]+)`", r"\\fB\1\\fR", text)


def table_rows(lines):
    rows = []
    for line in lines:
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if all(re.fullmatch(r"-+", c) for c in cells):
            continue
        rows.append(cells)
    return rows[1:]  # the header row names the columns only


def to_roff(body):
    """Paragraphs, fenced code and tables of one README section."""
    out = []
    blocks = re.split(r"\n\s*\n", body.strip("\n"))
    in_code = False
    code = []
    for block in blocks:
        lines = block.split("\n")
        if in_code or lines[0].startswith("```"):
            for line in lines:
                if line.startswith("```"):
                    if in_code:
                        out.append(".PP\n.nf\n" + escape("\n".join(code)) + "\n.fi")
                        code = []
                    in_code = not in_code
                elif in_code:
                    code.append(line)
            if in_code:
                code.append("")
            continue
        if lines[0].startswith("|"):
            for cells in table_rows(lines):
                out.append(".TP\n" + inline(cells[0]) + "\n" + inline(" ".join(cells[1:])))
            continue
        if lines[0].startswith("- "):
            for item in re.split(r"\n(?=- )", block):
                out.append(".IP \\(bu 2\n" + inline(" ".join(l.strip() for l in item[2:].split("\n"))))
            continue
        out.append(".PP\n" + inline(" ".join(l.strip() for l in lines)))
    return "\n".join(out)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    readme = open(sys.argv[1], encoding="utf-8").read()
    version = open(sys.argv[2], encoding="utf-8").readline().strip()
    running = section(readme, "Running it")
    usage = re.search(r"```\n(.*?)```", running, re.S).group(1)
    print('.TH CORVANE-MIGRATE 1 "" "corvane-migrate %s" "User Commands"' % version)
    print(".SH NAME\ncorvane-migrate \\- move the settings of the host Corvane from the "
          "registry into INI files")
    print(".SH SYNOPSIS\n.nf\n" + escape(usage.rstrip("\n")) + "\n.fi")
    print(".SH DESCRIPTION\n" + to_roff(running.replace("```\n" + usage + "```", "", 1)))
    print(".SH EXIT STATUS\n" + to_roff(section(readme, "Exit codes")))
    print(".SH FILES\n" + to_roff(section(readme, "Where the registry comes from on Linux")))


if __name__ == "__main__":
    main()
