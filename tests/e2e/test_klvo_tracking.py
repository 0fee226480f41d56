"""Foreground tracking: with one IME for all applications the IME in force
is imposed on an application that comes to the front, and a switch made
inside it afterwards is accepted; with the option off each application
keeps its own IME. In a dialog the IME of its first Edit control counts."""

from harness import Session, check, run
from klvo_support import (IMES, KELVO, bring_to_front, eventually, install_imes, records, set_window_ime, start_app,
                          start_kelvo, tap_change_key, ticks_pass, window_ime)

A, B, C = (name for name, _ in IMES)


def sets_since(s, before):
    return [r for r in records(s)[before:] if r.startswith("IMPSetIMEA")]


def one_ime_for_all(s):
    first = start_app(s, "First app")
    second = start_app(s, "Second app")
    set_window_ime(s, first, A)
    set_window_ime(s, second, B)
    proc, main = start_kelvo(s)
    check(bring_to_front(s, second), "the second application (IME B) is in front")
    check(window_ime(s, second) == B, "it keeps IME B, which is now the IME in force")
    before = len(records(s))
    check(bring_to_front(s, first), "the first application (IME A) comes to the front")
    check(eventually(lambda: window_ime(s, first) == B), "it is given IME B")
    sets = sets_since(s, before)
    check(len(sets) == 1 and B in sets[0], f"with one IMPSetIMEA ({sets})")

    set_window_ime(s, first, C)                 # the user picks C inside the application
    ticks_pass(s, 3)
    check(window_ime(s, first) == C, "a switch made inside it afterwards is kept")
    check(bring_to_front(s, second), "the second application comes back to the front")
    check(eventually(lambda: window_ime(s, second) == C), "and now C is imposed on it")
    s.screenshot("imposed.png")
    s.close(main)
    check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")
    return first, second


def follow_each(s, first, second):
    s.reg_add(KELVO + r"\Key", "UseSameImeForAllApps", "REG_DWORD", 0)
    set_window_ime(s, first, A)
    set_window_ime(s, second, B)
    proc, main = start_kelvo(s)
    before = len(records(s))
    check(bring_to_front(s, first), "option off: the first application is in front")
    check(bring_to_front(s, second), "the second one comes to the front")
    check(bring_to_front(s, first), "and the first again")
    check(window_ime(s, first) == A and window_ime(s, second) == B, "each keeps its own IME")
    check(not sets_since(s, before), "and the switcher never calls IMPSetIMEA")
    s.close(main)
    check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")


def dialog_targets(s):
    s.reg_add(KELVO + r"\Key", "UseSameImeForAllApps", "REG_DWORD", 1)
    dialog = start_app(s, "Dialog app", "dialog")
    plain = start_app(s, "Plain dialog", "dialog-noedit")
    edit = [c for c in s.children(dialog) if c["class"].lower() == "edit"]
    check(dialog["class"] == "#32770" and len(edit) == 1, "the dialog application has one Edit control")
    proc, main = start_kelvo(s)
    check(bring_to_front(s, dialog), "the dialog application is in front")
    tap_change_key(s)
    check(eventually(lambda: window_ime(s, edit[0]) == B) and window_ime(s, dialog) is None,
          "F2 switches the Edit control of the dialog, not the dialog")
    ticks_pass(s, 2)                            # a tick takes B as the IME in force
    check(bring_to_front(s, plain), "a dialog without an Edit control is in front")
    check(eventually(lambda: window_ime(s, plain) == B), "it is set through the dialog window itself (B imposed)")
    s.close(main)
    check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")


def scenario():
    with Session("klvo_tracking") as s:
        install_imes(s)
        first, second = one_ime_for_all(s)
        follow_each(s, first, second)
        dialog_targets(s)


if __name__ == "__main__":
    run(scenario)
