#!/usr/bin/python3
"""Fails when a shipped program holds an instruction that the 386, the
least processor Windows 95 runs on, does not have; names the function each
one is in, from the link map beside the program.

    check_i386.py OBJDUMP PROGRAM.exe...
"""
import bisect
import os
import re
import subprocess
import sys

# Added by the 486, the Pentium, the Pentium Pro and later processors.
NEWER = {
    "bswap", "cmpxchg", "xadd", "invd", "wbinvd", "invlpg",          # 486
    "cmpxchg8b", "cpuid", "rdtsc", "rdmsr", "wrmsr", "rsm",          # Pentium
    "rdpmc", "ud2", "sysenter", "sysexit", "fcomi", "fcomip", "fucomi", "fucomip",
    "nopw", "nopl", "endbr32", "fxsave", "fxrstor", "emms",           # P6 and later
    "movnti", "lfence", "mfence", "sfence", "clflush", "popcnt", "lzcnt", "tzcnt", "movbe",
}
NEWER_PREFIXES = ("cmov", "fcmov", "prefetch", "fisttp")
WIDE_REGISTERS = re.compile(r"%(mm|xmm|ymm|zmm)\d")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(?:[0-9a-f]{2} )+\s*(\S+)\s*(.*)$")


def function_names(map_file):
    """Sorted addresses and names of the functions in the program's text."""
    names = {}
    in_text = False
    for line in open(map_file, encoding="latin-1"):
        if re.match(r"^\.\w", line):
            in_text = line.startswith(".text")
        m = re.match(r"^\s+0x([0-9a-f]+)\s+([_A-Za-z?@$][\w@$?.]*)\s*$", line)
        if in_text and m and "=" not in line:
            names.setdefault(int(m.group(1), 16), m.group(2))
    addresses = sorted(names)
    return addresses, [names[a] for a in addresses]


def newer_instructions(objdump, program):
    out = subprocess.run([objdump, "-d", "--no-show-raw-insn", "-w", program], check=True,
                         capture_output=True, text=True).stdout
    found = []
    for line in out.splitlines():
        m = re.match(r"^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$", line)
        if not m:
            continue
        mnemonic, operands = m.group(2), m.group(3)
        if mnemonic in ("lock", "rep", "repz", "repnz", "data16", "addr16") and operands:
            mnemonic = operands.split()[0]
        if (mnemonic in NEWER or mnemonic.startswith(NEWER_PREFIXES)
                or WIDE_REGISTERS.search(operands)):
            found.append((int(m.group(1), 16), f"{mnemonic} {operands}".strip()))
    return found


def main():
    objdump, programs = sys.argv[1], sys.argv[2:]
    failed = False
    for program in programs:
        addresses, names = function_names(os.path.splitext(program)[0] + ".map")
        if not addresses:
            print(f"{program}: the link map names no functions")
            failed = True
            continue
        found = newer_instructions(objdump, program)
        print(f"{program}: {len(found)} instructions the 386 lacks")
        for address, text in found:
            i = bisect.bisect_right(addresses, address) - 1
            where = names[i] if i >= 0 else "?"
            print(f"  {address:08x} {where}: {text}")
        failed = failed or bool(found)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
