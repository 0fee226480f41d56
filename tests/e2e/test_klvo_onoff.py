"""The on/off key opens and closes the IME of the application in front, and
of a child window of another thread inside it to the same state; a hot key
that comes while the change key is held is ignored. The on/off key is set
to F3 here (the 変換 key has no reliable X key in Xvfb)."""

from harness import Session, check, run
from klvo_support import (KELVO, bring_to_front, eventually, hold_change_key, install_imes, popup_gone, records,
                          start_app, start_kelvo, ticks_pass, window_open)


def scenario():
    with Session("klvo_onoff") as s:
        install_imes(s)
        s.reg_add(KELVO + r"\Key", "OnOffVKey", "REG_DWORD", 114)
        app = start_app(s, "OnOff target")
        nested = start_app(s, "Nested target", "foreign-child")
        child = [c for c in s.children(nested) if c["class"] == "KelvoFgChild"]
        check(len(child) == 1 and child[0]["pid"] == nested["pid"], "the nested application has its foreign child")
        proc, main = start_kelvo(s)

        check(bring_to_front(s, app), "the first application is in front")
        check(window_open(s, app) == 0, "its IME starts closed")
        s.key("F3")
        check(eventually(lambda: window_open(s, app) == 1), "F3 opens it")
        s.key("F3")
        check(eventually(lambda: window_open(s, app) == 0), "F3 again closes it: the former state is back")

        check(bring_to_front(s, nested), "the nested application is in front")
        s.key("F3")
        check(eventually(lambda: window_open(s, nested) == 1 and window_open(s, child[0]) == 1),
              "F3 opens the frame's IME and the foreign child's")
        s.key("F3")
        check(eventually(lambda: window_open(s, nested) == 0 and window_open(s, child[0]) == 0),
              "F3 again closes both")

        before = len(records(s))
        check(len(hold_change_key(s)) == 1, "the change key is held, its pop-up is up")
        s.key("F3")
        s.key_up("F2")
        check(popup_gone(s), "the pop-up closes at the release")
        ticks_pass(s, 2)
        during = [r for r in records(s)[before:] if r.startswith("SendIMEMessageExA")]
        check(not during, f"F3 while F2 is held does nothing ({during})")
        check(window_open(s, nested) == 0, "the IME stays closed")
        s.close(main)
        check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")


if __name__ == "__main__":
    run(scenario)
