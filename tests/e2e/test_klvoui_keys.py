"""Kelvo's key settings dialog: a two-key choice stores its own modifiers
whatever the ticks, Cancel stores nothing, and "なし" unregisters the change
key so that no key switches any more."""

from harness import Session, check, run
from klvo_support import eventually, ticks_pass
from test_klvoui_display import start_restored, status_text, switches

DIALOG = "^キーの設定$"
HINT = "日本語入力システムを切り替えるには、%sキーを押します。"
NO_KEY = "日本語入力システムを切り替えるキーは、設定されていません。"
KEY = r"HKCU\Software\Mokra\Kelvo\Key"


def open_dialog(s, main):
    s.menu(main, 2020)
    dialog = s.wait_window(DIALOG)
    check(dialog is not None, "key settings dialog opens")
    check(eventually(lambda: controls(s, dialog).get(203, {}).get("items")), "with its key list filled")
    return dialog


def controls(s, dialog):
    return {c["id"]: c for c in s.children(dialog)}


def presses_switch(s, keys, expect=True):
    """True when the keys switched an IME: polled when a switch is expected,
    else looked at once Kelvo's ticks have gone on."""
    before = len(switches(s))
    s.key(keys)
    if expect:
        return eventually(lambda: len(switches(s)) > before)
    ticks_pass(s, 2)
    return len(switches(s)) > before


def choices():
    with Session("klvoui_keys") as s:
        proc, main = start_restored(s)
        check(presses_switch(s, "F2"), "F2 switches at start")

        # Alt+Shift with every box ticked: the boxes go grey, keep their
        # ticks, and OK stores Shift with Alt and Shift only.
        dialog = open_dialog(s, main)
        s.key("alt+s", "alt+c", "alt+a")
        s.select(dialog, 203, 0)
        check(eventually(lambda: all(controls(s, dialog)[i]["enabled"] == 0 for i in (204, 205, 206))),
              "the choice is taken")
        c = controls(s, dialog)
        check(c[203]["text"] == "Alt+Shift", "Alt+Shift chosen")
        check(all(c[i]["enabled"] == 0 for i in (204, 205, 206)), "modifier boxes disabled")
        check(all(c[i]["checked"] == 1 for i in (204, 205, 206)), "ticks kept")
        s.screenshot("alt_shift.png")
        s.command(dialog, 1)
        check(s.wait_window(DIALOG, timeout=5, gone=True), "OK closes the dialog")
        check(eventually(lambda: status_text(s, main) == HINT % "Alt+Shift"), "key hint names Alt+Shift")
        check(not presses_switch(s, "F2", expect=False), "F2 no longer switches")

        # Reopened, the dialog shows the stored choice with no ticks: only key
        # 16 with modifiers exactly 5 finds the Alt+Shift row. (Wine reports
        # a pressed Shift as VK_LSHIFT, so the hot key itself cannot be
        # pressed here.)
        dialog = open_dialog(s, main)
        c = controls(s, dialog)
        check(c[203]["text"] == "Alt+Shift", "stored Alt+Shift selected again")
        check(all(c[i]["checked"] == 0 for i in (204, 205, 206)), "no box ticked for a two-key row")

        # Cancel after changes stores nothing.
        s.select(dialog, 203, 6)
        s.key("alt+a")
        check(eventually(lambda: controls(s, dialog)[203]["text"] == "F5"), "F5 chosen before Cancel")
        s.command(dialog, 2)
        check(s.wait_window(DIALOG, timeout=5, gone=True), "Cancel closes the dialog")
        check(eventually(lambda: status_text(s, main) == HINT % "Alt+Shift"), "Cancel keeps Alt+Shift")
        check(not presses_switch(s, "alt+F5", expect=False), "Alt+F5 was not registered")

        # "なし", the last entry: no change key at all.
        dialog = open_dialog(s, main)
        items = controls(s, dialog)[203]["items"]
        s.select(dialog, 203, len(items) - 1)
        check(eventually(lambda: controls(s, dialog)[203]["text"] == "なし"), "なし chosen")
        s.screenshot("none.png")
        s.key("Return")
        check(s.wait_window(DIALOG, timeout=5, gone=True), "OK closes the dialog")
        check(eventually(lambda: status_text(s, main) == NO_KEY), "status bar says no key is set")
        check(not presses_switch(s, "F2", expect=False), "F2 does nothing")

        s.menu(main, 1020)
        check(s.wait_exit(proc, 20) == 0, "Kelvo exits")
        check(s.reg_query(KEY, "ChangeVKey") == "0x0", "ChangeVKey 0 saved")
        check(s.reg_query(KEY, "ChangeKeyModifier") == "0x0", "ChangeKeyModifier 0 saved")
        check(s.reg_query(KEY, "OnOffVKey") == "0x1c", "on/off key unchanged")


def key_outside_the_menu():
    # A stored change key that no menu row stands for (the A key): the
    # status bar says that no key is set, the dialog selects nothing, and
    # Cancel keeps the stored key.
    with Session("klvoui_keys_unnamed") as s:
        s.reg_add(KEY, "ChangeVKey", "REG_DWORD", 65)
        proc, main = start_restored(s)
        check(status_text(s, main) == NO_KEY, "status bar says no key is set for key 65")
        dialog = open_dialog(s, main)
        c = controls(s, dialog)
        check(c[203]["selected"] == -1, "no change key selected")
        s.command(dialog, 2)
        check(s.wait_window(DIALOG, timeout=5, gone=True), "Cancel closes the dialog")
        s.menu(main, 1020)
        check(s.wait_exit(proc, 20) == 0, "Kelvo exits")
        check(s.reg_query(KEY, "ChangeVKey") == "0x41", "key 65 kept")


def scenario():
    choices()
    key_outside_the_menu()


if __name__ == "__main__":
    run(scenario)
