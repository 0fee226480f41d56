"""In the emulated 32-bit PC: the shipped Setup.exe through every wizard
page (a screenshot of each), the Start-menu item, then Kelvo started from
the installed folder: F2 in the application in front with the pop-up, the
key dialog, and the chosen key still in force after a restart."""
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from harness import TIME_SCALE, Failure, Session, check, run  # noqa: E402
import roundtrip as rt  # noqa: E402
from klvo_support import IMES, bring_to_front, flash_windows, install_imes, popup_gone, start_app, window_ime  # noqa: E402
from test_klvoui_display import start_restored  # noqa: E402

KEY_DIALOG = "^キーの設定$"
KEY = r"HKCU\Software\Mokra\Kelvo\Key"


def install(s):
    dist = rt.copy_dist(s)
    setup = rt.wizard_install(s, dist, {rt.WELCOME: "01_welcome.png", rt.FOLDER: "02_folder.png",
                                        rt.INSTALL_CONFIRM: "03_confirm.png", rt.START_MENU: "04_startmenu.png"})
    rt.confirm_notice(s, rt.INSTALL_DONE, shot="06_done.png", folder_shot="05_startmenu_folder.png")
    check(s.wait_exit(setup, 60) == 0, "installer exits with 0")
    rt.check_installed(s, dist, start_menu=True)


def hold_change_key(s, key, shot=None):
    s.key_down(key)
    time.sleep(1.2 * TIME_SCALE)
    seen = flash_windows(s)
    if shot:
        s.screenshot(shot)
    s.key_up(key)
    popup_gone(s, timeout=10)
    return seen


def kelvo(s):
    # The installed Klvo.exe calls the system's IME functions, which 32-bit
    # Wine lacks: the build with the stand-in IMEs takes its place.
    folder = s.find_unix(rt.DEST)
    for name in ["Klvo.exe", "SIMIMEA.IME", "SIMIMEB.IME", "SIMIMEC.IME", "SIMIMED.IME"]:
        shutil.copy(s.testapp(name), folder)
    s.dist = folder
    install_imes(s)
    app = start_app(s, "Switch target")
    proc, main = start_restored(s)
    s.screenshot("07_kelvo.png")
    check(bring_to_front(s, app, settle=1.8 * TIME_SCALE), "the test application is in front")
    seen = hold_change_key(s, "F2", shot="08_popup.png")
    check(len(seen) == 1 and seen[0]["text"] == IMES[1][1], f"while F2 is held the pop-up shows '{IMES[1][1]}'")
    check(window_ime(s, app) == IMES[1][0], "the application now uses the second IME")

    s.menu(main, 2020)
    dialog = s.wait_window(KEY_DIALOG)
    check(dialog is not None, "key settings dialog opens")
    s.select(dialog, 203, 6)
    time.sleep(1)
    chosen = [c for c in s.children(dialog) if c["id"] == 203]
    check(chosen and chosen[0]["text"] == "F5", "F5 chosen")
    s.screenshot("09_keys.png")
    s.command(dialog, 1)
    check(s.wait_window(KEY_DIALOG, timeout=10, gone=True), "OK closes the dialog")
    s.menu(main, 1020)
    check(s.wait_exit(proc, 30) == 0, "Kelvo exits with 0")
    check(s.reg_query(KEY, "ChangeVKey") == "0x74", "F5 saved as the change key")

    proc, main = start_restored(s)
    check(bring_to_front(s, app, settle=1.8 * TIME_SCALE), "the test application is in front again")
    hold_change_key(s, "F2")
    check(window_ime(s, app) == IMES[1][0], "after the restart F2 no longer switches")
    seen = hold_change_key(s, "F5", shot="10_popup_f5.png")
    check(len(seen) == 1 and seen[0]["text"] == IMES[2][1], "F5 switches after the restart")
    check(window_ime(s, app) == IMES[2][0], "the application now uses the third IME")
    s.menu(main, 1020)
    check(s.wait_exit(proc, 30) == 0, "Kelvo exits with 0 again")


def scenario():
    with Session("emu_installed_kelvo") as s:
        try:
            started = time.time()
            install(s)
            print(f"     install: {time.time() - started:.0f} s", flush=True)
            started = time.time()
            kelvo(s)
            print(f"     Kelvo: {time.time() - started:.0f} s", flush=True)
        except Failure:
            s.screenshot("failure.png")
            raise


if __name__ == "__main__":
    run(scenario)
