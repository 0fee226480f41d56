#!/usr/bin/python3
"""Generates the benchmark's payload (FILES files in 20 folders, MB mebibytes
of incompressible bytes in all), the Orvalt script that installs it with one
meter block, and the NSIS script that installs the same files."""
import argparse
import os
import random


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("payload", help="folder to fill")
    parser.add_argument("script", help="Orvalt script to write")
    parser.add_argument("nsi", help="NSIS script to write")
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--mb", type=float, default=200)
    args = parser.parse_args()

    folders = 20
    total = int(args.mb * 1024 * 1024)
    size, extra = divmod(total, args.files)
    rng = random.Random(20261207)
    names = []
    for i in range(args.files):
        folder = f"d{i % folders:02d}"
        name = f"{folder}\\f{i:04d}.bin"
        path = os.path.join(args.payload, folder, f"f{i:04d}.bin")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        data_size = size + (1 if i < extra else 0)
        if not os.path.exists(path) or os.path.getsize(path) != data_size:
            with open(path, "wb") as f:
                f.write(rng.randbytes(data_size))
        names.append(name)

    # Files of an earlier, differently sized payload go.
    wanted = {os.path.normpath(os.path.join(args.payload, *n.split("\\"))) for n in names}
    for folder, _, present in os.walk(args.payload):
        for name in present:
            path = os.path.normpath(os.path.join(folder, name))
            if path not in wanted:
                os.remove(path)

    lines = ['appname "Bench"', 'welcome 0 "C:\\bench\\out\\orvalt"', "startmeter", '\tmkdir "%DEFDIR%"']
    lines += [f'\tmkdir "%DEFDIR%d{n:02d}"' for n in range(folders)]
    lines += [f'\tcopy {name} "%DEFDIR%{name}"' for name in names]
    lines += ["endmeter", "end"]
    with open(args.script, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")

    payload = os.path.abspath(args.payload)
    with open(args.nsi, "w", encoding="utf-8") as f:
        f.write(f"""Unicode true
Target amd64-unicode
SetCompress off
SetDatablockOptimize off
Name "Bench"
OutFile "bench-nsis.exe"
InstallDir "C:\\bench\\out\\nsis"
RequestExecutionLevel user
SilentInstall silent
Section
  SetOutPath "$INSTDIR"
  File /r "{payload}/*.*"
SectionEnd
""")


if __name__ == "__main__":
    main()
