#!/usr/bin/python3
"""Compares the import tables of the shipped programs with the pinned list
(tests/static/win95_imports.txt): every function each program imports from
each DLL, with the reason Windows 95 exports it. Fails, naming the
function, on anything imported that is not on the list and on any line of
the list that a program no longer imports.

    check_pinned_imports.py OBJDUMP LIST PROGRAM...
"""
import os
import re
import subprocess
import sys

REASONS = {"W16", "W32", "N95", "IME", "STUB"}


def imported(objdump, program):
    """The (dll, function) pairs of the program's import table; imports by
    ordinal come out as '#n'."""
    out = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout
    dll, pairs = None, set()
    for line in out.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).lower()
            continue
        if dll is None:
            continue
        m = re.match(r"\t[0-9a-f]+\t +(\d+)  (\S+)\s*$", line)
        if m:
            pairs.add((dll, m.group(2)))
            continue
        m = re.match(r"\t[0-9a-f]+\t +(\d+)\s*$", line)   # by ordinal, no name
        if m:
            pairs.add((dll, "#" + m.group(1)))
    return pairs


def pinned(path):
    """{program: {(dll, function)}} and the problems of the list itself."""
    table, problems = {}, []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            text = line.split("#", 1)[0].strip()
            if not text:
                continue
            fields = text.split()
            if len(fields) != 4:
                problems.append(f"{path}:{number}: want 'program dll function reason': {line.strip()}")
                continue
            program, dll, function, reason = fields
            if reason not in REASONS:
                problems.append(f"{path}:{number}: {function}: unknown reason '{reason}'")
            table.setdefault(program.lower(), set()).add((dll.lower(), function))
    return table, problems


def main():
    objdump, listing, programs = sys.argv[1], sys.argv[2], sys.argv[3:]
    table, problems = pinned(listing)
    for program in programs:
        name = os.path.basename(program)
        have = imported(objdump, program)
        want = table.get(name.lower())
        if want is None:
            problems.append(f"{name}: no lines in {listing}")
            continue
        for dll, function in sorted(have - want):
            problems.append(f"{name} imports {function} from {dll}, which is not on the pinned list: "
                            f"check that Windows 95 exports it, then add it with its reason")
        for dll, function in sorted(want - have):
            problems.append(f"{name} no longer imports {function} from {dll}: take it off the pinned list")
        print(f"{name}: {len(have)} imported functions, {len(want)} pinned")
    for p in problems:
        print("FAIL " + p)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
