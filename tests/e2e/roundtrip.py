"""Shared steps of the install/uninstall round trips of the shipped script
(tests/e2e/test_roundtrip_*.py): the distribution folder, the wizard pages,
and what an installation leaves on disk and in the registry."""
import glob
import os
import re
import shutil
import subprocess
import time

from harness import TIME_SCALE, WINE, check
from setup_e2e import BOX_CLASS, SELECT

DEST = r"C:\Program Files\Mokra\Kelvo"
PROGRAM_FILES = r"C:\Program Files"
GROUP = "ｽﾀｰﾄｱｯﾌﾟ"
UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo"
APP_PATHS_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Klvo.exe"
VENDOR_KEY = r"HKLM\SOFTWARE\Mokra\Kelvo"
LABEL_KEY = r"HKCU\AppEvents\EventLabels\KelvoIMEChange"
SCHEME_KEY = r"HKCU\AppEvents\Schemes\Apps\Kelvo"
SETTINGS_KEY = r"HKCU\Software\Mokra\Kelvo"
DIST_FILES = ["Setup.exe", "Klvo.exe", "Klvo.hlp", "Readme.txt", "Manual.txt"]
# Where each distribution file lands (relative to DEST).
INSTALLED = {"Klvo.exe": "Klvo.exe", "Klvo.hlp": r"System\Klvo.hlp", "Readme.txt": "Readme.txt",
             "Manual.txt": "Manual.txt", "Setup.exe": r"System\Rouninst.exe"}

# Titles of the installer's dialogs.
WELCOME = "^セットアップの開始$"
FOLDER = "^インストール先のフォルダの指定$"
INSTALL_CONFIRM = "^インストールの確認$"
UNINSTALL_CONFIRM = "^アンインストールの確認$"
START_MENU = r"^\[ｽﾀｰﾄ\] ﾒﾆｭｰへの登録確認$"
INSTALL_DONE = "^インストールの終了$"
UNINSTALL_DONE = "^アンインストールの終了$"


def copy_dist(s, folder="Kelvo"):
    """A distribution folder C:\\<folder> holding the shipped files; the
    installer moves files out of it and deletes itself from it."""
    unix = os.path.join(s.c_drive, folder)
    os.makedirs(unix, exist_ok=True)
    for name in DIST_FILES:
        shutil.copy(os.path.join(s.dist, name), unix)
    return unix


def reg_query(s, key, value=None):
    """Like Session.reg_query, with the output read in code page 932 so that
    Japanese data compares as text."""
    args = [WINE, "reg", "query", key]
    if value == "":
        args.append("/ve")
    elif value is not None:
        args += ["/v", value]
    r = subprocess.run(args, env=s.env, capture_output=True, timeout=60 * TIME_SCALE)
    if r.returncode != 0:
        return None
    if value is None:
        return True
    for line in r.stdout.decode("cp932", "replace").splitlines():
        m = re.match(r"\s+(.*?)\s+(REG_\w+)\s*(.*)$", line)
        if m:
            return m.group(3)
    return None


def programs_folder(s):
    found = glob.glob(os.path.join(s.c_drive, "users", "*", "AppData", "Roaming", "Microsoft",
                                   "Windows", "Start Menu", "Programs"))
    return found[0] if found else os.path.join(s.c_drive, "nonexistent")


def start_menu_item(s):
    return os.path.join(programs_folder(s), GROUP, "Kelvo.lnk")


def wait_until(condition, timeout):
    """Seconds until condition() held, or None after timeout seconds."""
    timeout *= TIME_SCALE
    start = time.time()
    while True:
        if condition():
            return time.time() - start
        if time.time() - start > timeout:
            return None
        time.sleep(0.1)


def page(s, title, *keys, shot=None, timeout=30):
    """Waits for a wizard page, optionally keeps a screenshot, types keys."""
    w = s.wait_window(title, timeout=timeout)
    check(w is not None, f"dialog {title!r} shown")
    time.sleep(0.4)
    if shot:
        s.screenshot(shot)
    s.activate(w)
    s.key(*keys)
    return w


def wizard_install(s, dist, shots={}, program=None):
    """Starts Setup.exe of dist (or program, a Windows path of it, from
    dist) and goes through the wizard with the defaults and "登録する";
    shots names the screenshot of a page by its title."""
    setup = s.start(program or os.path.join(dist, "Setup.exe"), cwd=dist)
    page(s, WELCOME, "Return", shot=shots.get(WELCOME))
    page(s, FOLDER, "Return", shot=shots.get(FOLDER))
    page(s, INSTALL_CONFIRM, "Return", shot=shots.get(INSTALL_CONFIRM))
    w = page(s, START_MENU, "alt+r", shot=shots.get(START_MENU))
    yes = s.control(w, 1001)
    check(yes is not None and yes["checked"] == 1, "登録する is chosen")
    s.key("Return")
    return setup


def confirm_notice(s, title, shot=None, folder_shot=None, timeout=60):
    """The closing notice. The shell opens a window on the Start-menu group
    it changed; it is kept in folder_shot, then closed so that the notice
    shows in shot. OK is sent to the dialog itself."""
    w = s.wait_window(title, timeout=timeout)
    check(w is not None, f"closing notice {title!r} shown")
    time.sleep(1.0)
    if folder_shot:
        s.screenshot(folder_shot)
    for folder in s.windows(f"^{GROUP}$"):
        s.close(folder)
    s.wait_window(f"^{GROUP}$", timeout=5, gone=True)
    s.activate(w)
    time.sleep(0.4)
    if shot:
        s.screenshot(shot)
    s.command(w, 1)


def wizard_defaults(s, proc, shot_prefix=None, timeout=180):
    """Takes a running Setup.exe through whatever it shows, each page and
    each question answered with its default (Enter), the closing notice
    confirmed, until it exits. Pages are kept as shot_prefix + a number.
    Returns (exit code or None, the texts of the message boxes)."""
    pages = [WELCOME, SELECT, FOLDER, INSTALL_CONFIRM, UNINSTALL_CONFIRM, START_MENU]
    asked = []
    answered = {}
    shots = 0
    end = time.time() + timeout * TIME_SCALE
    while time.time() < end:
        if proc.poll() is not None:
            return proc.returncode, asked
        for w in s.windows():
            title = w["text"]
            if w["class"] != BOX_CLASS or time.time() - answered.get(w["hwnd"], 0) < 5 * TIME_SCALE:
                continue
            answered[w["hwnd"]] = time.time()
            shot = f"{shot_prefix}{shots + 1:02d}.png" if shot_prefix else None
            if re.search(INSTALL_DONE, title) or re.search(UNINSTALL_DONE, title):
                confirm_notice(s, f"^{re.escape(title)}$", shot=shot)
            elif any(re.search(p, title) for p in pages):
                page(s, f"^{re.escape(title)}$", "Return", shot=shot)
            else:
                text = s.control(w, 65535)
                if text is None:
                    continue
                asked.append(text["text"])
                if shot:
                    s.screenshot(shot)
                s.activate(w)
                s.key("Return")
            shots += 1 if shot else 0
            break
        time.sleep(0.3)
    return None, asked


def dismiss_abort_notice(s, timeout=20):
    """Waits for the box "セットアップを中止します。" and presses its OK;
    False when it never came."""
    end = time.time() + timeout
    while time.time() < end:
        for row in s.windows():
            if any(c["text"] == "セットアップを中止します。" for c in s.children(row)):
                s.screenshot("abort_notice.png")
                s.command(row, 1)
                return True
        time.sleep(0.3)
    return False


def same_bytes(path, other):
    with open(path, "rb") as a, open(other, "rb") as b:
        return a.read() == b.read()


def check_installed(s, dist, start_menu, consumed=True):
    """What a reference installation leaves: each file byte for byte, the
    registry, the Start-menu item (or none). consumed: the files were moved
    out of dist (an unpacked folder); otherwise dist keeps them (a floppy,
    a CD)."""
    for name, target in INSTALLED.items():
        path = s.find_unix(DEST + "\\" + target)
        check(os.path.isfile(path), f"{DEST}\\{target} installed")
        check(same_bytes(path, os.path.join(s.dist, name)), f"{target} is the distributed {name} byte for byte")
    for name in ["Klvo.exe", "Klvo.hlp", "Readme.txt", "Manual.txt"]:
        if consumed:
            check(not os.path.exists(os.path.join(dist, name)), f"{name} moved out of the distribution folder")
        else:
            check(os.path.isfile(os.path.join(dist, name)) and same_bytes(os.path.join(dist, name), s.dist_file(name)),
                  f"{name} kept in the distribution")
    check(reg_query(s, VENDOR_KEY + r"\2.00") is True, "vendor key SOFTWARE\\Mokra\\Kelvo\\2.00")
    check(reg_query(s, APP_PATHS_KEY, "Path") == DEST, "App Paths Path = destination folder")
    check(reg_query(s, APP_PATHS_KEY, "") == DEST + r"\Klvo.exe", "App Paths default = the program")
    check(reg_query(s, UNINSTALL_KEY, "DisplayName") == "Kelvo 2.00", "Uninstall DisplayName")
    check(reg_query(s, UNINSTALL_KEY, "UninstallString") == DEST + r"\System\Rouninst.exe -u",
          "Uninstall UninstallString")
    check(reg_query(s, LABEL_KEY, "") == "日本語入力ｼｽﾃﾑの切り替え", "sound event label")
    check(reg_query(s, SCHEME_KEY, "") == "Kelvo 2.00", "sound scheme name")
    check(reg_query(s, SCHEME_KEY + r"\KelvoIMEChange\.Current") is True, "sound scheme .Current key")
    item = start_menu_item(s)
    if start_menu:
        check(os.path.isfile(item), f"Start-menu item {GROUP}\\Kelvo.lnk on disk")
    else:
        check(not os.path.exists(os.path.join(programs_folder(s), GROUP)), "no Start-menu group made")


def check_uninstalled(s):
    for target in INSTALLED.values():
        check(not os.path.exists(s.find_unix(DEST + "\\" + target)), f"{target} removed")
    for key in [VENDOR_KEY, APP_PATHS_KEY, UNINSTALL_KEY, LABEL_KEY, SCHEME_KEY, SETTINGS_KEY]:
        check(reg_query(s, key) is None, f"{key} deleted")
    check(reg_query(s, r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall") is True,
          "the system's Uninstall key stays")
    check(not os.path.exists(start_menu_item(s)), "Start-menu item removed")


def wait_pruned(s, timeout=10):
    """Seconds until the parked uninstaller has removed the destination
    folders up to Program Files."""
    mokra = s.unix(r"C:\Program Files\Mokra")
    seconds = wait_until(lambda: not os.path.exists(mokra), timeout)
    check(seconds is not None, "C:\\Program Files\\Mokra pruned by the parked uninstaller")
    check(os.path.isdir(s.unix(PROGRAM_FILES)), "C:\\Program Files stays")
    return seconds


def parked_copy(s):
    return os.path.join(s.c_drive, "windows", "Rouninst.exe")


def attach_drive(s, letter, kind, folder):
    """Drive letter: of the prefix, of the given type ("floppy", "cdrom"),
    on a folder of the session; Wine is restarted to see it."""
    os.symlink(folder, os.path.join(s.prefix, "dosdevices", letter.lower() + ":"))
    check(s.reg_add(r"HKLM\Software\Wine\Drives", letter.lower() + ":", "REG_SZ", kind),
          f"drive {letter}: is a {kind} drive")
    s.stop_wine()
    s.boot()


def silent_install(s, folder, cwd=None):
    """Installs silently from a fresh distribution folder, started in cwd
    (by default the folder itself); returns the folder."""
    dist = copy_dist(s, folder)
    proc = s.start(os.path.join(dist, "Setup.exe"), "-s", cwd=cwd or dist)
    check(s.wait_exit(proc, 60) == 0, "silent install exits with 0")
    return dist


def settings_written_by_switcher(s):
    """The switcher's own settings, as a run of it would leave them."""
    s.reg_add(SETTINGS_KEY + r"\Key", "ChangeVKey", "REG_DWORD", 113)
    s.reg_add(SETTINGS_KEY + r"\IME", "Count", "REG_DWORD", 0)
