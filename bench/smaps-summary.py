#!/usr/bin/env python3
"""Where the resident memory of processes is, from copies of their /proc/<pid>/smaps: one column
per process, one row per kind of mapping, in MiB.

    smaps-summary.py <label>=<smaps file> ...
"""
import re
import sys

KINDS = ["anonymous", "frame memory", "program", "Qt libraries", "other libraries", "other files"]
MAPPING = re.compile(r"^[0-9a-f]+-[0-9a-f]+ ")


def kind(name, program):
    if name in ("", "[heap]", "[stack]") or name.startswith("[anon"):
        return "anonymous"
    if name.startswith(("/memfd:", "/SYSV", "/dev/shm/")):
        return "frame memory"
    if name.startswith("["):
        return None
    if name == program:
        return "program"
    if "/libQt6" in name or "/qt6/plugins/" in name:
        return "Qt libraries"
    if ".so" in name:
        return "other libraries"
    return "other files"


def summarise(path):
    lines = open(path).read().splitlines()
    # The first mapping is the program's own file.
    program = lines[0].split(None, 5)[5].strip() if lines and len(lines[0].split(None, 5)) > 5 else ""
    totals = dict.fromkeys(KINDS, 0)
    current = None
    for line in lines:
        if MAPPING.match(line):
            fields = line.split(None, 5)
            current = kind(fields[5].strip() if len(fields) > 5 else "", program)
        elif line.startswith("Rss:") and current:
            totals[current] += int(line.split()[1])
    return totals


def main():
    columns = [argument.split("=", 1) for argument in sys.argv[1:]]
    sums = [(label, summarise(path)) for label, path in columns]
    print("resident memory by kind of mapping, MiB (last run of each side)")
    print("%-16s" % "" + "".join("%14s" % label for label, _ in sums))
    for row in KINDS + ["total"]:
        values = [sum(totals.values()) if row == "total" else totals[row] for _, totals in sums]
        print("%-16s" % row + "".join("%14.1f" % (value / 1024) for value in values))


main()
