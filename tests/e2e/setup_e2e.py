"""Shared steps of the installer scenarios (tests/e2e/test_setup_*.py):
starting an installer from a distribution folder, waiting for its pages,
reading its message boxes, and the folders and keys the shipped script
uses."""
import os
import shutil
import time

from harness import TIME_SCALE, check

DEST = r"C:\Program Files\Mokra\Kelvo"
APP_PATHS_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Klvo.exe"
DIST_FILES = ["Setup.exe", "Klvo.exe", "Klvo.hlp", "Readme.txt", "Manual.txt"]
STOP_NOTICE = "セットアップを中止します。"

# Titles of the installer's windows.
MAIN = r"^Kelvo セットアップ"
WELCOME = "^セットアップの開始$"
SELECT = "^セットアップの選択$"
FOLDER = "^インストール先のフォルダの指定$"
INSTALL_CONFIRM = "^インストールの確認$"
UNINSTALL_CONFIRM = "^アンインストールの確認$"
PROGRESS = "^セットアップの進行状況$"
START_MENU = r"^\[ｽﾀｰﾄ\] ﾒﾆｭｰへの登録確認$"
INSTALL_DONE = "^インストールの終了$"
UNINSTALL_DONE = "^アンインストールの終了$"
# Message boxes carry the installer's caption; so does the main window,
# which is told apart by its class.
BOX_CLASS = "#32770"


def make_dist(s, folder="Kelvo", files=DIST_FILES, setup=None):
    """A distribution folder C:\\<folder> with the given shipped files (and
    another installer program as Setup.exe when setup is given)."""
    unix = os.path.join(s.c_drive, folder)
    os.makedirs(unix, exist_ok=True)
    for name in files:
        shutil.copy(os.path.join(s.dist, name), unix)
    if setup:
        shutil.copy(setup, os.path.join(unix, "Setup.exe"))
    return unix


def start(s, dist, *args):
    """Starts dist\\Setup.exe with dist as its current folder. The first
    window query waits until Wine's own start-up processes are up."""
    proc = s.start(os.path.join(dist, "Setup.exe"), *args, cwd=dist)
    time.sleep(3)
    return proc


def page(s, title, shot=None, timeout=30):
    """Waits for a dialog and keeps a screenshot of it; returns the window."""
    w = s.wait_window(title, timeout=timeout)
    check(w is not None, f"window {title!r} shown")
    time.sleep(0.5)
    if shot:
        # The shell may have opened a folder window over it.
        s.activate(w)
        time.sleep(0.3)
        s.screenshot(shot)
    return w


def press(s, w, *keys):
    """Brings a dialog to the front and types keys into it."""
    s.activate(w)
    time.sleep(0.2)
    s.key(*keys)


def box(s, timeout=30):
    """The next message box of the installer: (window, its text)."""
    end = time.time() + timeout
    while time.time() < end:
        for w in s.windows():
            if w["class"] != BOX_CLASS:
                continue
            text = s.control(w, 65535)
            if text is not None:
                return w, text["text"]
        time.sleep(0.3)
    return None, None


def finish(s, proc, shot=None, timeout=60):
    """Waits for a run to end. A message box it shows on the way (a silent
    run still shows the stop notice) is kept in shot, then answered with
    its default button. Returns (exit code or None, the boxes' texts)."""
    texts = []
    end = time.time() + timeout * TIME_SCALE
    while time.time() < end:
        code = s.wait_exit(proc, 2)
        if code is not None:
            return code, texts
        w, text = box(s, timeout=1)
        if w is not None:
            texts.append(text)
            if shot and len(texts) == 1:
                s.screenshot(shot)
            press(s, w, "Return")
    return None, texts


def expect_box(s, expected, what, timeout=30):
    """Waits for a message box whose text contains expected; returns it."""
    w, text = box(s, timeout)
    check(w is not None and expected in text, f"{what}: {text!r}")
    return w


EXIT_STOPPED = 1        # a command failed
EXIT_CANCELLED = 2      # the user cancelled, or closed the installer
EXIT_ANOTHER_RUNS = 3   # another installer runs; nothing was done
EXIT_NOT_INSTALLED = 5  # an uninstallation found no installed copy


def expect_stop(s, proc, shot=None, code=EXIT_STOPPED):
    """The stop notice, confirmed with Enter; then the process ends with the
    code of a stopped (or, given, a cancelled) run."""
    w = expect_box(s, STOP_NOTICE, "stop notice shown")
    if shot:
        s.screenshot(shot)
    press(s, w, "Return")
    check(s.wait_exit(proc, 30) == code, f"installer exits with {code} after the stop notice")


def installed(s, name):
    return os.path.exists(s.find_unix(DEST + "\\" + name))


def backdate(path, days):
    """Moves a file's last-write time days into the past (negative: future)."""
    t = time.time() - days * 86400
    os.utime(path, (t, t))
