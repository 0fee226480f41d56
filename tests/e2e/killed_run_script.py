"""The generated installer of the killed-run scenario
(test_setup_killed_run_rerun.py): a script of 300 copies and 100 moves in
two meter blocks, and the payload it installs. The build writes the script
with `killed_run_script.py SCRIPT` and embeds it into
testapps/Setup_killed_run.exe; the scenario makes the payload with
make_payload(). One file in eight is large (a quarter to three quarters of
a MiB), so that a kill can land inside a write."""
import os
import random
import sys

DEST = r"C:\Program Files\Mokra\Crash"
KEY = r"Software\Mokra\Crash"
BLOCKS = ("one", "two")
COPIES_PER_BLOCK = 150
MOVES_PER_BLOCK = 50


def files():
    """(source, destination relative to DEST, size, moved) for every copy
    and move, in script order: three copies, then a move, and so on."""
    out = []
    for b, block in enumerate(BLOCKS):
        copies = moves = 0
        while copies < COPIES_PER_BLOCK or moves < MOVES_PER_BLOCK:
            moved = copies >= COPIES_PER_BLOCK or (copies % 3 == 0 and copies // 3 > moves)
            if moved:
                n = b * MOVES_PER_BLOCK + moves
                name, moves = f"m{n:03d}.bin", moves + 1
            else:
                n = b * COPIES_PER_BLOCK + copies
                name, copies = f"c{n:03d}.bin", copies + 1
            i = len(out)
            size = (256 + i * 37 % 512) * 1024 if i % 8 == 0 else (2 + i * 131 % 30) * 1024 + i % 7
            source = ("move" if moved else "copy") + "\\" + name
            out.append((source, block + "\\" + name, size, moved))
    return out


def script_text():
    lines = ['appname "Crash"', 'welcome 0 "%PRGDIR%Mokra\\Crash"', "startinstall"]
    for block in BLOCKS:
        lines += ["\tstartmeter"]
        if block == BLOCKS[0]:
            lines += ['\t\tmkdir "%DEFDIR%"']
        lines += [f'\t\tmkdir "%DEFDIR%{block}"']
        for source, target, _, moved in files():
            if target.startswith(block + "\\"):
                lines.append(f'\t\t{"move" if moved else "copy"} {source} "%DEFDIR%{target}"')
        lines += [f'\t\tregsetvalue 1 "{KEY}" "{block}" 1 "%DEFDIR%{block}"', "\tendmeter"]
    lines += ["endinstall", "end"]
    return "\n".join(lines) + "\n"


def make_payload(folder):
    """The distribution's files under folder (without Setup.exe); returns
    {source: bytes}."""
    rng = random.Random(20261208)
    made = {}
    for source, _, size, _ in files():
        data = rng.randbytes(size)
        path = os.path.join(folder, *source.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        made[source] = data
    return made


if __name__ == "__main__":
    text = script_text()
    if not os.path.exists(sys.argv[1]) or open(sys.argv[1], encoding="utf-8").read() != text:
        with open(sys.argv[1], "w", encoding="utf-8") as f:
            f.write(text)
