#!/usr/bin/env python3
"""The manuals: every page renders through man(1) without a warning, and the
OPTIONS of each tool's page say word for word what the tool's --help says,
for the same options, at the tool's version.

Usage: check_manuals.py MAN_DIR TOOLS_DIR
"""
import os
import re
import subprocess
import sys

TOOLS = {"saver-pack.1": "saver-pack", "saver-inspect.1": "saver-inspect",
         "saver-effects.1": "saver-effects"}


def man_warnings(page):
    """What man says about a page while rendering it, as lintian asks it."""
    env = dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH="80")
    run = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", page],
                         env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    problems = run.stderr.strip()
    if run.returncode != 0 and not problems:
        problems = "man exited with %d" % run.returncode
    return problems


def roff_text(line):
    """The words a line of roff shows: font escapes dropped, macros' arguments kept."""
    line = re.sub(r"\\f[BIRP]", "", line)
    line = line.replace("\\-", "-").replace("\\&", "").replace("\\(aq", "'").replace("\\e", "\\")
    if line.startswith("."):
        words = re.findall(r'"[^"]*"|\S+', line)[1:]
        line = "".join(w.strip('"') for w in words)
    return line


def words(text):
    return " ".join(text.split())


def manual_options(path):
    """{option head: description} from the OPTIONS section of a page."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    options, section, head, body = {}, None, None, []

    def close():
        if head is not None:
            options[words(head)] = words(" ".join(body))

    for line in lines:
        if line.startswith(".SH"):
            close()
            head, body = None, []
            section = line[3:].strip().strip('"')
        elif section != "OPTIONS":
            continue
        elif line.startswith(".TP"):
            close()
            head, body = "", []
        elif line.startswith((".SS", ".PP")):
            close()
            head, body = None, []
        elif head == "":
            head = roff_text(line)
        elif head is not None:
            body.append(roff_text(line))
    close()
    return options


def help_options(text):
    """{option head: description} from a --help text."""
    options, head = {}, None
    for line in text.splitlines():
        m = re.match(r"^  (-\S.*?)(?: {2,}(\S.*))?$", line)
        if m:
            head = words(m.group(1))
            options[head] = m.group(2) or ""
        elif head is not None and line.startswith(" " * 8) and line.strip():
            options[head] = words(options[head] + " " + line)
        else:
            head = None
    return {k: words(v) for k, v in options.items()}


def main():
    man_dir, tools_dir = sys.argv[1], sys.argv[2]
    failures = []
    pages = sorted(p for p in os.listdir(man_dir) if re.search(r"\.[1-8]$", p))
    for page in pages:
        path = os.path.join(man_dir, page)
        problems = man_warnings(path)
        if problems:
            failures.append("%s: man --warnings says:\n%s" % (page, problems))
        tool = TOOLS.get(page)
        if not tool:
            continue
        exe = os.path.join(tools_dir, tool)
        help_text = subprocess.run([exe, "--help"], capture_output=True, text=True, check=True).stdout
        version = subprocess.run([exe, "--version"], capture_output=True, text=True,
                                 check=True).stdout.split()[-1]
        with open(path, encoding="utf-8") as f:
            title = f.readline()
        if '"saver %s"' % version not in title:
            failures.append("%s: .TH does not name version %s: %s" % (page, version, title.strip()))
        in_help, in_manual = help_options(help_text), manual_options(path)
        for head in sorted(set(in_help) | set(in_manual)):
            if head not in in_manual:
                failures.append("%s: --help lists %s, the manual does not" % (page, head))
            elif head not in in_help:
                failures.append("%s: the manual lists %s, --help does not" % (page, head))
            elif in_help[head] != in_manual[head]:
                failures.append("%s: %s differs\n  --help: %s\n  manual: %s" %
                                (page, head, in_help[head], in_manual[head]))
    for tool in TOOLS.values():
        if tool + ".1" not in pages:
            failures.append("%s has no manual" % tool)
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    if failures:
        return 1
    print("manuals: %d pages render cleanly and agree with --help" % len(pages))
    return 0


if __name__ == "__main__":
    sys.exit(main())
