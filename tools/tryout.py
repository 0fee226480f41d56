#!/usr/bin/python3
"""Tries an installer the way its user meets it, for tools/author.sh --try:
in a throwaway Japanese Windows 95 Wine prefix under Xvfb, Setup.exe of the
assembled distribution runs through its wizard with every page answered by
its default, then the uninstaller that the script recorded runs the same way
(Setup.exe -u when the script records none). Each page is kept as a
screenshot, with an index page, and a report lists what the installation
added and the uninstallation left behind, against the prefix as it was
before installing.

    tools/tryout.py --dist DIR --testapps DIR --artifacts DIR --name NAME

Exit code: 0 nothing left behind, 1 something left behind, 2 the try itself
did not get through (a page that never came, a run that stopped)."""
import argparse
import os
import re
import shutil
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import setup_e2e as se  # noqa: E402

# The installer's own dialogs (their titles as the scenarios know them), by
# what the index calls them.
PAGES = [
    (se.WELCOME, "welcome page"),
    (se.SELECT, "install or uninstall choice"),
    (se.FOLDER, "destination folder page"),
    (se.INSTALL_CONFIRM, "installation confirmation"),
    (se.UNINSTALL_CONFIRM, "uninstallation confirmation"),
    (se.START_MENU, "Start-menu question"),
    (se.INSTALL_DONE, "installation finished"),
    (se.UNINSTALL_DONE, "uninstallation finished"),
    ("^動作中のアプリケーションの終了$", "running application prompt"),
]
# Windows that Wine's shell opens on a Start-menu group it changed.
SHELL_CLASSES = ("ExplorerWClass", "CabinetWClass")
UNINSTALL_ROOTS = (r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall",)

# What a Wine prefix changes by itself while programs run in it: its own
# settings, caches, logs, the shell's window state and the hardware and
# session keys rebuilt at every start. None of it is the installer's doing.
CHURN_FILES = [
    r"^C:\\windows\\(temp|logs|Installer|inf\\.*\.pnf)\b",
    r"^C:\\windows\\.*\.(log|tmp)$",
    r"^C:\\windows\\system32\\(wbem|spool|catroot2?|tasks)\b",
    r"^C:\\users\\[^\\]+\\(Temp|AppData\\Local|Local Settings|Application Data\\Microsoft\\Windows\\(Recent|Cookies))\b",
    r"^C:\\users\\[^\\]+\\AppData\\Roaming\\Microsoft\\Windows\\Recent\b",
    r"^C:\\ProgramData\\Microsoft\\Windows\\(WER|Caches)\b",
]
CHURN_KEYS = [
    r"^HKEY_LOCAL_MACHINE\\(HARDWARE|System\\CurrentControlSet\\(Control\\(Class|DeviceClasses|Video|Session Manager\\Environment)|Enum|Services))\b",
    r"^HKEY_LOCAL_MACHINE\\Software\\Wine\b",
    r"^HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\(Perflib|Fonts)\b",
    r"^HKEY_CURRENT_USER\\Software\\Wine\b",
    r"^HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\(Advanced|Shell Folders|User Shell Folders|Streams|StreamMRU|ShellBags|Bags|BagMRU|RecentDocs|SessionInfo)\b",
    r"^HKEY_CURRENT_USER\\(Volatile Environment|Environment)\b",
    r"^HKEY_USERS\\\.Default\\Software\\Wine\b",
]


def like_windows95(s):
    """What every Japanese Windows 95 holds and a Wine prefix lacks, made
    before the first snapshot, so that a script that uses it (as the shipped
    one does) is not blamed for creating it: the Start menu's Startup group
    under its Japanese name, and the key of the sound events' labels."""
    programs = [os.path.join(base, d) for base, dirs, _ in os.walk(s.c_drive) for d in dirs
                if d == "Programs" and os.path.basename(base) == "Start Menu"]
    for folder in programs:
        os.makedirs(os.path.join(folder, "ｽﾀｰﾄｱｯﾌﾟ"), exist_ok=True)
    s.wine("reg", "add", r"HKCU\AppEvents\EventLabels", "/f")


def windows_path(c_drive, unix):
    rel = os.path.relpath(unix, c_drive)
    return "C:\\" + ("" if rel == "." else rel.replace("/", "\\"))


def churn(patterns, name):
    return any(re.search(p, name, re.IGNORECASE) for p in patterns)


# -- snapshots -------------------------------------------------------------
def file_snapshot(s, skip):
    """Every folder (with a trailing backslash) and file of drive C:, as
    Windows paths, apart from the folder skip and the prefix's churn."""
    found = set()
    for base, dirs, files in os.walk(s.c_drive):
        if os.path.abspath(base) == os.path.abspath(skip):
            dirs[:] = []
            continue
        here = windows_path(s.c_drive, base)
        for d in dirs:
            path = here.rstrip("\\") + "\\" + d + "\\"
            if not churn(CHURN_FILES, path):
                found.add(path)
        for f in files:
            path = here.rstrip("\\") + "\\" + f
            if not churn(CHURN_FILES, path):
                found.add(path)
    return found


def parse_reg_export(text):
    """Keys and values of a reg export: {key: {value name: data}}; the
    default value is named ""."""
    keys = {}
    current = None
    pending = ""
    for raw in text.splitlines():
        # Long data goes on over lines that end in a backslash.
        line = pending + (raw.strip() if pending else raw)
        if line.endswith("\\") and current is not None and not line.startswith("["):
            pending = line[:-1]
            continue
        pending = ""
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1]
            keys.setdefault(current, {})
            continue
        if current is None or not line or line.startswith(";"):
            continue
        if line.startswith("@="):
            keys[current][""] = line[2:]
            continue
        m = re.match(r'^"((?:[^"\\]|\\.)*)"=(.*)$', line)
        if m:
            keys[current][m.group(1).replace('\\"', '"').replace("\\\\", "\\")] = m.group(2)
    return keys


def registry_snapshot(s, work):
    """{key: {value: data}} of the three roots a script can write to, apart
    from the prefix's churn."""
    keys = {}
    for root in ("HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", r"HKEY_USERS\.Default"):
        out = os.path.join(work, "export.reg")
        if os.path.exists(out):
            os.remove(out)
        # The Windows name of the file, through Wine's drive Z:.
        s.wine("reg", "export", root, "Z:" + out.replace("/", "\\"), "/y", timeout=120)
        if not os.path.exists(out):
            continue
        with open(out, "rb") as f:
            data = f.read()
        text = data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff") else data.decode("cp932", "replace")
        for key, values in parse_reg_export(text).items():
            if not churn(CHURN_KEYS, key):
                keys[key] = values
    return keys


# -- pages -----------------------------------------------------------------
def label_of(window):
    for regex, label in PAGES:
        if re.search(regex, window["text"]):
            return label
    if re.search(se.PROGRESS, window["text"]):
        return "progress dialog"
    return "message box"


def texts_of(s, window):
    return [c["text"] for c in s.children(window) if c["text"] and c["class"].lower() == "static"]


class Tryout:
    def __init__(self, session):
        import showcase  # noqa: E402
        self.s = session
        self.book = showcase.Showcase(session)
        self.count = 0
        self.stopped = False

    def shot(self, phase, window, outcome="ok"):
        self.count += 1
        label = label_of(window)
        name = f"{self.count:02d}-{phase}-{re.sub(r'[^a-z]+', '-', label.lower()).strip('-')}.png"
        texts = " / ".join(texts_of(self.s, window))
        title = f"{phase}: {label} 「{window['text']}」" + (f": {texts}" if texts else "")
        self.book.shot(title, name, outcome)

    def close_shell_windows(self):
        for w in self.s.windows():
            if w["class"] in SHELL_CLASSES:
                self.s.close(w)

    def answer(self, window):
        """The page's default: Enter, as a user would; its default button
        when the keys went elsewhere."""
        s = self.s
        s.activate(window)
        time.sleep(0.3)
        s.key("Return")
        gone = lambda: all(w["hwnd"] != window["hwnd"] for w in s.windows())  # noqa: E731
        end = time.time() + 3
        while time.time() < end and not gone():
            time.sleep(0.3)
        if not gone():
            buttons = [c for c in s.children(window) if c["class"].lower() == "button"]
            default = next((c for c in buttons if c["style"] & 0x0F == 1), buttons[0] if buttons else None)
            if default:
                s.command(window, default["id"])

    def drive(self, phase, proc, first_timeout=60, timeout=300):
        """Answers every page of a running installer until it exits; returns
        its exit code (None when it never ended)."""
        s = self.s
        progress_seen = set()
        started = time.time()
        answered = 0
        while proc.poll() is None and time.time() - started < timeout:
            for w in s.windows():
                if w["class"] != se.BOX_CLASS:
                    continue
                if re.search(se.PROGRESS, w["text"]):
                    if w["hwnd"] not in progress_seen:
                        progress_seen.add(w["hwnd"])
                        self.shot(phase, w)
                    continue
                self.close_shell_windows()
                time.sleep(0.5)
                texts = texts_of(s, w)
                stop = any(se.STOP_NOTICE in t for t in texts)
                self.stopped = self.stopped or stop
                self.shot(phase, w, "failed" if stop else "ok")
                self.answer(w)
                answered += 1
                break
            else:
                if answered == 0 and time.time() - started > first_timeout:
                    break
                time.sleep(0.3)
        code = s.wait_exit(proc, 10)
        self.close_shell_windows()
        return code


def settle(s, skip, limit=30):
    """Waits for the hidden clean-up copies: until the files stay the same
    for three seconds, or limit seconds."""
    last = None
    steady = 0
    end = time.time() + limit
    while time.time() < end:
        now = file_snapshot(s, skip)
        steady = steady + 1 if now == last else 0
        if steady >= 3:
            return
        last = now
        time.sleep(1)


# -- the uninstaller -------------------------------------------------------
def recorded_uninstaller(added_keys):
    """(program, arguments) of an UninstallString that the installation
    added, or None."""
    for key, values in sorted(added_keys.items()):
        if not any(key.lower().startswith(root.lower() + "\\") for root in UNINSTALL_ROOTS):
            continue
        data = values.get("UninstallString")
        if not data or not data.startswith('"'):
            continue
        command = reg_string(data)
        m = re.match(r'^"([^"]+)"\s*(.*)$', command) or re.match(r"^(.*?\.exe)\s*(.*)$", command, re.IGNORECASE)
        if m:
            return m.group(1), m.group(2).split()
    return None


def reg_string(data):
    """The text of a "..." value of a reg export."""
    return data[1:-1].replace('\\"', '"').replace("\\\\", "\\") if data.startswith('"') else data


# -- the report ------------------------------------------------------------
def scheduled_deletions(s):
    """Files a restart deletes: the NUL= lines of [rename] in WININIT.INI,
    where Windows 95 (which the prefix is) keeps them."""
    names = []
    ini = s.find_unix(r"C:\windows\WININIT.INI")
    if os.path.isfile(ini):
        section = None
        with open(ini, "rb") as f:
            for line in f.read().decode("cp932", "replace").splitlines():
                line = line.strip()
                if line.startswith("["):
                    section = line.lower()
                elif section == "[rename]" and line.upper().startswith("NUL="):
                    names.append(line[4:].strip())
    return names


def same_file(s, a, b):
    """Whether two Windows names (one may be the short 8.3 form) name the
    same file of the prefix."""
    if a.lower() == b.lower():
        return True
    ua, ub = s.find_unix(a), s.find_unix(b)
    return os.path.exists(ua) and os.path.exists(ub) and os.path.samefile(ua, ub)


def report(s, before_files, before_keys, installed_files, installed_keys, after_files, after_keys, deletions):
    """Prints the residue; returns (what is left, what is parked).
    deletions: what a restart deletes, as read with after_files."""
    def new_values(keys, base):
        out = []
        for key, values in keys.items():
            if key not in base:
                out.append(("key", key, None))
                out += [("value", key, (name, data)) for name, data in sorted(values.items())]
            else:
                out += [("value", key, (name, data)) for name, data in sorted(values.items())
                        if name not in base[key]]
        return sorted(out, key=lambda item: (item[1].lower(), item[0] != "key", item[2] or ("", "")))

    added_files = sorted(installed_files - before_files, key=str.lower)
    added_reg = new_values(installed_keys, before_keys)
    left_files = sorted(after_files - before_files, key=str.lower)
    left_reg = new_values(after_keys, before_keys)

    print("== what the installation added")
    menu = [f for f in added_files if "\\start menu\\" in f.lower()]
    print(f"   {len(added_files) - len(menu)} files and folders, {len(menu)} Start-menu items, "
          f"{sum(1 for k in added_reg if k[0] == 'key')} registry keys, "
          f"{sum(1 for k in added_reg if k[0] == 'value')} registry values")

    parked = []
    for name in deletions:
        print(f"   a restart deletes {name}")
    for path in list(left_files):
        if any(same_file(s, path, d) for d in deletions):
            parked.append(f"{path} (the parked uninstaller; goes at the next restart: NUL= line in "
                          "WININIT.INI)")
            left_files.remove(path)
    if parked and r"C:\windows\WININIT.INI".lower() in (f.lower() for f in left_files):
        left_files = [f for f in left_files if f.lower() != r"c:\windows\wininit.ini"]
        parked.append(r"C:\windows\WININIT.INI (holds that deletion; the restart consumes it)")

    left = []
    for path in left_files:
        kind = "Start-menu item" if "\\start menu\\" in path.lower() else (
            "folder" if path.endswith("\\") else "file")
        left.append(f"{kind}: {path.rstrip(chr(92)) if kind == 'folder' else path}")
    for kind, key, value in left_reg:
        if kind == "key":
            empty = not after_keys[key] and not any(k.startswith(key + "\\") for k in after_keys)
            left.append(f"registry key: {key}" + (" (empty)" if empty else ""))
        else:
            name, data = value
            shown = f'"{reg_string(data)}"' if data.startswith('"') else data
            left.append(f"registry value: {key} [{name or '(default)'}] = {shown}")

    print("== what the uninstallation left behind")
    for line in parked:
        print(f"   parked: {line}")
    for line in left:
        print(f"   left: {line}")
    if not left:
        print("   nothing left behind" + (" (beyond the parked uninstaller)" if parked else ""))
    return left, parked


def main():
    parser = argparse.ArgumentParser(description="Tries an installer under Wine.")
    parser.add_argument("--dist", required=True)
    parser.add_argument("--testapps", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--name", required=True)
    args = parser.parse_args()
    import harness  # noqa: E402
    harness.TESTAPPS = os.path.abspath(args.testapps)
    harness.ARTIFACTS = os.path.abspath(args.artifacts)

    shutil.rmtree(os.path.join(args.artifacts, args.name), ignore_errors=True)
    work = tempfile.mkdtemp(prefix="orvalt-try-")
    code = 2
    try:
        with harness.Session(args.name) as s:
            t = Tryout(s)
            dist = os.path.join(s.c_drive, "Dist")
            shutil.copytree(args.dist, dist)
            like_windows95(s)
            before_files = file_snapshot(s, dist)
            before_keys = registry_snapshot(s, work)

            proc = s.start(os.path.join(dist, "Setup.exe"), cwd=dist)
            installed = t.drive("install", proc)
            t.book.note(f"Setup.exe exited with {installed}", "ok" if installed == 0 else "failed")
            settle(s, dist)
            installed_files = file_snapshot(s, dist)
            installed_keys = registry_snapshot(s, work)

            added_keys = {k: v for k, v in installed_keys.items() if k not in before_keys}
            recorded = recorded_uninstaller(added_keys)
            if recorded:
                program, options = recorded
                t.book.note(f"the recorded uninstaller: {program} {' '.join(options)}", "ok")
                proc = s.start(program, *options)
            else:
                # The installer may have removed itself from the folder.
                shutil.copy(os.path.join(args.dist, "Setup.exe"), dist)
                t.book.note("no uninstaller recorded: Setup.exe -u from the distribution folder", "ok")
                proc = s.start(os.path.join(dist, "Setup.exe"), "-u", cwd=dist)
            uninstalled = t.drive("uninstall", proc)
            t.book.note(f"the uninstaller exited with {uninstalled}", "ok" if uninstalled == 0 else "failed")
            settle(s, dist)
            # Read together: once every program has ended, the next Wine
            # command starts the prefix afresh, which carries out the
            # deletions a restart would.
            after_files = file_snapshot(s, dist)
            deletions = scheduled_deletions(s)
            after_keys = registry_snapshot(s, work)

            left, parked = report(s, before_files, before_keys, installed_files, installed_keys,
                                  after_files, after_keys, deletions)
            for line in parked:
                t.book.note(f"parked: {line}", "ok")
            for line in left:
                t.book.note(f"left behind: {line}", "failed")
            if not left:
                t.book.note("nothing left behind", "ok")
            index = os.path.join(s.artifacts, "index.html")
            t.book.write_index(index, f"{args.name}: installed and uninstalled under Wine")
            print(f"== screenshots and index: {index}")
            went_through = installed == 0 and uninstalled == 0 and not t.stopped
            code = 2 if not went_through else (1 if left else 0)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(code)


if __name__ == "__main__":
    main()
