"""Cancelling each wizard page of the shipped script (Esc, the close box,
the ｷｬﾝｾﾙ button reached with Tab) ends the run with the stop notice alone,
exit code 2 (cancelled), and nothing moved or created."""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Session, check, run  # noqa: E402
import setup_e2e as se  # noqa: E402


def cancel_at(s, dist, pages, how, *args, shot=None):
    """Goes through pages with Enter, cancels the last one; checks the stop."""
    proc = se.start(s, dist, *args)
    for title in pages[:-1]:
        se.press(s, se.page(s, title), "Return")
    w = se.page(s, pages[-1])
    if how == "close box":
        s.close(w)
    elif how == "cancel button":
        # Enter and Esc aside: Tab moves to ｷｬﾝｾﾙ, space presses it.
        se.press(s, w, "shift+Tab", "space")
    else:
        se.press(s, w, "Escape")
    b, text = se.box(s)
    check(text == se.STOP_NOTICE, f"{how} on {pages[-1]!r}: only the stop notice follows ({text!r})")
    if shot:
        s.screenshot(shot)
    if b:
        se.press(s, b, "Return")
    check(s.wait_exit(proc, 30) == se.EXIT_CANCELLED, "exit code 2: cancelled")
    check(os.path.exists(os.path.join(dist, "Klvo.exe")), "nothing moved")
    check(not os.path.exists(s.unix(se.DEST)), "no destination folder created")


def scenario():
    with Session("setup_cancel") as s:
        dist = se.make_dist(s)
        cancel_at(s, dist, [se.WELCOME], "Esc", shot="stop_notice.png")
        cancel_at(s, dist, [se.WELCOME, se.FOLDER], "close box")
        cancel_at(s, dist, [se.WELCOME, se.FOLDER, se.INSTALL_CONFIRM], "cancel button")

        # With an earlier installation recorded the choice page is offered,
        # and -u goes straight from the welcome page to the confirmation.
        s.reg_add(se.APP_PATHS_KEY, "Path", "REG_SZ", se.DEST)
        cancel_at(s, dist, [se.WELCOME, se.SELECT], "Esc")

        proc = se.start(s, dist, "-U")
        main = s.wait_window(se.MAIN)
        check(main is not None and main["text"] == "Kelvo セットアップ (アンインストール)",
              "-U: the caption says uninstall")
        w = se.page(s, se.WELCOME)
        text = s.control(w, 1007)
        check(text is not None and text["text"] == "これからアンインストールを開始します。", "-U: welcome announces uninstall")
        se.press(s, w, "Return")
        w = se.page(s, se.UNINSTALL_CONFIRM)
        path = s.control(w, 1022)
        check(path is not None and path["text"] == se.DEST, "133 shows the recorded folder")
        se.press(s, w, "Escape")
        b, text = se.box(s)
        check(text == se.STOP_NOTICE, f"Esc on 133: the stop notice ({text!r})")
        if b:
            se.press(s, b, "Return")
        check(s.wait_exit(proc, 30) == se.EXIT_CANCELLED, "exit code 2: cancelled")
        time.sleep(0.5)
        check(not s.windows(se.MAIN), "no installer window left")


if __name__ == "__main__":
    run(scenario)
