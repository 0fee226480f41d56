#!/usr/bin/python3
"""Install benchmark: a silent Setup.exe run that copies a generated payload
(2,000 files, 200 MB in all, one meter block) against a minimal program that
copies the same files with CopyFileA, both in one fresh Wine prefix.

    /usr/bin/python3 bench/install/run.py [--files N] [--size BYTES]

It writes the payload's script, builds an installer with that script
embedded (a build folder of its own, configured with -DORVALT_SCRIPT=...),
builds the baseline program, runs both under wine64 in alternating rounds
and prints the times and the ratio of the best ones."""
import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from harness import Session  # noqa: E402

BUILD = os.path.join(ROOT, "build", "bench-install")
DEST = r"C:\BenchInstall"


def write_script(path, count):
    lines = ['# Benchmark: one meter block of copies', 'appname "Bench"', f'welcome 1 "{DEST}"',
             'startmeter', '\tmkdir "%DEFDIR%"']
    lines += [f'\tcopy f{i:04d}.bin "%DEFDIR%f{i:04d}.bin"' for i in range(count)]
    lines += ['endmeter', 'end']
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def build(script):
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja",
                    f"-DCMAKE_TOOLCHAIN_FILE={ROOT}/cmake/mingw-x86_64.cmake",
                    "-DCMAKE_BUILD_TYPE=MinSizeRel", "-DKLVO_SIMULATED_IME=ON",
                    f"-DORVALT_SCRIPT={script}"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "-j2", "--target", "setup_exe"], check=True,
                   stdout=subprocess.DEVNULL)
    copier = os.path.join(BUILD, "copyfiles.exe")
    subprocess.run(["x86_64-w64-mingw32-g++", "-O2", "-static",
                    os.path.join(ROOT, "bench", "install", "copyfiles.cpp"), "-o", copier], check=True)
    return os.path.join(BUILD, "bin", "Setup.exe"), copier


def make_payload(folder, count, size):
    os.makedirs(folder, exist_ok=True)
    block = os.urandom(size)
    for i in range(count):
        with open(os.path.join(folder, f"f{i:04d}.bin"), "wb") as f:
            # Different bytes per file, so no file system can share blocks.
            f.write(i.to_bytes(4, "little") + block[4:])


def timed(s, program, *args, cwd=None):
    start = time.time()
    proc = s.start(program, *args, cwd=cwd)
    code = s.wait_exit(proc, 1800)
    elapsed = time.time() - start
    out = proc.stdout.read().decode("utf-8", "replace").strip() if proc.stdout else ""
    return code, elapsed, out


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--size", type=int, default=100_000, help="bytes per file (default 100000: 200 MB)")
    parser.add_argument("--rounds", type=int, default=2, help="alternating rounds; the best time of each counts")
    args = parser.parse_args()

    os.makedirs(BUILD, exist_ok=True)
    script = os.path.join(BUILD, "bench.ost")
    write_script(script, args.files)
    setup, copier = build(script)

    setup_times, copy_times = [], []
    with Session("bench_install") as s:
        payload = os.path.join(s.c_drive, "payload")
        make_payload(payload, args.files, args.size)
        # Wine's own start-up once, outside both measurements.
        timed(s, copier)
        for round_ in range(args.rounds):
            # Rounds alternate, each starts with nothing left to write back
            # and with the previous copies removed.
            for folder in (DEST, r"C:\BenchCopy"):
                shutil.rmtree(s.unix(folder), ignore_errors=True)
            os.sync()
            code, seconds, _ = timed(s, setup, "-s", cwd=payload)
            installed = len(os.listdir(s.unix(DEST))) if os.path.isdir(s.unix(DEST)) else 0
            if code != 0 or installed != args.files:
                sys.exit(f"Setup.exe -s failed: exit {code}, {installed} of {args.files} files installed")
            setup_times.append(seconds)
            os.sync()
            code, seconds, out = timed(s, copier, r"C:\payload", r"C:\BenchCopy")
            if code != 0:
                sys.exit(f"copyfiles failed: exit {code}: {out}")
            copy_times.append(seconds)
            print(f"round {round_ + 1}: Setup.exe -s {setup_times[-1]:.2f} s, CopyFileA {copy_times[-1]:.2f} s",
                  flush=True)

    total = args.files * args.size
    best_setup, best_copy = min(setup_times), min(copy_times)
    print(f"payload: {args.files} files, {total / 1e6:.0f} MB, one meter block")
    print(f"Setup.exe -s           {best_setup:8.2f} s  (best of {args.rounds})")
    print(f"CopyFileA baseline     {best_copy:8.2f} s  (best of {args.rounds})")
    print(f"ratio installer/copy   {best_setup / best_copy:8.2f}")

if __name__ == "__main__":
    main()
