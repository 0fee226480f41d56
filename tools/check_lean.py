#!/usr/bin/python3
"""Fails when a shipped program is over its size budget or carries what
nothing in it uses: a symbol table, unwind tables, base relocations.

    check_lean.py OBJDUMP PROGRAM.exe=BUDGET_BYTES...
"""
import os
import struct
import subprocess
import sys

UNUSED_SECTIONS = {".eh_frame", ".eh_fram", ".pdata", ".xdata", ".reloc", ".stab", ".stabstr"}


def section_names(objdump, program):
    out = subprocess.run([objdump, "-h", program], check=True, capture_output=True, text=True).stdout
    return [line.split()[1] for line in out.splitlines()
            if len(line.split()) > 3 and line.split()[0].isdigit()]


def symbol_count(program):
    data = open(program, "rb").read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<I", data, pe + 4 + 12)[0]


def main():
    objdump, pairs = sys.argv[1], sys.argv[2:]
    failed = False
    for pair in pairs:
        program, budget = pair.rsplit("=", 1)
        size, budget = os.path.getsize(program), int(budget)
        sections = section_names(objdump, program)
        unused = [s for s in sections if s in UNUSED_SECTIONS or s.startswith(".debug")]
        symbols = symbol_count(program)
        print(f"{program}: {size} bytes of {budget} ({budget - size:+d}); sections {' '.join(sections)}")
        if size > budget:
            print("  over its budget")
        if unused:
            print(f"  unused sections: {' '.join(unused)}")
        if symbols:
            print(f"  {symbols} symbols")
        failed = failed or size > budget or bool(unused) or bool(symbols)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
