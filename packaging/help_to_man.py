#!/usr/bin/env python3
"""Writes a program's manual page from its own --help and --version output, so that the page
says what --help says.

The help text's shape: a summary paragraph, a "Usage: ..." line, then sections, each headed by
a line of its own ("Options:", "Subcommands:" or an upper-case title). In a section an entry is
a term at two blanks' indent, with its description after a gap of two or more blanks or on the
lines below indented further; other lines at two blanks' indent are paragraphs, except those
that start with the program's name, which are examples and kept line by line.

usage: help_to_man.py PROGRAM OUTPUT SUMMARY [SEE_ALSO...]
"""

import re
import subprocess
import sys


def escape(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def main(program, output, summary, *see_also):
    name = program.rsplit("/", 1)[-1]
    run = lambda option: subprocess.run([program, option], check=True, capture_output=True,
                                        text=True).stdout
    lines = run("--help").splitlines()
    version = run("--version").strip().removeprefix(name + " ")
    usage = next(i for i, line in enumerate(lines) if line.startswith("Usage: "))
    page = [f'.TH {name.upper()} 1 "" "{name} {version}" "User Commands"',
            ".SH NAME", f"{escape(name)} \\- {escape(summary)}",
            ".SH SYNOPSIS", escape(lines[usage][len("Usage: "):]),
            ".SH DESCRIPTION", escape(" ".join(lines[:usage]))]
    state = None  # "entry", "paragraph" or "example": what the last line belongs to
    for at, line in enumerate(lines[usage + 1:], start=usage + 1):
        text = line.strip()
        indent = len(line) - len(line.lstrip(" "))
        following = lines[at + 1] if at + 1 < len(lines) else ""
        if state == "example" and not text.startswith(name + " "):
            page.append(".fi")
            state = None
        if not text:
            state = None if state == "paragraph" else state
        elif indent == 0 and re.fullmatch(r"[A-Z][A-Za-z ]*:|[A-Z][A-Z ]+", text):
            page.append(".SH " + text.rstrip(":").upper())
            state = None
        elif indent > 2 and state == "entry":
            page.append(escape(text))
        elif entry := re.fullmatch(r"(\S.*?)\s{2,}(\S.*)", text):
            page += [".TP", f"\\fB{escape(entry[1])}\\fR", escape(entry[2])]
            state = "entry"
        elif len(following) - len(following.lstrip(" ")) > 2 and following.strip():
            page += [".TP", f"\\fB{escape(text)}\\fR"]
            state = "entry"
        elif text.startswith(name + " ") and state != "paragraph":
            page += [".PP", ".nf"] if state != "example" else []
            page.append(escape(text))
            state = "example"
        else:
            page += [".PP"] if state != "paragraph" else []
            page.append(escape(text))
            state = "paragraph"
    if state == "example":
        page.append(".fi")
    if see_also:
        page.append(".SH SEE ALSO")
        page += [f".BR {escape(other)} (1)" + ("," if other != see_also[-1] else "")
                 for other in see_also]
    with open(output, "w", encoding="utf-8") as out:
        out.write("\n".join(page) + "\n")


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__.rsplit("\n\n", 1)[-1])
    main(*sys.argv[1:])
