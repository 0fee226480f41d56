"""The Start-menu question of an interactive installation: "登録しない"
installs everything but leaves the Start menu alone; Cancel stops the run
before the installer removes itself."""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Session, check, run  # noqa: E402
import roundtrip as rt  # noqa: E402


def install_until_question(s, dist):
    setup = s.start(os.path.join(dist, "Setup.exe"), cwd=dist)
    rt.page(s, rt.WELCOME, "Return")
    rt.page(s, rt.FOLDER, "Return")
    rt.page(s, rt.INSTALL_CONFIRM, "Return")
    return setup


def scenario():
    with Session("roundtrip_decline") as s:
        dist = rt.copy_dist(s)
        setup = install_until_question(s, dist)
        w = rt.page(s, rt.START_MENU, "alt+n")
        no = s.control(w, 1002)
        check(no is not None and no["checked"] == 1, "登録しない is chosen")
        s.screenshot("startmenu_declined.png")
        s.key("Return")
        rt.confirm_notice(s, rt.INSTALL_DONE)
        check(s.wait_exit(setup, 30) == 0, "installer exits with 0")
        check(rt.wait_until(lambda: not os.path.exists(os.path.join(dist, "Setup.exe")), 10) is not None,
              "Setup.exe deleted from the distribution folder")
        rt.check_installed(s, dist, start_menu=False)
        check(not os.path.exists(os.path.join(rt.programs_folder(s), rt.GROUP)),
              "the Start menu is left alone")

    with Session("roundtrip_cancel") as s:
        dist = rt.copy_dist(s)
        setup = install_until_question(s, dist)
        rt.page(s, rt.START_MENU, "Escape")
        check(rt.dismiss_abort_notice(s), "Cancel stops the run with セットアップを中止します。")
        check(s.wait_exit(setup, 30) == 2, "installer exits with 2: cancelled")
        time.sleep(2)
        check(os.path.exists(os.path.join(dist, "Setup.exe")), "no clean-up copy was started")
        check(not os.path.exists(os.path.join(rt.programs_folder(s), rt.GROUP)), "no Start-menu group")
        check(os.path.isfile(s.unix(rt.DEST + r"\Klvo.exe")), "files of the first block stay (no rollback)")
        check(all(os.path.exists(os.path.join(dist, name)) for name in ("Klvo.exe", "Klvo.hlp", "Readme.txt", "Manual.txt")),
              "the moved files stay in the distribution: running it again can finish")


if __name__ == "__main__":
    run(scenario)
