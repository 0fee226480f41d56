"""Kelvo's IME selection dialog: an IME moved to the not-used list is skipped
by the very next change key, Cancel discards moves, the list reaches the
registry as IME0... at exit, and two IMEs that share a display name leave
the cycle together."""

from harness import Session, check, run
from klvo_support import eventually, ticks_pass
from test_klvoui_display import start_restored, switches

DIALOG = "^日本語入力システムの選択$"
IME_KEY = r"HKCU\Software\Mokra\Kelvo\IME"
SIM_IMES = r"HKCU\Software\KelvoTest\IME"


def press_change_key(s, expect=True):
    """The IME that F2 set, or None when it set none (looked at once
    Kelvo's ticks have gone on, when no switch is expected)."""
    before = len(switches(s))
    s.key("F2")
    if expect:
        eventually(lambda: len(switches(s)) > before)
    else:
        ticks_pass(s, 2)
    after = switches(s)
    return after[-1] if len(after) > before else None


def list_counts(s, dialog):
    c = {x["id"]: x for x in s.children(dialog)}
    return len(c[102]["items"]), len(c[106]["items"])


def open_dialog(s, main):
    s.menu(main, 2010)
    dialog = s.wait_window(DIALOG)
    check(dialog is not None, "IME selection dialog opens")
    check(eventually(lambda: sum(list_counts(s, dialog)) > 0), "with its lists filled")
    return dialog


def move_down(s, dialog, index):
    before = list_counts(s, dialog)
    s.select(dialog, 102, index)
    s.command(dialog, 103)
    eventually(lambda: list_counts(s, dialog) != before)


def excluded_in_registry(s):
    names = []
    while True:
        value = s.reg_query(IME_KEY, "IME%d" % len(names))
        if value is None:
            return names
        names.append(value)


def skip_at_once():
    with Session("klvoui_imes") as s:
        proc, main = start_restored(s)
        check(press_change_key(s) == "SIMIMEB.IME", "F2 goes from IME A to IME B")

        # Take IME C out of the cycle: B is followed by D.
        dialog = open_dialog(s, main)
        check(list_counts(s, dialog) == (4, 0), "four IMEs in use, none left out")
        move_down(s, dialog, 2)
        check(list_counts(s, dialog) == (3, 1), "IME C moved to the not-used list")
        s.screenshot("ime_dialog.png")
        s.command(dialog, 1)
        check(s.wait_window(DIALOG, timeout=5, gone=True), "OK closes the dialog")
        check(press_change_key(s) == "SIMIMED.IME", "F2 skips IME C at once")

        # Moves that end in Cancel change nothing: D is followed by A.
        dialog = open_dialog(s, main)
        check(list_counts(s, dialog) == (3, 1), "dialog reopens with IME C left out")
        move_down(s, dialog, 0)
        s.select(dialog, 106, 0)
        s.command(dialog, 104)
        check(eventually(lambda: list_counts(s, dialog) == (3, 1)), "one entry down, one up")
        s.command(dialog, 2)
        check(s.wait_window(DIALOG, timeout=5, gone=True), "Cancel closes the dialog")
        check(press_change_key(s) == "SIMIMEA.IME", "after Cancel IME A is still in the cycle")

        s.menu(main, 1020)
        check(s.wait_exit(proc, 20) == 0, "Kelvo exits")
        check(excluded_in_registry(s) == ["SIMIMEC.IME"], "saved as IME0 = SIMIMEC.IME only")


def shared_display_name():
    with Session("klvoui_imes_twins") as s:
        s.reg_add(SIM_IMES, "1", "REG_SZ", "TWIN1.IME|同名IME")
        s.reg_add(SIM_IMES, "2", "REG_SZ", "OTHER.IME|別のIME")
        s.reg_add(SIM_IMES, "3", "REG_SZ", "TWIN2.IME|同名IME")
        s.reg_add(IME_KEY, "Stale", "REG_SZ", "GONE.IME")
        proc, main = start_restored(s)
        dialog = open_dialog(s, main)
        check(list_counts(s, dialog) == (3, 0), "both twins listed, the stale name not shown")
        move_down(s, dialog, 2)
        s.command(dialog, 1)
        check(s.wait_window(DIALOG, timeout=5, gone=True), "OK closes the dialog")
        check(press_change_key(s) == "OTHER.IME", "F2 goes to the one IME left")
        check(press_change_key(s, expect=False) is None, "with one eligible IME F2 switches no further")
        s.menu(main, 1020)
        check(s.wait_exit(proc, 20) == 0, "Kelvo exits")
        check(excluded_in_registry(s) == ["TWIN1.IME", "TWIN2.IME"],
              "both twins saved in enumeration order, the stale name dropped")


def scenario():
    skip_at_once()
    shared_display_name()


if __name__ == "__main__":
    run(scenario)
