"""The shipped script through the wizard, as a user sees it: backdrop, the
welcome page, the folder page (which refuses a folder that is no full path),
the confirmation, the progress dialog with the newer-file question answered
No and Yes, the Start-menu question and the closing notice. Then a second
run finds that installation: the choice page is offered, a second Setup.exe
started meanwhile only brings that page forward, and choosing uninstall
leads through the uninstall confirmation to its closing notice."""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Session, check, run  # noqa: E402
import setup_e2e as se  # noqa: E402


def text_of(s, w, control_id):
    c = s.control(w, control_id)
    return c["text"] if c else None


def refuse_folder(s, w, folder, shot=None):
    s.settext(w, 1003, folder)
    se.press(s, w, "Return")
    # The example is the folder the page opened with, to be typed back.
    refusal = f"インストール先のフォルダを、ドライブ名から指定してください。\n(例: {se.DEST})"
    b = se.expect_box(s, refusal, f"folder {folder!r} refused with a message")
    if shot:
        s.screenshot(shot)
    se.press(s, b, "Return")
    time.sleep(0.5)
    check(s.wait_window(se.FOLDER, timeout=5) is not None, "the folder page stays open")


def install(s):
    dist = se.make_dist(s)
    # An earlier copy of two files, newer than the distributed ones.
    dest = s.unix(se.DEST)
    os.makedirs(dest)
    for name, content in (("Klvo.exe", b"NEWER PROGRAM"), ("Readme.txt", b"NEWER README")):
        with open(os.path.join(dest, name), "wb") as f:
            f.write(content)
        se.backdate(os.path.join(dest, name), -3)
    readme_size = os.path.getsize(os.path.join(dist, "Readme.txt"))

    proc = se.start(s, dist)
    w = se.page(s, se.WELCOME, shot="welcome_130_on_backdrop.png")
    check(text_of(s, w, 1006) == "Kelvoの世界にようこそ。", "welcome names the product")
    check(text_of(s, w, 1007) == "これからセットアップを開始します。", "welcome announces the setup")
    main = s.windows(se.MAIN)
    check(main and main[0]["class"] == "OrvaltClass" and main[0]["text"] == "Kelvo セットアップ",
          "main window OrvaltClass captioned 'Kelvo セットアップ'")
    se.press(s, w, "Return")

    w = se.page(s, se.FOLDER, shot="folder_132.png")
    check(text_of(s, w, 1003) == se.DEST, "the folder page proposes Program Files\\Mokra\\Kelvo")
    refuse_folder(s, w, "", shot="folder_132_refused.png")
    refuse_folder(s, w, "   ")
    refuse_folder(s, w, r"Mokra\Kelvo")
    s.settext(w, 1003, se.DEST)
    se.press(s, w, "Return")

    w = se.page(s, se.INSTALL_CONFIRM, shot="install_confirm_138.png")
    check(text_of(s, w, 1018) == "Kelvoを、以下のフォルダにインストールします。", "confirmation names the product")
    check(text_of(s, w, 1019) == se.DEST, "confirmation names the folder")
    se.press(s, w, "Return")

    b = se.expect_box(s, "Klvo.exeが、すでに存在します。", "newer Klvo.exe: overwrite question")
    progress = s.wait_window(se.PROGRESS, timeout=5)
    check(progress is not None, "progress dialog open during the question")
    lines = [text_of(s, progress, i) for i in (1025, 1026, 1027)]
    check(lines[0] == "ファイルの移動中です..." and lines[1] == "ファイル名 : Klvo.exe"
          and lines[2] == "Kelvo 実行ファイル", f"progress lines {lines}")
    s.screenshot("progress_135_question.png")
    s.command(b, 7)  # いいえ
    b = se.expect_box(s, "Readme.txtが、すでに存在します。", "newer Readme.txt: overwrite question")
    s.screenshot("progress_135_meter.png")
    s.command(b, 6)  # はい

    w = se.page(s, se.START_MENU, shot="startmenu_136.png", timeout=60)
    se.press(s, w, "Return")
    w = se.page(s, se.INSTALL_DONE, timeout=60)
    # The shell shows the new group in a folder window of its own, which may
    # lie over the closing notice; it is minimised for the screenshot.
    for other in s.windows():
        if other["pid"] != w["pid"] and other["class"] not in ("Shell_TrayWnd", "Progman"):
            print(f"     minimising {other['class']} {other['text']!r} for the screenshot", flush=True)
            s.wintool("message", other["hwnd"], 0x0112, 0xF020, 0)  # WM_SYSCOMMAND, SC_MINIMIZE
    time.sleep(1)
    s.screenshot("install_done_137.png")
    s.command(w, 1)
    check(s.wait_exit(proc, 30) == 0, "installer exits with 0")

    with open(os.path.join(dest, "Klvo.exe"), "rb") as f:
        check(f.read() == b"NEWER PROGRAM", "answered No: the newer Klvo.exe stays")
    check(os.path.exists(os.path.join(dist, "Klvo.exe")), "answered No: the move left its source")
    check(os.path.getsize(os.path.join(dest, "Readme.txt")) == readme_size, "answered Yes: Readme.txt replaced")
    check(not os.path.exists(os.path.join(dist, "Readme.txt")), "answered Yes: Readme.txt moved")
    check(se.installed(s, r"System\Klvo.hlp") and se.installed(s, "Manual.txt"), "the other files installed")
    check(se.installed(s, r"System\Rouninst.exe"), "uninstaller copied")
    # The hidden clean-up copy deletes the distributed Setup.exe and ends;
    # while it runs, its window would count as a running installer.
    end = time.time() + 20
    while os.path.exists(os.path.join(dist, "Setup.exe")) and time.time() < end:
        time.sleep(0.2)
    check(not os.path.exists(os.path.join(dist, "Setup.exe")), "the clean-up copy deleted Setup.exe")
    time.sleep(2)


def uninstall(s):
    dist = se.make_dist(s, "Kelvo2")
    proc = se.start(s, dist)
    w = se.page(s, se.WELCOME)
    se.press(s, w, "Return")
    w = se.page(s, se.SELECT, shot="select_131.png")
    install_radio = s.control(w, 1009)
    check(install_radio is not None and install_radio["checked"] == 1, "the choice opens on install")

    second = se.start(s, dist)
    check(s.wait_exit(second, 30) == se.EXIT_ANOTHER_RUNS, "a second Setup.exe exits with 3: another installer runs")
    front = s.foreground()
    check(front is not None and front["hwnd"] == w["hwnd"], "the open page came to the front")
    # A deployment batch that starts Setup.exe -s meanwhile learns that it
    # installed nothing.
    batch = se.start(s, dist, "-s")
    check(s.wait_exit(batch, 30) == se.EXIT_ANOTHER_RUNS, "a second Setup.exe -s exits with 3, not 0")
    check(s.windows(se.SELECT), "the first installer's page stays")

    se.press(s, w, "alt+u")
    uninstall_radio = s.control(w, 1010)
    check(uninstall_radio is not None and uninstall_radio["checked"] == 1, "Alt+U selects uninstall")
    s.key("Return")
    w = se.page(s, se.UNINSTALL_CONFIRM, shot="uninstall_confirm_133.png")
    check(text_of(s, w, 1021) == "セットアップは、インストール済みのKelvoを見つけました。", "133 names the product")
    check(text_of(s, w, 1022) == se.DEST, "133 names the recorded folder")
    se.press(s, w, "Return")
    w = se.page(s, se.UNINSTALL_DONE, shot="uninstall_done_139.png", timeout=60)
    s.command(w, 1)
    check(s.wait_exit(proc, 30) == 0, "uninstaller exits with 0")
    check(not se.installed(s, "Klvo.exe") and not se.installed(s, "Readme.txt"), "installed files removed")
    check(s.reg_query(se.APP_PATHS_KEY) is None, "App Paths entry removed")
    check(os.path.exists(os.path.join(dist, "Klvo.exe")), "the second distribution folder untouched")


def scenario():
    with Session("setup_wizard") as s:
        install(s)
        uninstall(s)


if __name__ == "__main__":
    run(scenario)
