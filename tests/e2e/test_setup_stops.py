"""Runs of the shipped script that stop, and silent runs: a missing
distribution file is named before anything is touched; a silent run shows
no dialog, and when it stops shows only the stop notice; the platform check
refuses Wine's default Windows version (platform 2), also in a silent run,
and passes once the prefix reports Windows 95."""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Session, check, run  # noqa: E402
import setup_e2e as se  # noqa: E402

WITHOUT_README = [n for n in se.DIST_FILES if n != "Readme.txt"]


def missing_source(s):
    dist = se.make_dist(s, "NoReadme", WITHOUT_README)
    proc = se.start(s, dist)
    for title in (se.WELCOME, se.FOLDER, se.INSTALL_CONFIRM):
        se.press(s, se.page(s, title), "Return")
    b = se.expect_box(s, "ファイルReadme.txtが見つかりません。", "the missing file is named")
    s.screenshot("missing_source.png")
    se.press(s, b, "Return")
    se.expect_stop(s, proc)
    check(os.path.exists(os.path.join(dist, "Klvo.exe")), "the block stopped before its first line")
    check(not os.path.exists(s.unix(se.DEST)), "no folder created")


def silent_runs(s):
    dist = se.make_dist(s, "SilentNoReadme", WITHOUT_README)
    proc = se.start(s, dist, "-s")
    w, text = se.box(s)
    check(text == se.STOP_NOTICE, f"silent stop: the stop notice is the only message ({text!r})")
    if w:
        se.press(s, w, "Return")
    check(s.wait_exit(proc, 30) == se.EXIT_STOPPED, "exit code 1: stopped")

    # Nothing installed yet: the uninstall section is skipped, and the exit
    # code says so.
    dist = se.make_dist(s, "Silent")
    proc = se.start(s, dist, "-u", "-s")
    code, texts = se.finish(s, proc)
    check(code == se.EXIT_NOT_INSTALLED and not texts, f"uninstalling nothing exits with 5 silently ({code}, {texts})")

    proc = s.start(os.path.join(dist, "Setup.exe"), "-s", cwd=dist)
    seen = set()
    end = time.time() + 60
    while proc.poll() is None and time.time() < end:
        for w in s.windows():
            if w["class"] in ("#32770", "OrvaltClass"):
                seen.add(w["text"])
        time.sleep(0.2)
    check(proc.wait(timeout=30) == 0, "silent install exits with 0")
    check(not seen, f"no window or dialog shown ({sorted(seen)})")
    check(se.installed(s, "Klvo.exe") and se.installed(s, r"System\Klvo.hlp"), "files installed")


def platform_check():
    with Session("setup_platform", win95=False) as s:
        dist = se.make_dist(s)
        for args in ((), ("-s",)):
            proc = se.start(s, dist, *args)
            b = se.expect_box(s, "Kelvoは、WindowsNTでは動作しません。\nWindows 95を使用してください。",
                              f"platform 2 refused {' '.join(args)}")
            if not args:
                s.screenshot("platform_refused.png")
            se.press(s, b, "Return")
            se.expect_stop(s, proc)
        check(not s.windows(se.WELCOME), "no wizard page on the refused platform")


def scenario():
    with Session("setup_stops") as s:
        missing_source(s)
        silent_runs(s)
    platform_check()


if __name__ == "__main__":
    run(scenario)
