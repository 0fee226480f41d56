"""Kelvo against bad input, with the real program: a pop-up closed before
the change key's release does not make the next pop-up close at once; IME
records whose description (50 bytes) and file name (80 bytes) fill their
fields with no terminator are shown, listed and saved as exactly those
bytes; an application in front whose window stops answering takes neither
Kelvo nor its keys with it (the simulated IME calls, like the real ones,
wait for the window's thread), and once it answers again the keys work on
it as before. F3 stands for the on/off key (変換 has no reliable X key in
Xvfb). While the application hangs the hot keys are posted to Kelvo as the
system posts them: under Wine a key typed on X passes through the thread
of the window in front, which holds it while it hangs."""

from harness import Session, check, run
from klvo_support import (IMES, KELVO, SIM, WM_HOTKEY, WM_SYSCOMMAND, SC_RESTORE, answers, bring_to_front, eventually,
                          flash_windows, hold_change_key, install_imes, popup_gone, records, start_app, start_kelvo,
                          tap_change_key, ticks_pass, window_ime, window_open)
from test_klvoui_display import start_restored
from test_klvoui_imes import excluded_in_registry, open_dialog

LONG_NAME = "LONGNAMEDIMEX" + "X" * 63 + ".IME"                # 80 bytes
WIDE = "あいうえおかきくけこさしすせそたちつてとなにぬねの"    # 50 bytes in code page 932
NARROW = "Fifty bytes of description, and no room for a NUL."
FULL_WIDTH_IMES = [("SIMIMEA.IME", "試験用IME A"), (LONG_NAME, WIDE), ("SIMIMEC.IME", NARROW)]


def app_in_front_of(s, title, start):
    """Starts the test application and Kelvo (start: how); (app, process, main)."""
    app = start_app(s, title)
    proc, main = start(s)
    check(bring_to_front(s, app), "the test application is in front")
    return app, proc, main


def press_and_hold(s, shot=None):
    """Presses F2 and keeps it down; the pop-ups still up at a second look
    after the first one appeared."""
    hold_change_key(s)
    if shot:
        s.screenshot(shot)
    return flash_windows(s)


def popup_closed_early():
    with Session("klvo_hostile_popup") as s:
        install_imes(s)
        app, proc, main = app_in_front_of(s, "Held key", start_kelvo)
        first = press_and_hold(s)
        check(len(first) == 1, f"the first pop-up is up while F2 is held ({first})")
        if first:
            s.close(first[0])
        check(popup_gone(s), "the first pop-up is closed while F2 is still held")
        s.key_up("F2")
        ticks_pass(s, 1)                      # the key's handler has ended: ticks go on

        second = press_and_hold(s, "second_popup_held.png")
        check(len(second) == 1 and second[0]["text"] == "試験用IME C",
              f"the second pop-up stays up while F2 is held ({second})")
        s.key_up("F2")
        check(popup_gone(s), "and closes after the release")
        check(window_ime(s, app) == "SIMIMEC.IME", "the application went on to the third IME")
        s.close(main)
        check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")


def full_width_records():
    with Session("klvo_hostile_records") as s:
        install_imes(s, FULL_WIDTH_IMES)
        check(len(LONG_NAME) == 80 and len(WIDE.encode("cp932")) == 50 and len(NARROW) == 50,
              "the test IMEs fill both fields")
        s.reg_add(KELVO + r"\Key", "UseSameImeForAllApps", "REG_DWORD", 0)
        app, proc, main = app_in_front_of(s, "Full fields", start_restored)
        seen = press_and_hold(s, "full_width_popup.png")
        s.key_up("F2")
        check(len(seen) == 1 and seen[0]["text"] == WIDE,
              f"the pop-up's title is the 50-byte description, nothing after it ({seen})")
        check(popup_gone(s), "the pop-up closes after the release")
        check(window_ime(s, app) == LONG_NAME, "the application was given the whole 80-byte name")
        ticks_pass(s, 2)                      # the display takes the new IME
        s.screenshot("full_width_display.png")

        dialog = open_dialog(s, main)
        lists = {c["id"]: c.get("items") for c in s.children(dialog)}
        check(lists.get(102) == [d for _, d in FULL_WIDTH_IMES],
              f"the used list shows exactly the three descriptions ({lists.get(102)})")
        s.select(dialog, 102, 1)
        s.command(dialog, 103)
        eventually(lambda: {c["id"]: c.get("items") for c in s.children(dialog)}.get(106))
        lists = {c["id"]: c.get("items") for c in s.children(dialog)}
        check(lists.get(106) == [WIDE], f"the not-used list shows exactly the description ({lists.get(106)})")
        s.screenshot("full_width_dialog.png")
        s.command(dialog, 1)
        check(s.wait_window("^日本語入力システムの選択$", timeout=5, gone=True), "OK closes the dialog")
        s.menu(main, 1020)
        check(s.wait_exit(proc, 20) == 0, "Kelvo exits")
        check(excluded_in_registry(s) == [LONG_NAME], "the saved exclusion list holds the whole 80-byte name")
        check(s.reg_query(SIM + r"\IME", "2") is not None, "the stand-in IMEs are still configured")


def hung_application():
    with Session("klvo_hostile_hang") as s:
        install_imes(s)
        s.reg_add(KELVO + r"\Key", "OnOffVKey", "REG_DWORD", 114)
        app = start_app(s, "Hanging app", "hang")
        proc, main = start_kelvo(s)
        check(bring_to_front(s, app), "the test application is in front")
        check(window_ime(s, app) is None and window_open(s, app) == 0, "with the first IME, closed")

        s.reg_add(SIM, "Hang", "REG_DWORD", 1)
        check(eventually(lambda: not answers(s, app)), "its window stops answering")
        before = len(records(s))
        s.wintool("message", main["hwnd"], WM_HOTKEY, 4096, 0)
        s.wintool("message", main["hwnd"], WM_HOTKEY, 4112, 0)
        s.menu(main, 3040)
        about = s.wait_window("^Kelvoのバージョン情報$", timeout=10)
        check(about is not None, "after F2 and F3 Kelvo's menu still opens its About box")
        s.screenshot("hung_about.png")
        s.command(about, 1)
        check(s.wait_window("^Kelvoのバージョン情報$", timeout=10, gone=True), "which closes with OK")
        s.wintool("message", main["hwnd"], WM_SYSCOMMAND, SC_RESTORE, 0)
        check(eventually(lambda: [w for w in s.windows("^Kelvo$") if w["iconic"] == 0]),
              "Kelvo's window is restored and painted while the application hangs")
        s.screenshot("hung_restored.png")
        touched = [r for r in records(s)[before:] if "%08X" % app["hwnd"] in r]
        check(not touched, f"the hung window was left alone ({touched})")

        s.reg_add(SIM, "Hang", "REG_DWORD", 0)
        check(eventually(lambda: answers(s, app)), "the application answers again")
        check(bring_to_front(s, app), "and comes back to the front")
        names = [name for name, _ in IMES]
        now = window_ime(s, app) or names[0]
        following = names[(names.index(now) + 1) % len(names)]
        tap_change_key(s)
        check(eventually(lambda: window_ime(s, app) == following), f"F2 switches it from {now} to {following} again")
        check(popup_gone(s), "its pop-up closes at the release")
        s.key("F3")
        check(eventually(lambda: window_open(s, app) == 1), "F3 opens its IME again")
        s.close(main)
        check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0")


def scenario():
    hung_application()
    popup_closed_early()
    full_width_records()


if __name__ == "__main__":
    run(scenario)
