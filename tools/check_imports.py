#!/usr/bin/python3
"""Fails when a program imports from a DLL outside the Windows 95 system
libraries, or when it carries no import of kernel32 at all."""
import subprocess
import sys

ALLOWED = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
           "comdlg32.dll", "shell32.dll", "winmm.dll", "version.dll"}


def imported_dlls(objdump, program):
    out = subprocess.run([objdump, "-p", program], check=True,
                         capture_output=True, text=True).stdout
    return [line.split("DLL Name:")[1].strip().lower()
            for line in out.splitlines() if "DLL Name:" in line]


def main():
    objdump, programs = sys.argv[1], sys.argv[2:]
    failed = False
    for program in programs:
        dlls = imported_dlls(objdump, program)
        bad = [d for d in dlls if d not in ALLOWED]
        print(f"{program}: {', '.join(dlls)}")
        if bad or "kernel32.dll" not in dlls:
            print(f"  not allowed: {', '.join(bad) or 'no kernel32 import'}")
            failed = True
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
