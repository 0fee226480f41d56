#!/usr/bin/python3
"""The interactive figure of the installer benchmark: Setup.exe run through
its wizard (pages answered here, progress dialog on screen, Xvfb) against
Setup.exe -s, on the same payload, alternating in one Wine prefix.

Both are timed over the meter block alone and from the file system, so that
answering the pages does not count: from the last of the block's mkdir lines
(the change time of the destination folder) to the end of the last copy
(the change time of the newest installed file; CopyFileA stamps it when it
sets the copy's times). Prints each run, the medians and the ratio.

    interactive.py SETUP_EXE PAYLOAD_DIR [--runs R]
"""
import argparse
import os
import shutil
import statistics
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from harness import TESTAPPS, Session  # noqa: E402

PAGES = ("セットアップの開始", "インストール先のフォルダの指定", "インストールの確認")
DONE = "インストールの終了"


def block_seconds(dest):
    start = os.stat(dest).st_ctime_ns
    end = start
    files = 0
    for folder, _, names in os.walk(dest):
        for name in names:
            end = max(end, os.stat(os.path.join(folder, name)).st_ctime_ns)
            files += 1
    return (end - start) / 1e9, files


def silent(s, setup, payload):
    started = time.time()
    proc = s.start(setup, "-s", cwd=payload)
    s.wait_exit(proc, 1800)
    return time.time() - started


def count_files(folder):
    return sum(len(n) for _, _, n in os.walk(folder))


def interactive(s, setup, payload, dest, expected):
    """Answers each page with OK as it comes, and the closing notice. While
    the block runs only the destination is watched: every window query
    starts a Wine process, which would take the installer's processor."""
    proc = s.start(setup, cwd=payload)
    end = time.time() + 1800
    while proc.poll() is None and time.time() < end:
        for w in s.windows():
            if w["text"] in PAGES or w["text"] == DONE:
                s.command(w, 1)
                if w["text"] == PAGES[-1]:
                    while count_files(dest) < expected and proc.poll() is None and time.time() < end:
                        time.sleep(0.5)
        time.sleep(0.2)
    s.wait_exit(proc, 60)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("setup")
    parser.add_argument("payload")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    if not os.path.isfile(os.path.join(TESTAPPS, "wintool.exe")):
        sys.exit(f"bench: {TESTAPPS}/wintool.exe is missing (cmake --build --preset win64 --target wintool)")

    with Session("bench_interactive") as s:
        bench = os.path.join(s.c_drive, "bench")
        shutil.copytree(args.payload, os.path.join(bench, "payload"))
        setup = os.path.join(bench, "Setup.exe")
        shutil.copy(args.setup, setup)
        payload = os.path.join(bench, "payload")
        dest = os.path.join(bench, "out", "orvalt")
        expected = count_files(payload)
        silent_times, shown_times = [], []
        for run in range(args.runs):
            for kind, times in (("silent", silent_times), ("wizard", shown_times)):
                shutil.rmtree(os.path.join(bench, "out"), ignore_errors=True)
                os.sync()
                if kind == "silent":
                    silent(s, setup, payload)
                else:
                    interactive(s, setup, payload, dest, expected)
                seconds, files = block_seconds(dest)
                if files != expected:
                    sys.exit(f"bench: the {kind} run left {files} files, not {expected}")
                times.append(seconds)
            print(f"run {run + 1}: meter block silent {silent_times[-1]:.2f} s, "
                  f"through the wizard {shown_times[-1]:.2f} s", flush=True)
    q, w = statistics.median(silent_times), statistics.median(shown_times)
    print(f"\nMeter block of {expected} files, median of {args.runs} runs under wine64:")
    print(f"  Setup.exe -s                  {q:8.2f} s")
    print(f"  Setup.exe through the wizard  {w:8.2f} s")
    print(f"  wizard / silent             = {w / q:.2f}")


if __name__ == "__main__":
    main()
