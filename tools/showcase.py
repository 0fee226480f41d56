#!/usr/bin/python3
"""The product at work, as a Japanese Windows 95 user meets it, under Wine:
Setup.exe installs Kelvo, Kelvo starts from the Start-menu item the installer
made, F2 switches the IME of the application in front, F1 opens the help,
and the uninstaller removes everything again. Every step leaves a screenshot
in build/artifacts/run/ and index.html lists them.

Run by tools/run.sh after the build."""
import html
import os
import re
import shutil
import subprocess
import sys
import threading
import time
import traceback

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
os.environ.setdefault("KELVO_ARTIFACTS", os.path.join(ROOT, "build", "artifacts"))

import harness  # noqa: E402
from harness import Session  # noqa: E402

INSTALL_DIR = r"C:\Program Files\Mokra\Kelvo"
STARTUP_GROUP = "ｽﾀｰﾄｱｯﾌﾟ"


class Burst(threading.Thread):
    """Screenshots in quick succession while the first meter block runs: it
    lasts well under a second, too short to catch on purpose."""

    def __init__(self, session):
        super().__init__(daemon=True)
        self.s = session
        self.frames = []
        self.running = True
        self.folder = os.path.join(session.artifacts, "burst")
        os.makedirs(self.folder, exist_ok=True)

    def run(self):
        n = 0
        while self.running and n < 150:
            path = os.path.join(self.folder, f"{n:03d}.xwd")
            subprocess.run(["xwd", "-root", "-silent", "-out", path], env=self.s.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.frames.append(path)
            n += 1

    def stop(self):
        self.running = False
        self.join(30)

    def keep_meter(self, target):
        """Keeps the frame that shows the most meter blocks (navy pixels)."""
        best, best_count = None, 0
        for frame in self.frames:
            out = subprocess.run(["convert", "xwd:" + frame, "-fill", "white", "+opaque", "#000080",
                                  "-fill", "black", "-opaque", "#000080", "-format", "%[fx:mean*w*h]", "info:"],
                                 capture_output=True, text=True).stdout.strip()
            try:
                navy = 800 * 600 - float(out)
            except ValueError:
                continue
            if 0 < navy < 20000 and navy > best_count:
                best, best_count = frame, navy
        if best:
            subprocess.run(["convert", "xwd:" + best, target], check=False)
        shutil.rmtree(self.folder, ignore_errors=True)
        return best is not None


class Showcase:
    def __init__(self, session):
        self.s = session
        self.steps = []  # (title, screenshot file or None, outcome)

    def shot(self, title, filename, outcome="ok"):
        self.s.screenshot(filename)
        self.kept(title, filename, outcome)

    def kept(self, title, filename, outcome="ok"):
        self.steps.append((title, filename, outcome))
        print(f"[{outcome}] {title} -> {filename}", flush=True)

    def note(self, title, outcome):
        self.steps.append((title, None, outcome))
        print(f"[{outcome}] {title}", flush=True)

    def dialog(self, title_regex, shot_title, filename, keys=("Return",), timeout=30):
        """Waits for a dialog, keeps a screenshot and answers it with keys as
        a user would. Wine's shell opens a window of its own when a Start-menu
        group is made, which can take the keyboard focus; when the keys do
        not reach the dialog, its OK button is pressed instead."""
        w = self.s.wait_window(title_regex, timeout)
        if not w:
            self.note(f"{shot_title}: window did not appear", "failed")
            return None
        self.s.activate(w)
        time.sleep(0.7)
        self.shot(shot_title, filename)
        self.s.key(*keys)
        if not self.s.wait_window("^" + re.escape(w["text"]) + "$", 3, gone=True):
            self.s.command(w, 1)
        return w

    # -- the story ------------------------------------------------------------
    def install(self):
        s = self.s
        dist = os.path.join(s.c_drive, "Kelvo")
        shutil.copytree(s.dist, dist)
        proc = s.start(os.path.join(dist, "Setup.exe"), cwd=dist)
        self.dialog("セットアップの開始", "Setup.exe: the backdrop and the welcome page", "01-welcome.png")
        self.dialog("インストール先のフォルダの指定", "Destination folder", "02-folder.png")
        burst = Burst(s)
        burst.start()
        self.dialog("インストールの確認", "Confirmation", "03-confirm.png")
        startmenu = s.wait_window(r"\[ｽﾀｰﾄ\] ﾒﾆｭｰへの登録確認", 60)
        burst.stop()
        if burst.keep_meter(os.path.join(s.artifacts, "04-progress.png")):
            self.kept("Progress dialog with its block meter", "04-progress.png")
        else:
            self.note("The progress dialog came and went too fast for a screenshot", "ok")
        self.dialog(r"\[ｽﾀｰﾄ\] ﾒﾆｭｰへの登録確認", "Start-menu question", "05-startmenu.png")
        self.dialog("インストールの終了", "Installation finished", "06-finished.png")
        code = s.wait_exit(proc, 60)
        time.sleep(2.5)
        installed = [n for n in ("Klvo.exe", "Readme.txt", "Manual.txt", r"System\Klvo.hlp", r"System\Rouninst.exe")
                     if os.path.exists(s.find_unix(INSTALL_DIR + "\\" + n))]
        self.note(f"Setup.exe exited with {code}; installed: {', '.join(installed)}",
                  "ok" if len(installed) == 5 else "failed")
        self.note("Setup.exe removed itself from the distribution folder",
                  "ok" if not os.path.exists(os.path.join(dist, "Setup.exe")) else "failed")

    def run_kelvo(self):
        s = self.s
        # The Wine build's stand-in IMEs live where a system keeps its IMEs,
        # so that the pop-up finds each one's icon on the search path.
        system = s.find_unix(r"C:\windows\system32")
        for name in sorted(os.listdir(s.dist)):
            if name.upper().endswith(".IME"):
                shutil.copy(os.path.join(s.dist, name), system)
        # Wine's shell opened the new Start-menu folder; close it as a user would.
        for w in s.windows():
            if w["class"] in ("ExplorerWClass", "CabinetWClass"):
                s.close(w)
        links = []
        for base, _, files in os.walk(s.c_drive):
            if "Start Menu" in base:
                links += [os.path.join(base, f) for f in files if f.lower() == "kelvo.lnk"]
        if links:
            self.note(f"Start-menu item: {os.path.relpath(links[0], s.c_drive)}", "ok")
            s.wine("start", "/unix", links[0])
        else:
            self.note("Start-menu item not found; starting the installed Klvo.exe", "failed")
            s.start(s.find_unix(INSTALL_DIR + r"\Klvo.exe"))
        kelvo = s.wait_window("^Kelvo$", 30)
        if not kelvo:
            self.note("Kelvo did not start", "failed")
            return
        app = s.start(s.testapp("gui_fgapp.exe"), "Switch target") if os.path.exists(
            s.testapp("gui_fgapp.exe")) else s.start("notepad")
        target = s.wait_window("Switch target|メモ帳", 20)
        if target:
            s.activate(target)
            time.sleep(1.5)
        s.key_down("F2")
        time.sleep(0.8)
        self.shot("F2 held: the pop-up names the next IME", "07-popup.png")
        s.key_up("F2")
        time.sleep(1.5)
        self.shot("F2 released: the pop-up is gone", "08-after-popup.png")
        s.wintool("message", kelvo["hwnd"], 0x0112, 0xF120, 0)  # WM_SYSCOMMAND SC_RESTORE
        time.sleep(1.5)
        if target:
            s.activate(target)
            time.sleep(2)  # a tick or two of the 750 ms timer
        self.shot("Kelvo's window: the application in front and its IME", "09-kelvo.png")
        s.activate(kelvo)
        time.sleep(1)
        s.menu(kelvo, 2020)
        keys = s.wait_window("キーの設定", 10)
        if keys:
            time.sleep(0.7)
            self.shot("Key settings dialog", "10-keys.png")
            s.close(keys)
            time.sleep(1)
        s.activate(kelvo)
        time.sleep(0.5)
        s.key("F1")
        helpwin = s.wait_window("Kelvo|ヘルプ|Help", 20)
        time.sleep(2)
        self.shot("F1: Kelvo's help", "11-help.png", "ok" if helpwin else "failed")
        s.menu(kelvo, 1020)
        s.wait_window("^Kelvo$", 10, gone=True)

    def uninstall(self):
        s = self.s
        command = s.reg_query(r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo", "UninstallString")
        if not command:
            self.note("No UninstallString recorded", "failed")
            return
        program, _, option = command.rpartition(" ")
        proc = s.start(program, option)
        self.dialog("セットアップの開始", "Uninstall: welcome", "12-uninstall-welcome.png")
        self.dialog("アンインストールの確認", "Uninstall: confirmation", "13-uninstall-confirm.png")
        self.dialog("アンインストールの終了", "Uninstall finished", "14-uninstall-finished.png")
        s.wait_exit(proc, 60)
        time.sleep(3)
        left = os.path.exists(s.find_unix(INSTALL_DIR))
        self.note("Installation folder removed" if not left else "Installation folder still there",
                  "ok" if not left else "failed")

    def write_index(self, path, heading="Kelvo installed, used and removed under Wine"):
        rows = []
        for title, shot, outcome in self.steps:
            img = f'<br><img src="{html.escape(shot)}" width="640">' if shot else ""
            rows.append(f'<li class="{outcome}"><b>[{outcome}]</b> {html.escape(title)}{img}</li>')
        page = ("<!doctype html><meta charset=utf-8><title>Kelvo and Orvalt under Wine</title>"
                "<style>.failed{color:#b00}li{margin:1em 0}</style>"
                f"<h1>{html.escape(heading)}</h1><ol>" + "\n".join(rows) + "</ol>")
        with open(path, "w", encoding="utf-8") as f:
            f.write(page)


def main():
    failed = False
    with Session("run") as s:
        show = Showcase(s)
        for step in (show.install, show.run_kelvo, show.uninstall):
            try:
                step()
            except Exception:  # keep going: the index shows what happened
                traceback.print_exc()
                show.note(f"{step.__name__} stopped with an error", "failed")
        show.write_index(os.path.join(s.artifacts, "index.html"))
        failed = any(outcome == "failed" for _, _, outcome in show.steps)
        print(f"Screenshots and index: {os.path.join(s.artifacts, 'index.html')}")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
