"""Kelvo's help from every place that opens it, with the program laid out
as the installer leaves it (Klvo.hlp only in the System subfolder): F1 and
Contents show the contents topic, the Help buttons of the key settings and
IME selection dialogs show their own topics, How to use help asks the help
engine for its own file, Search by keyword asks for the keyword search with
no keyword; without a help file, Contents does nothing."""
import json
import os
import shutil
import time

import klvo_support as k
from harness import Session, check, run

HELP_WINDOW = "^Kelvo ヘルプ$"


def help_topic(s):
    """The title of the topic the help window shows, or None."""
    code, out = s.wine(s.testapp("helpctx.exe"), "show")
    for line in out.splitlines():
        if line.startswith("topic:"):
            return line.split(":", 1)[1].strip()
    return None


def close_help(s):
    for w in s.windows(HELP_WINDOW):
        s.close(w)
    s.wait_window(HELP_WINDOW, 10, gone=True)


def expect_topic(s, title, what, shot):
    window = s.wait_window(HELP_WINDOW, 20)
    check(window is not None, f"{what} opens the help window")
    k.eventually(lambda: help_topic(s) == title)
    topic = help_topic(s)
    check(topic == title, f"{what} shows the topic {title!r} (shown: {topic!r})")
    s.screenshot(shot)
    close_help(s)


def scenario():
    with Session("help_from_kelvo") as s:
        folder = os.path.join(s.c_drive, "Kelvo")
        os.makedirs(os.path.join(folder, "System"))
        shutil.copy(s.dist_file("Klvo.exe"), folder)
        shutil.copy(s.dist_file("Klvo.hlp"), os.path.join(folder, "System"))
        for name, _ in k.IMES:
            shutil.copy(s.dist_file(name), folder)
        shutil.copy(s.testapp("winhelp.hlp"), os.path.join(s.c_drive, "windows"))
        k.install_imes(s)

        s.start(os.path.join(folder, "Klvo.exe"), cwd=folder)
        kelvo = s.wait_window("^Kelvo$", 30)
        check(kelvo is not None, "Klvo.exe runs from C:\\Kelvo")

        # Search by keyword: Wine's help viewer ignores this request, so a
        # stand-in help engine takes it and shows what Kelvo asked for.
        requests = os.path.join(s.artifacts, "help-requests.jsonl")
        spy = s.start(s.testapp("wintool.exe"), "helpspy", "6", output=requests)
        for _ in range(50):
            if os.path.exists(requests) and "ready" in open(requests, encoding="utf-8").read():
                break
            time.sleep(0.1)
        s.menu(kelvo, 3020)
        s.wait_exit(spy, 20)
        asked = [json.loads(line) for line in open(requests, encoding="utf-8") if '"command"' in line]
        search = [r for r in asked if r["command"] == 0x105]
        check(len(search) == 1, f"Search by keyword sends one HELP_PARTIALKEY request (requests: {asked})")
        check(search and search[0]["file"].lower().endswith(r"\system\klvo.hlp") and search[0]["text"] == "",
              "it names Klvo.hlp in the System folder and an empty keyword")

        # A minimised window gets its keys as system keys, which the F1
        # accelerator does not take: restore it first, as a user would.
        kelvo = k.restore_main(s, kelvo)
        s.activate(kelvo)
        k.eventually(lambda: k.in_front(s, kelvo))
        s.key("F1")
        expect_topic(s, "Kelvo ヘルプの目次", "F1", "f1-contents.png")

        s.menu(kelvo, 3010)
        expect_topic(s, "Kelvo ヘルプの目次", "Help > Contents", "menu-contents.png")

        s.menu(kelvo, 2020)
        keys = s.wait_window("^キーの設定$", 15)
        check(keys is not None, "the key settings dialog opens")
        s.command(keys, 216)
        expect_topic(s, "キーの設定", "Help in the key settings dialog (context 101)", "keys-help.png")
        s.command(keys, 2)
        s.wait_window("^キーの設定$", 10, gone=True)

        s.menu(kelvo, 2010)
        imes = s.wait_window("^日本語入力システムの選択$", 15)
        check(imes is not None, "the IME selection dialog opens")
        s.command(imes, 108)
        expect_topic(s, "日本語入力システムの選択", "Help in the IME selection dialog (context 100)",
                     "ime-help.png")
        s.command(imes, 2)
        s.wait_window("^日本語入力システムの選択$", 10, gone=True)

        s.menu(kelvo, 3030)
        helponhelp = s.wait_window("ヘルプ", 20)
        check(helponhelp is not None and helponhelp["class"] != "KelvoClass",
              "How to use help opens the help engine's own help")
        s.screenshot("help-on-help.png")
        for w in s.windows("ヘルプ"):
            if w["class"] != "KelvoClass":
                s.close(w)
        k.eventually(lambda: not [w for w in s.windows("ヘルプ") if w["class"] != "KelvoClass"])

        os.remove(os.path.join(folder, "System", "Klvo.hlp"))
        s.menu(kelvo, 3010)
        check(s.wait_window(HELP_WINDOW, 4) is None, "without Klvo.hlp, Contents opens nothing")
        s.menu(kelvo, 1020)
        check(s.wait_window("^Kelvo$", 15, gone=True) is True, "Kelvo exits from its menu")


if __name__ == "__main__":
    run(scenario)
