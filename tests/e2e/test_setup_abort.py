"""Aborting the progress dialog, by its 中止 button and by Esc, in a meter
block of 120 copies of 10 MB (an installer built with its own script,
tests/wine/setup/scripts/abort.ost): the dialog closes, the copy under way
completes, the stop notice follows, and no later line runs. Closing the
main window (End Task) once the folder's work folder is in use stops the
run the same way and removes the work folder."""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Session, check, run  # noqa: E402
import setup_e2e as se  # noqa: E402

PARTS = 120
PART_SIZE = 10 << 20
DEST = r"C:\OrvaltAbort"
WORK_FOLDER = DEST + r"\~ORVALT.$$$"


def make_payload(s):
    dist = os.path.join(s.c_drive, "abortdist")
    os.makedirs(dist, exist_ok=True)
    for i in range(1, PARTS + 1):
        with open(os.path.join(dist, f"part{i:03d}.bin"), "wb") as f:
            f.truncate(PART_SIZE)  # sparse: quick to make, slow enough to copy
    return dist


def copied(s):
    folder = s.unix(DEST)
    if not os.path.isdir(folder):
        return []
    return sorted(n for n in os.listdir(folder) if n.endswith(".bin"))


def abort_run(s, dist, how):
    # A newer first destination: its overwrite question holds the block at
    # its start while the scenario looks at the dialog.
    os.makedirs(s.unix(DEST), exist_ok=True)
    first = os.path.join(s.unix(DEST), "part001.bin")
    with open(first, "wb") as f:
        f.write(b"newer")
    se.backdate(first, -1)
    proc = s.start(s.testapp("Setup_abort.exe"), cwd=dist)
    time.sleep(3)
    for title in (se.WELCOME, se.FOLDER, se.INSTALL_CONFIRM):
        se.press(s, se.page(s, title), "Return")
    question = se.expect_box(s, "part001.binが、すでに存在します。", "the block waits on the first copy's question")
    progress = s.wait_window(se.PROGRESS, timeout=5)
    check(progress is not None, "progress dialog open")
    controls = {c["id"]: c for c in s.children(progress)}
    check(1028 in controls and 2 in controls, "the meter and the 中止 button are there")
    s.command(question, 6)  # はい: the copies run on
    started = time.time()
    if how == "close":
        # From the folder's 33rd copy on, partial files go to its work folder.
        while not os.path.isdir(s.unix(WORK_FOLDER)) and time.time() - started < 120:
            time.sleep(0.02)
        check(os.path.isdir(s.unix(WORK_FOLDER)), "the work folder is in use")
    while len(copied(s)) < 4 and time.time() - started < 60:
        time.sleep(0.02)
    s.screenshot(f"progress_meter_{how}.png")  # the meter part filled
    if how == "close":
        main = [w for w in s.windows() if w["class"] == "OrvaltClass"]
        check(len(main) == 1 and s.close(main[0]), "WM_CLOSE sent to the main window")
    elif how == "button":
        left, top, right, bottom = controls[2]["rect"]
        s.click((left + right) // 2, (top + bottom) // 2)
    else:
        s.key("Escape", delay=0)
    b, text = se.box(s, timeout=60)
    check(text == se.STOP_NOTICE, f"abort by {how}: the stop notice ({text!r})")
    check(not s.windows(se.PROGRESS), "the progress dialog is gone")
    s.screenshot(f"aborted_{how}.png")
    if b:
        se.press(s, b, "Return")
    check(s.wait_exit(proc, 30) == se.EXIT_CANCELLED, "exit code 2: cancelled")

    done = copied(s)
    print(f"     {len(done)} of {PARTS} parts copied before the abort took effect", flush=True)
    check(0 < len(done) < PARTS, "the run stopped inside the block")
    sizes = [os.path.getsize(os.path.join(s.unix(DEST), n)) for n in done]
    check(all(size == PART_SIZE for size in sizes), "every copy that began also completed")
    check(done == [f"part{i:03d}.bin" for i in range(1, len(done) + 1)], "copies in script order")
    check(not os.path.exists(s.unix(DEST + r"\after")), "later lines of the block never ran")
    check(not os.path.exists(s.unix(DEST + r"\end")), "lines after the block never ran")
    check(not os.path.exists(s.unix(WORK_FOLDER)), "no work folder left")


def scenario():
    with Session("setup_abort") as s:
        dist = make_payload(s)
        for how in ("button", "Esc", "close"):
            abort_run(s, dist, how)
            for name in copied(s):
                os.remove(os.path.join(s.unix(DEST), name))


if __name__ == "__main__":
    run(scenario)
