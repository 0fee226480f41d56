#!/usr/bin/python3
"""Fails unless a program exports each named procedure under its plain
name (the window and dialog procedures are exported by name), at an
address in its code: a table written for the wrong place would name
procedures that Windows cannot find."""
import re
import subprocess
import sys


def main():
    objdump, program, names = sys.argv[1], sys.argv[2], sys.argv[3:]
    out = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout
    headers = subprocess.run([objdump, "-h", program], check=True, capture_output=True, text=True).stdout
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", out, re.M).group(1), 16)
    text = re.search(r"\.text\s+([0-9a-f]+)\s+([0-9a-f]+)", headers)
    code_start, code_end = int(text.group(2), 16) - base, int(text.group(2), 16) - base + int(text.group(1), 16)

    addresses = {}
    table = out.split("Export Address Table -- Ordinal Base", 1)[-1].split("\n\n", 1)[0]
    for found in re.finditer(r"\[\s*(\d+)\]\s+\+base\[\s*\d+\]\s+([0-9a-fA-F]+) Export RVA", table):
        addresses[int(found.group(1))] = int(found.group(2), 16)
    table = out.split("[Ordinal/Name Pointer] Table", 1)[-1].split("\n\n", 1)[0]
    exported = {}
    for found in re.finditer(r"\[\s*(\d+)\]\s+(\S+)", table):
        exported[found.group(2)] = addresses.get(int(found.group(1)))

    print(f"{program}: exports {', '.join(sorted(exported)) or 'nothing'}")
    missing = [n for n in names if n not in exported]
    outside = [n for n in names if n in exported
               and not (exported[n] is not None and code_start <= exported[n] < code_end)]
    if missing:
        print(f"  missing: {', '.join(missing)}")
    if outside:
        print(f"  not at an address in the code: {', '.join(outside)}")
    sys.exit(1 if missing or outside else 0)


if __name__ == "__main__":
    main()
