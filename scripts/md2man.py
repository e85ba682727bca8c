#!/usr/bin/env python3
"""Turns a manual page written in the small markdown of docs/man/*.md into roff.

Usage: md2man.py PAGE.md OUT.1 VERSION

The first line is '# name(section) -- summary'; '## HEADING' starts a section; '- term:' with
indented lines under it is a tagged paragraph; lines indented by four blanks are an example
block; `code` is bold and *text* italic; other lines are running text.
"""
import re
import sys


def inline(text):
    text = text.replace("\\", "\\e")
    text = re.sub(r"`([^`]*)`", r"\\fB\1\\fR", text)
    text = re.sub(r"\*([^*]+)\*", r"\\fI\1\\fR", text)
    return text


def line_start(text):
    # A roff line must not start with a control character.
    return "\\&" + text if text[:1] in (".", "'") else text


def convert(source, version):
    lines = source.splitlines()
    match = re.match(r"# (\S+)\((\d)\) -- (.*)", lines[0])
    if not match:
        raise SystemExit("first line must be '# name(section) -- summary'")
    name, section, summary = match.groups()
    out = [f'.TH {name.upper()} {section} "" "QRXInterface {version}" "QRXInterface"',
           ".SH NAME", f"{name} \\- {inline(summary)}"]
    in_example = False
    for raw in lines[1:]:
        if raw.startswith("    ") and not raw.startswith("  - "):
            if not in_example:
                out += [".PP", ".nf", ".RS 4"]
                in_example = True
            out.append(line_start(raw[4:].replace("\\", "\\e")))
            continue
        if in_example:
            out += [".RE", ".fi"]
            in_example = False
        line = raw.rstrip()
        if not line:
            continue
        if line.startswith("## "):
            out.append(".SH " + line[3:])
        elif line.startswith("- "):
            out += [".TP", line_start(inline(line[2:].rstrip(":")))]
        elif line.startswith("  "):
            out.append(line_start(inline(line.strip())))
        else:
            if out[-1].startswith(".SH") or out[-1].startswith(".fi"):
                out.append(".PP")
            out.append(line_start(inline(line)))
    if in_example:
        out += [".RE", ".fi"]
    return "\n".join(out) + "\n"


def main():
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as page:
        roff = convert(page.read(), sys.argv[3])
    with open(sys.argv[2], "w", encoding="utf-8") as out:
        out.write(roff)


if __name__ == "__main__":
    main()
