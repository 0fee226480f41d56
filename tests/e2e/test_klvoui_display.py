"""Kelvo's restored window: the display with and without the status bar,
the menu help in the status bar while the mouse or the keyboard moves over
the menus, and the key hint after the change key becomes Shift+Ctrl+F2."""
from harness import Session, check, run
from klvo_support import eventually, in_front, restore_main, ticks_pass

MAIN = "^Kelvo$"
HINT_F2 = "日本語入力システムを切り替えるには、F2キーを押します。"
HINT_SHIFT_CTRL_F2 = "日本語入力システムを切り替えるには、Shift+Ctrl+F2キーを押します。"
KEY = r"HKCU\Software\Mokra\Kelvo\Key"
RECORD = r"HKCU\Software\KelvoTest\Record"


# The helpers below are shared by the other test_klvoui_* scenarios.
def start_restored(s):
    """Starts Kelvo and restores its window; (process, window)."""
    proc = s.start(s.dist_file("Klvo.exe"), cwd=s.dist)
    main = s.wait_window(MAIN, timeout=30)
    check(main is not None and main["iconic"] == 1, "Kelvo starts minimised")
    main = restore_main(s, main)
    check(main is not None and main["iconic"] == 0, "the window is restored")
    return proc, main


def status_bar(s, main):
    for child in s.children(main):
        if child["class"] == "KelvoStatusClass":
            return child
    return None


def status_text(s, main):
    bar = status_bar(s, main)
    return None if bar is None else bar["text"]


def size(window):
    r = window["rect"]
    return r[2] - r[0], r[3] - r[1]


def switches(s):
    """File names of the IMEs set so far, from the simulated IME record."""
    count = s.reg_query(RECORD, "Count")
    count = int(count, 0) if count else 0
    rows = [s.reg_query(RECORD, str(i)) or "" for i in range(count)]
    return [row.split()[2] for row in rows if row.startswith("IMPSetIMEA")]


def scenario():
    with Session("klvoui_display") as s:
        proc, main = start_restored(s)
        bar = status_bar(s, main)
        check(bar is not None and bar["text"] == HINT_F2, "status bar names F2")
        br = bar["rect"]
        check(br[3] - br[1] == 22, "status bar is 22 pixels high")
        s.screenshot("restored.png")
        outer = size(main)

        # Status bar off and on again: the window shrinks by 22 and comes back.
        s.menu(main, 1010)
        check(eventually(lambda: size(s.wait_window(MAIN)) == (outer[0], outer[1] - 22)),
              "window 22 pixels lower without status bar")
        main = s.wait_window(MAIN)
        check(status_bar(s, main) is None, "status bar gone after the first toggle")
        s.screenshot("no_status_bar.png")
        s.menu(main, 1010)
        check(eventually(lambda: size(s.wait_window(MAIN)) == outer),
              "toggled twice the window keeps its outer size %s" % (outer,))
        main = s.wait_window(MAIN)
        check(eventually(lambda: status_text(s, main) == HINT_F2), "key hint back with the status bar")

        # Menu help under the mouse and the keyboard.
        s.activate(main)
        eventually(lambda: in_front(s, main))
        left, top = main["rect"][0], main["rect"][1]
        s.click(left + 30, top + 32)            # the View menu
        check(eventually(lambda: status_text(s, main) == "ステータスバーの設定とKelvo終了"), "View menu help")
        s.mouse_move(left + 60, top + 75)       # its Exit entry
        check(eventually(lambda: status_text(s, main) == "Kelvoの終了"), "Exit entry help while hovering")
        s.screenshot("menu_help.png")
        s.key("Right")
        check(eventually(lambda: status_text(s, main) == "切替対象にする日本語入力システム(IME)の選択"),
              "first Options entry help")
        s.key("Down")
        check(eventually(lambda: status_text(s, main) == "切替キーおよびON/OFFキーと、サウンドの設定"),
              "key settings entry help")
        s.key("Right")
        check(eventually(lambda: status_text(s, main) == "ヘルプの目次表示"), "help contents entry help")
        s.key("Escape", "Escape")
        check(eventually(lambda: status_text(s, main) == HINT_F2), "closing the menu brings the key hint back")
        s.key("alt+space")
        check(eventually(lambda: status_text(s, main) == ""), "the system menu empties the status bar")
        s.key("Escape", "Escape")
        check(eventually(lambda: status_text(s, main) == HINT_F2), "key hint after the system menu")

        # Key settings from the keyboard: Shift and Ctrl ticked with F2.
        s.key("alt+o", "k")
        dialog = s.wait_window("^キーの設定$")
        check(dialog is not None, "key settings dialog opens")
        check(eventually(lambda: status_text(s, main) == ""), "status bar empty while the dialog is open")
        s.key("alt+s", "alt+c")
        ticks = {c["id"]: c.get("checked") for c in s.children(dialog)}
        check(ticks.get(204) == 1 and ticks.get(205) == 1 and ticks.get(206) == 0,
              "Shift and Ctrl ticked")
        s.screenshot("key_dialog.png")
        s.key("Return")
        check(s.wait_window("^キーの設定$", timeout=5, gone=True), "OK closes the dialog")
        check(eventually(lambda: status_text(s, main) == HINT_SHIFT_CTRL_F2), "key hint names Shift+Ctrl+F2")
        s.screenshot("hint_shift_ctrl_f2.png")

        # The hot key moved: F2 alone no longer switches, Shift+Ctrl+F2 does.
        before = len(switches(s))
        s.key("F2")
        ticks_pass(s, 2)
        check(len(switches(s)) == before, "F2 alone switches nothing")
        s.key("shift+ctrl+F2")
        check(eventually(lambda: len(switches(s)) == before + 1), "Shift+Ctrl+F2 switches the IME")

        s.menu(main, 1020)
        check(s.wait_exit(proc, 20) == 0, "Kelvo exits")
        check(s.reg_query(KEY, "ChangeVKey") == "0x71", "ChangeVKey 113 saved")
        check(s.reg_query(KEY, "ChangeKeyModifier") == "0x6", "ChangeKeyModifier 6 saved")


if __name__ == "__main__":
    run(scenario)
