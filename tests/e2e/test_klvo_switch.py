"""The change key: F2 moves the application in front to the next IME of
the cycle and shows the pop-up (icon, name, checkered shadow) while the key
is held; excluded IMEs are skipped; nothing is shown when the current IME
is the only eligible one."""

from harness import Session, check, run
from klvo_support import (IMES, KELVO, bring_to_front, eventually, exclude, hold_change_key, install_imes, popup_gone,
                          records, start_app, start_kelvo, tap_change_key, window_ime)


def press_change_key(s, shot=None, expect_popup=True):
    """Holds F2; returns the pop-ups seen while it was held."""
    seen = hold_change_key(s, expect_popup)
    if shot:
        s.screenshot(shot)
    s.key_up("F2")
    popup_gone(s)
    return seen


def scenario():
    with Session("klvo_switch") as s:
        install_imes(s)
        exclude(s, "NOTINSTALLED.IME")
        app = start_app(s, "Switch target")
        proc, main = start_kelvo(s)
        check(bring_to_front(s, app), "the test application is in front")
        check(window_ime(s, app) is None, "the application has not been given an IME yet")

        seen = press_change_key(s, shot="popup_held.png")
        check(len(seen) == 1 and seen[0]["text"] == IMES[1][1],
              f"while F2 is held the pop-up shows '{IMES[1][1]}' ({seen})")
        if seen:
            w, h = seen[0]["rect"][2] - seen[0]["rect"][0], seen[0]["rect"][3] - seen[0]["rect"][1]
            check(abs((seen[0]["rect"][0] + w // 2) - 400) <= 1 and abs((seen[0]["rect"][1] + h // 2) - 300) <= 1,
                  f"the pop-up is centred on the 800x600 screen ({seen[0]['rect']})")
        check(popup_gone(s), "the pop-up is gone after the release")
        check(window_ime(s, app) == IMES[1][0], "the application now uses the second IME")
        sets = [r for r in records(s) if r.startswith("IMPSetIMEA")]
        check(len(sets) == 1 and IMES[1][0] in sets[0], f"one IMPSetIMEA call ({sets})")
        enables = [r for r in records(s) if r.startswith("WINNLSEnableIME")]
        check(len(enables) == 2 and " 0 = " in enables[0], f"the IME is disabled around the switch ({enables})")

        # A short tap still shows the pop-up once and closes it.
        tap_change_key(s)
        check(eventually(lambda: window_ime(s, app) == IMES[2][0]), "a tap moves on to the third IME")
        check(popup_gone(s), "no pop-up is left after a tap")
        tap_change_key(s)
        check(eventually(lambda: window_ime(s, app) == IMES[0][0]), "after the last IME the cycle wraps round to the first")
        s.close(main)
        check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")

        # Excluded IMEs are skipped (here with the sound on and its file
        # missing); with only the current one left nothing happens.
        exclude(s, IMES[1][0])
        s.reg_add(KELVO + r"\Sound", "PlaySound", "REG_DWORD", 1)
        s.reg_add(r"HKCU\AppEvents\Schemes\Apps\Kelvo\KelvoIMEChange\.Current", "", "REG_SZ", r"C:\missing.wav")
        proc, main = start_kelvo(s)
        check(bring_to_front(s, app), "the test application is in front again")
        press_change_key(s)
        check(window_ime(s, app) == IMES[2][0], "the excluded second IME is skipped, the missing sound does no harm")
        s.close(main)
        s.wait_exit(proc, 15)
        exclude(s, IMES[1][0], IMES[0][0])      # Klvo.exe saved its list at exit: write after that
        proc, main = start_kelvo(s)
        check(bring_to_front(s, app), "the test application is in front once more")
        before = len(records(s))
        seen = press_change_key(s, shot="only_one_eligible.png", expect_popup=False)
        check(not seen, "with only the current IME eligible no pop-up appears")
        check(window_ime(s, app) == IMES[2][0], "and the application keeps its IME")
        check(not any(r.startswith("IMPSetIMEA") for r in records(s)[before:]), "and IMPSetIMEA is not called")
        s.close(main)
        check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")


if __name__ == "__main__":
    run(scenario)
