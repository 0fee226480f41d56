"""Life cycle of Klvo.exe: quitting while the change key is held still ends
the process; the window position and the options survive a restart; the
key settings dialog writes the sound path back even when cancelled; F1
opens the help, which closes with the program."""
import time

from harness import Session, check, run
from klvo_support import (KELVO, bring_to_front, eventually, hold_change_key, in_front, install_imes, main_window,
                          restore_main, start_app, start_kelvo)

SOUND_EVENT = r"HKCU\AppEvents\Schemes\Apps\Kelvo\KelvoIMEChange\.Current"


def quit_while_held(s):
    app = start_app(s, "Held target")
    proc, main = start_kelvo(s)
    check(bring_to_front(s, app), "the test application is in front")
    check(len(hold_change_key(s)) == 1, "F2 is held and the pop-up is up")
    s.close(main)
    code = s.wait_exit(proc, 15)
    s.key_up("F2")
    check(code == 0, f"WM_CLOSE while F2 is held ends Klvo.exe with code 0 ({code})")


def settings_survive(s):
    s.reg_add(KELVO + r"\Window", "XPos", "REG_DWORD", 120)
    s.reg_add(KELVO + r"\Window", "YPos", "REG_DWORD", 90)
    proc, main = start_kelvo(s)
    main = restore_main(s, main)
    check(main is not None and main["rect"][:2] == [120, 90], f"the stored position is used ({main})")
    height = main["rect"][3] - main["rect"][1]
    s.menu(main, 1010)
    lower = lambda: (lambda m: m is not None and m["rect"][3] - m["rect"][1] == height - 22)(main_window(s))
    check(eventually(lower), "the status bar off makes the window 22 lower")
    main = main_window(s)
    s.screenshot("status_bar_off.png")
    s.close(main)
    check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")
    check(s.reg_query(KELVO + r"\Window", "StatusBar") == "0x0", "StatusBar 0 is stored")
    xpos = s.reg_query(KELVO + r"\Window", "XPos")
    check(xpos == "0x78", f"XPos is stored ({xpos})")

    proc, main = start_kelvo(s)
    main = restore_main(s, main)
    check(main["rect"][:2] == [120, 90] and main["rect"][3] - main["rect"][1] == height - 22,
          f"after a restart: same place, still without status bar ({main['rect']})")
    s.close(main)
    check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")


def cancel_saves_sound(s):
    check(s.reg_query(SOUND_EVENT) is None, "no sound event key yet")
    proc, main = start_kelvo(s)
    s.menu(main, 2020)
    end = time.time() + 10
    dialog = None
    while time.time() < end and dialog is None:
        found = [w for w in s.windows() if w["class"] == "#32770" and w["pid"] == main["pid"]]
        dialog = found[0] if found else None
        time.sleep(0.3)
    check(dialog is not None, "the key settings dialog opens")
    s.command(dialog, 2)
    check(eventually(lambda: s.reg_query(SOUND_EVENT, "") == ""), "Cancel still writes the (empty) sound path")
    s.close(main)
    check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")


def help_window(s, gone=False):
    end = time.time() + 15
    while time.time() < end:
        found = [w for w in s.windows() if w["class"] == "MS_WINHELP"]
        if bool(found) != gone:
            return found[0] if found else True
        time.sleep(0.5)
    return None


def help_follows(s):
    proc, main = start_kelvo(s)
    main = restore_main(s, main)
    s.activate(main)
    eventually(lambda: in_front(s, main))
    s.key("F1")
    check(help_window(s) is not None, "F1 opens the help file's contents")
    s.screenshot("help_f1.png")
    s.close(main)
    check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")
    check(help_window(s, gone=True) is not None, "closing Klvo.exe closes its help window")


def scenario():
    with Session("klvo_lifecycle") as s:
        install_imes(s)
        quit_while_held(s)
        settings_survive(s)
        cancel_saves_sound(s)
        help_follows(s)


if __name__ == "__main__":
    run(scenario)
