#!/usr/bin/env python3
"""Checks the man page of tarnquill-cli against the program's own help, so neither drifts.

usage: check_man.py TARNQUILL_CLI MAN_PAGE

Every command of "tarnquill-cli --help" has a section ".SS command" in the page, and the page has
no section for a command that does not exist. The options a command's help lists are the options
its section describes (a line '.\\" takes: NAME' adds those of the section ".SS NAME"), neither
more nor less, and its positional arguments appear in the section's synopsis.
"""
import re
import subprocess
import sys


def help_text(cli, *args):
    return subprocess.run([cli, *args, "--help"], check=True, capture_output=True,
                          text=True).stdout


def blocks(text):
    """The help's blocks by heading ("Options", "Positionals", "Subcommands"): their lines."""
    found, current = {}, None
    for line in text.splitlines():
        heading = re.match(r"^([A-Za-z]+):\s*$", line)
        if heading:
            current = found.setdefault(heading.group(1).lower(), [])
        elif current is not None and line.startswith(" "):
            current.append(line)
        elif not line.strip():
            current = None
    return found


def help_options(text):
    names = set()
    for line in blocks(text).get("options", []):
        first = line.split()[0]
        for name in first.split(","):
            if name.startswith("--") and name != "--help":
                names.add(name)
            elif re.fullmatch(r"-[A-Za-z]", name) and name != "-h":
                names.add(name)
    return names


def man_sections(page):
    """".SS" title -> its lines, with roff's escaped minus signs made plain."""
    sections, current = {}, None
    for line in page.splitlines():
        line = line.replace("\\-", "-")
        if line.startswith(".SS "):
            current = sections.setdefault(line[4:].strip().strip('"'), [])
        elif line.startswith(".SH "):
            current = None
        elif current is not None:
            current.append(line)
    return sections


def man_options(sections, name, seen=()):
    lines = sections.get(name, [])
    names = set()
    for i, line in enumerate(lines):
        taken = re.match(r'^\.\\" takes: (.+)$', line)
        if taken and taken.group(1) not in seen:
            names |= man_options(sections, taken.group(1), seen + (name,))
        # An option is described by the line after ".TP".
        if i > 0 and lines[i - 1].startswith(".TP"):
            names |= set(re.findall(r"(?<![\w-])(--[a-z0-9][a-z0-9-]*|-[A-Za-z])(?![\w-])", line))
    return names


def main():
    cli, page_path = sys.argv[1], sys.argv[2]
    with open(page_path, encoding="utf-8") as f:
        sections = man_sections(f.read())
    top = blocks(help_text(cli))
    commands = [line.split()[0] for line in top.get("subcommands", [])]
    problems = []
    if not commands:
        problems.append("tarnquill-cli --help lists no commands")
    documented = {name for name in sections if re.fullmatch(r"[a-z]+", name)}
    for extra in sorted(documented - set(commands)):
        problems.append(f"the man page describes a command '{extra}' the program does not have")
    for command in commands:
        if command not in sections:
            problems.append(f"the man page has no section for '{command}'")
            continue
        text = help_text(cli, command)
        wanted, described = help_options(text), man_options(sections, command)
        for name in sorted(wanted - described):
            problems.append(f"{command}: option {name} is not in the man page")
        for name in sorted(described - wanted):
            problems.append(f"{command}: the man page describes {name}, which the program lacks")
        synopsis = "\n".join(sections[command][:4])
        for line in blocks(text).get("positionals", []):
            argument = line.split()[0]
            if argument not in synopsis:
                problems.append(f"{command}: argument {argument} is not in the synopsis")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
