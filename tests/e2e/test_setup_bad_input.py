"""Setup.exe with bad input, as a user sees it: an installer built with an
empty script (tests/wine/setup/scripts/empty.ost) says it holds no script
and exits with 1, and says nothing in a silent run but still exits with 1;
an earlier installation recorded with a folder longer than a path can be
counts as no record: the wizard offers the script's own folder, and nothing
is made from a cut name."""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Session, check, run  # noqa: E402
import setup_e2e as se  # noqa: E402

NO_SCRIPT = "このセットアップには、スクリプトがありません。\nセットアップを中止します。"


def empty_script(s):
    program = s.testapp("Setup_empty.exe")
    proc = s.start(program, cwd=s.c_drive)
    b = se.expect_box(s, NO_SCRIPT, "the installer says it holds no script", timeout=40)
    s.screenshot("no_script.png")
    check(not s.windows(se.INSTALL_DONE), "no closing notice")
    se.press(s, b, "Return")
    check(s.wait_exit(proc, 30) == 1, "exit code 1")

    proc = s.start(program, "-s", cwd=s.c_drive)
    seen = set()
    end = time.time() + 30
    while proc.poll() is None and time.time() < end:
        seen.update(w["text"] for w in s.windows() if w["class"] == se.BOX_CLASS)
        time.sleep(0.2)
    check(s.wait_exit(proc, 30) == 1, "silent: exit code 1")
    check(not seen, f"silent: no message ({sorted(seen)})")


def recorded_folder_too_long(s):
    folder = "C:\\" + "\\".join(["Recorded folder"] * 20)
    check(len(folder) > 259, "the recorded folder is longer than a path")
    s.reg_add(se.APP_PATHS_KEY, "Path", "REG_SZ", folder)
    dist = se.make_dist(s)
    proc = se.start(s, dist)
    # A damaged record must not block an uninstallation for good: it is
    # read as no record, and the run goes on with the default folder.
    w = se.page(s, se.WELCOME)
    check(w is not None, "the welcome page, no message")
    se.press(s, w, "Return")
    w = se.page(s, se.FOLDER)
    path = s.control(w, 1003) if w else None
    s.screenshot("recorded_folder_too_long.png")
    check(path is not None and path["text"] == se.DEST, f"the script's own folder is offered ({path and path['text']!r})")
    se.press(s, w, "Escape")
    se.expect_stop(s, proc, code=se.EXIT_CANCELLED)
    check(not os.path.exists(s.unix(r"C:\Recorded folder")), "no folder made from a cut name")
    check(not os.path.exists(s.unix(se.DEST)), "nothing installed")
    check(os.path.exists(os.path.join(dist, "Klvo.exe")), "the distribution is untouched")


def scenario():
    with Session("setup_bad_input") as s:
        empty_script(s)
        recorded_folder_too_long(s)


if __name__ == "__main__":
    run(scenario)
