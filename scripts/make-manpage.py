#!/usr/bin/env python3
"""Writes the manual page orvantide(1) from what `orvantide --help` prints, so the two never
disagree.

    make-manpage.py <orvantide> <version> <output>

The help's first lines are the usage ("Uso: …" and its continuations) and a one-line summary;
after them come sections, each a line of its own ending in ":" (possibly with words in brackets
before it) followed by indented entries "  term   description", whose further lines are indented
deeper; the entries before the first heading are the options. A section whose heading holds words after the colon is a paragraph.
"""
import os
import re
import subprocess
import sys

# The help's headings and the page's section names.
SECTIONS = {
    "Opciones": "OPCIONES",
    "Órdenes": "ÓRDENES",
    "Estado de salida": "ESTADO DE SALIDA",
    "Archivos": "ARCHIVOS",
    "Entorno": "ENTORNO",
}


def roff(text: str) -> str:
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return re.sub(r"^([.'])", r"\\&\1", text)


def parse(help_text: str):
    lines = help_text.rstrip("\n").split("\n")
    usage = []
    while lines and (lines[0].startswith("Uso:") or (usage and lines[0].startswith(" "))):
        usage.append(re.sub(r"^(Uso:)?\s*", "", lines.pop(0)))
    summary = lines.pop(0).strip() if lines else ""
    # (heading, paragraph or None, [[term, description]]); the options come first, unheaded.
    sections = [("Opciones", None, [])]
    for line in lines:
        if not line.strip():
            continue
        if not line.startswith(" "):
            heading, _, rest = line.partition(":")
            note = re.search(r"\((.*)\)", heading)
            name = re.sub(r"\s*\(.*\)$", "", heading).strip()
            sections.append((name, rest.strip() or (note.group(1) if note else None), []))
            continue
        entries = sections[-1][2]
        depth = len(line) - len(line.lstrip())
        parts = re.split(r"\s{2,}", line.strip(), maxsplit=1)
        if entries and depth > 4:
            entries[-1][1] = (entries[-1][1] + " " + line.strip()).strip()
        else:
            entries.append(parts if len(parts) == 2 else [parts[0], ""])
    return usage, summary, [section for section in sections if section[1] or section[2]]


def page(program_help: str, version: str) -> str:
    usage, summary, sections = parse(program_help)
    name = summary.split(":")[0]
    out = [f'.TH ORVANTIDE 1 "" "Orvantide {version}" "Órdenes de usuario"',
           ".SH NOMBRE", roff(f"orvantide - {name[0].lower()}{name[1:]}"), ".SH SINOPSIS"]
    for line in usage:
        command, _, arguments = line.partition(" ")
        out += [".B " + roff(command), roff(arguments), ".br"]
    out += [".SH DESCRIPCIÓN", roff(summary)]
    for heading, note, entries in sections:
        out.append(".SH " + SECTIONS.get(heading, heading.upper()))
        if note:
            out.append(roff(note[0].upper() + note[1:]) + ("" if note.endswith(".") else "."))
        for term, description in entries:
            out += [".TP", ".B " + roff(term), roff(description)]
    return "\n".join(out) + "\n"


def main() -> int:
    program, version, output = sys.argv[1:4]
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    help_text = subprocess.run([program, "--help"], capture_output=True, text=True, check=True,
                               env=env, timeout=60).stdout
    with open(output, "w", encoding="utf-8") as file:
        file.write(page(help_text, version))
    return 0


if __name__ == "__main__":
    sys.exit(main())
