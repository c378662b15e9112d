#!/usr/bin/env python3
"""Writes a program's manual page (section 1, gzip-compressed) from its --help.

    manpage.py PROGRAM NAME SUMMARY DATE VERSION OUT.1.gz [SEE_ALSO,...]

The help text has one layout in every program of the project:
  - usage lines first ("usage: NAME ARGS", further "       NAME ARGS" lines,
    a deeper indented line continues the one above), then a blank line;
  - description paragraphs, separated by blank lines;
  - sections, each a line "Title:" at the left margin followed by entries
    "  TERM   TEXT" (TERM and TEXT apart by two blanks or more; deeper
    indented lines continue TEXT; a TERM alone has its TEXT on the lines
    below).
DATE is dd.mm.yyyy (the release date). The page is written reproducibly: the
same help gives the same bytes.
"""
import gzip
import re
import subprocess
import sys


def roff(text):
    """Escapes text for a roff line: backslashes, leading dots and quotes,
    and the minus signs of options."""
    text = text.replace("\\", "\\e")
    text = re.sub(r"(?<![\w])-", r"\\-", text)
    text = re.sub(r"(?<=\\-)-", r"\\-", text)
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def parse(help_text, name):
    lines = help_text.rstrip("\n").split("\n")
    synopsis, i = [], 0
    while i < len(lines) and lines[i].strip():
        line = lines[i]
        if line.startswith("usage: "):
            line = line[len("usage: "):]
        stripped = line.strip()
        if stripped.startswith(name + " ") or stripped == name or not synopsis:
            synopsis.append(stripped)
        else:
            synopsis[-1] += " " + stripped
        i += 1
    description, sections = [], []
    paragraph = []
    while i < len(lines):
        line = lines[i]
        i += 1
        if re.match(r"^[A-Z][A-Za-z ]*:$", line):
            sections.append((line[:-1], []))
            continue
        if not sections:
            if line.strip():
                paragraph.append(line.strip())
            elif paragraph:
                description.append(" ".join(paragraph))
                paragraph = []
            continue
        entries = sections[-1][1]
        if not line.strip():
            continue
        m = re.match(r"^  (\S(?:.*?\S)?)(?:\s{2,}(\S.*))?$", line)
        if m and not line.startswith("    "):
            entries.append([m.group(1), m.group(2) or ""])
        elif entries:
            entries[-1][1] = (entries[-1][1] + " " + line.strip()).strip()
    if paragraph:
        description.append(" ".join(paragraph))
    return synopsis, description, sections


def page(name, summary, date, version, synopsis, description, sections, see_also):
    day, month, year = date.split(".")
    out = ['.TH %s 1 "%s-%s-%s" "Cadenza %s" "Cadenza Manual"' % (name.upper(), year, month, day, version),
           ".SH NAME", "%s \\- %s" % (roff(name), roff(summary)), ".SH SYNOPSIS"]
    for k, line in enumerate(synopsis):
        if k:
            out.append(".br")
        rest = line[len(name):].strip() if line.startswith(name) else line
        out.append("\\fB%s\\fR %s" % (roff(name), roff(rest)))
    out.append(".SH DESCRIPTION")
    for k, text in enumerate(description):
        if k:
            out.append(".PP")
        out.append(roff(text))
    for title, entries in sections:
        out.append(".SH " + roff(title.upper()))
        for term, text in entries:
            out += [".TP", "\\fB%s\\fR" % roff(term), roff(text)]
    if see_also:
        out += [".SH SEE ALSO", ", ".join("\\fB%s\\fR(1)" % roff(s) for s in see_also)]
    return "\n".join(out) + "\n"


def main():
    program, name, summary, date, version, target = sys.argv[1:7]
    see_also = [s for s in (sys.argv[7] if len(sys.argv) > 7 else "").split(",") if s]
    help_text = subprocess.run([program, "--help"], check=True, capture_output=True, text=True).stdout
    shown = subprocess.run([program, "--version"], check=True, capture_output=True, text=True).stdout.strip()
    if shown != "%s %s" % (name, version):
        sys.exit("manpage.py: %s --version says '%s', not '%s %s'" % (program, shown, name, version))
    text = page(name, summary, date, version, *parse(help_text, name), see_also)
    with open(target, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", compresslevel=9, fileobj=raw, mtime=0) as z:
            z.write(text.encode("utf-8"))


if __name__ == "__main__":
    main()
