#!/usr/bin/python3
"""Fails unless a program exports each named procedure under its plain
name (the window and dialog procedures are exported by name)."""
import subprocess
import sys


def main():
    objdump, program, names = sys.argv[1], sys.argv[2], sys.argv[3:]
    out = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout
    table = out.split("[Ordinal/Name Pointer] Table", 1)[-1].split("\n\n", 1)[0]
    exported = {line.split("]", 1)[1].strip() for line in table.splitlines() if "]" in line}
    missing = [n for n in names if n not in exported]
    print(f"{program}: exports {', '.join(sorted(exported)) or 'nothing'}")
    if missing:
        print(f"  missing: {', '.join(missing)}")
    sys.exit(1 if missing else 0)


if __name__ == "__main__":
    main()
