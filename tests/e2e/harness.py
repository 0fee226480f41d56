"""End-to-end harness: one fresh Japanese Windows 95 Wine prefix and one
private X display per scenario, with the means to start the real programs,
drive them by keys, inspect their windows, read the registry and keep
screenshots.

    with Session("install") as s:
        proc = s.start(s.dist_file("Setup.exe"), cwd=s.dist)
        w = s.wait_window("セットアップの開始")
        s.screenshot("welcome.png")
        s.key("Return")
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# The emulated 32-bit PC runs the same scenarios with its own Wine loader.
WINE = os.environ.get("KELVO_WINE", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("KELVO_WINESERVER", "/usr/lib/wine/wineserver")
CACHE = os.environ.get("KELVO_WINE_CACHE", "/var/tmp/kelvo-wine")
DIST = os.environ.get("KELVO_DIST", os.path.join(ROOT, "build", "dist", "win64"))
TESTAPPS = os.environ.get("KELVO_TESTAPPS", os.path.join(ROOT, "build", "win64", "testapps"))
ARTIFACTS = os.environ.get("KELVO_ARTIFACTS", os.path.join(ROOT, "build", "artifacts", "e2e"))
SCREEN = "800x600"
# Every wait is this many times longer in the emulated 32-bit PC, which runs
# programs several times slower than wine64 here.
TIME_SCALE = float(os.environ.get("KELVO_TIME_SCALE", "1"))


class Failure(Exception):
    pass


def check(condition, what):
    """Prints the check and raises Failure when it does not hold."""
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        raise Failure(what)


def ensure_template():
    subprocess.run(["bash", "-c", f"source '{ROOT}/tools/wine-env.sh' && wine_template"],
                   check=True, env=dict(os.environ, KELVO_WINE_CACHE=CACHE))


def start_xvfb(session):
    """Starts a private Xvfb; the server itself picks a free display number,
    so sessions started at the same moment never share one."""
    read_end, write_end = os.pipe()
    session._xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN}x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as f:
        return int(f.readline().strip())


# An ALSA device that needs no sound card: the `file` plugin over `null`
# writes what is played, as raw samples, to one file. Wine then reports one
# wave device (waveOutGetNumDevs 1).
ASOUNDRC = """pcm.!default {
    type file
    slave.pcm "null"
    file "%s"
    format "raw"
}
"""


class Session:
    def __init__(self, name, win95=True, sound=False):
        """With sound=True the programs get a wave device whose output
        lands in self.sound_file (a HOME of the session's own holds the
        .asoundrc that makes it ALSA's default device)."""
        self.name = name
        self.win95 = win95
        self.sound = sound
        self.home = None
        self.sound_file = None
        self.dist = DIST
        self.testapps = TESTAPPS
        self.artifacts = os.path.join(ARTIFACTS, name)
        self._procs = []
        self._xvfb = None

    # -- life cycle ---------------------------------------------------------
    def __enter__(self):
        ensure_template()
        self.prefix = tempfile.mkdtemp(prefix=f"kelvo-e2e-{self.name}-", dir="/tmp")
        shutil.rmtree(self.prefix)
        shutil.copytree(os.path.join(CACHE, "template"), self.prefix, symlinks=True)
        for stale in (".ready", "wineserver"):
            path = os.path.join(self.prefix, stale)
            if os.path.exists(path):
                os.remove(path)
        os.makedirs(self.artifacts, exist_ok=True)
        n = start_xvfb(self)
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", DISPLAY=f":{n}",
                        LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8", WINEDLLOVERRIDES="mscoree,mshtml=")
        if self.sound:
            self.home = tempfile.mkdtemp(prefix=f"kelvo-e2e-{self.name}-home-", dir="/tmp")
            self.sound_file = os.path.join(self.home, "played.raw")
            with open(os.path.join(self.home, ".asoundrc"), "w") as f:
                f.write(ASOUNDRC % self.sound_file)
            self.env["HOME"] = self.home
        if not self.win95:
            self.wine("reg", "delete", r"HKCU\Software\Wine", "/v", "Version", "/f")
        self.c_drive = os.path.join(self.prefix, "drive_c")
        # Boot the prefix (wineserver, services, desktop) before anything
        # races for it. The services outlive the command, so they must not
        # inherit a pipe that somebody waits on.
        subprocess.run([WINE, "cmd", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180 * TIME_SCALE)
        return self

    def __exit__(self, *exc):
        subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for p in self._procs:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=30)
        if self._xvfb:
            self._xvfb.terminate()
            self._xvfb.wait()
        if not os.environ.get("KELVO_KEEP_PREFIX"):
            shutil.rmtree(self.prefix, ignore_errors=True)
            if self.home:
                shutil.rmtree(self.home, ignore_errors=True)
        return False

    # -- paths --------------------------------------------------------------
    def dist_file(self, name):
        return os.path.join(self.dist, name)

    def testapp(self, name):
        return os.path.join(self.testapps, name)

    def unix(self, winpath):
        """Unix path of a C: path of the prefix."""
        assert winpath[:3].upper() == "C:\\", winpath
        return os.path.join(self.c_drive, *[p for p in winpath[3:].split("\\") if p])

    def find_unix(self, winpath):
        """Like unix() but matches each component without regard to case."""
        path = self.c_drive
        for part in [p for p in winpath[3:].split("\\") if p]:
            names = os.listdir(path) if os.path.isdir(path) else []
            match = [n for n in names if n.lower() == part.lower()]
            path = os.path.join(path, match[0] if match else part)
        return path

    # -- programs -----------------------------------------------------------
    def start(self, program, *args, cwd=None, output=None):
        """Starts a program; its standard output goes to the file `output`
        (never a pipe: Wine's helper processes would inherit it)."""
        out = open(output, "wb") if output else subprocess.DEVNULL
        proc = subprocess.Popen([WINE, program, *args], env=self.env, cwd=cwd or self.prefix,
                                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL)
        if output:
            out.close()
        self._procs.append(proc)
        return proc

    def wait_exit(self, proc, timeout=30):
        try:
            return proc.wait(timeout=timeout * TIME_SCALE)
        except subprocess.TimeoutExpired:
            return None

    def wine(self, *args, timeout=60, encoding="utf-8"):
        """Runs a Windows command line to completion; returns (exit code,
        stdout). Wine's own console programs (reg, cmd) write code page 932."""
        # Output goes through a file: a process that Wine starts on the side
        # may inherit the handle and would hold a pipe open.
        with tempfile.TemporaryFile() as out:
            proc = subprocess.Popen([WINE, *args], env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=subprocess.DEVNULL)
            try:
                code = proc.wait(timeout=timeout * TIME_SCALE)
            except subprocess.TimeoutExpired:
                proc.kill()
                code = None
            out.seek(0)
            return code, out.read().decode(encoding, "replace")

    # -- windows ------------------------------------------------------------
    def wintool(self, *args):
        code, out = self.wine(self.testapp("wintool.exe"), *[str(a) for a in args])
        rows = []
        for line in out.splitlines():
            line = line.strip()
            if line.startswith("{"):
                rows.append(json.loads(line))
        return code, rows

    def windows(self, title_regex=None):
        rows = self.wintool("list")[1]
        return [r for r in rows if title_regex is None or re.search(title_regex, r["text"])]

    def wait_window(self, title_regex, timeout=20, gone=False):
        """The first visible top-level window whose title matches (or, with
        gone=True, True once none matches); None on time-out."""
        end = time.time() + timeout * TIME_SCALE
        while time.time() < end:
            found = self.windows(title_regex)
            if gone and not found:
                return True
            if found and not gone:
                return found[0]
            time.sleep(0.3)
        return None

    def children(self, window):
        return self.wintool("children", window["hwnd"] if isinstance(window, dict) else window)[1]

    def control(self, window, control_id):
        for c in self.children(window):
            if c["id"] == control_id:
                return c
        return None

    def foreground(self):
        rows = self.wintool("foreground")[1]
        return rows[0] if rows else None

    def activate(self, window):
        return self.wintool("activate", window["hwnd"])[0] == 0

    def command(self, window, control_id):
        return self.wintool("command", window["hwnd"], control_id)[0] == 0

    def menu(self, window, command_id):
        return self.wintool("menu", window["hwnd"], command_id)[0] == 0

    def settext(self, window, control_id, text):
        return self.wintool("settext", window["hwnd"], control_id, text)[0] == 0

    def select(self, window, control_id, index):
        return self.wintool("select", window["hwnd"], control_id, index)[0] == 0

    def close(self, window):
        return self.wintool("close", window["hwnd"])[0] == 0

    # -- keyboard and mouse (real X input, as a user types) -------------------
    def _xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def key(self, *keys, delay=0.3):
        for k in keys:
            self._xdotool("key", k)
            time.sleep(delay)

    def key_down(self, key):
        self._xdotool("keydown", key)

    def key_up(self, key):
        self._xdotool("keyup", key)

    def type(self, text):
        self._xdotool("type", "--delay", "50", text)

    def click(self, x, y, button=1):
        self._xdotool("mousemove", str(x), str(y), "click", str(button))

    def mouse_move(self, x, y):
        self._xdotool("mousemove", str(x), str(y))

    # -- evidence -----------------------------------------------------------
    def screenshot(self, filename):
        path = os.path.join(self.artifacts, filename)
        command = ["import", "-window", "root", path]
        if not shutil.which("import"):
            # The emulated PC has no image tools: it keeps the X dump, which
            # the host turns into the PNG.
            command = ["xwd", "-root", "-silent", "-out", os.path.splitext(path)[0] + ".xwd"]
        subprocess.run(command, env=self.env, check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def reg_query(self, key, value=None):
        """The data of a value (value "" for the default one), or None when
        the key or value is missing. With value None: True when the key exists."""
        args = ["reg", "query", key]
        if value == "":
            args.append("/ve")
        elif value is not None:
            args += ["/v", value]
        code, out = self.wine(*args, encoding="cp932")
        if code != 0:
            return None
        if value is None:
            return True
        for line in out.splitlines():
            m = re.match(r"\s+(.*?)\s+(REG_\w+)\s*(.*)$", line)
            if m:
                return m.group(3)
        return None

    def reg_add(self, key, value, kind, data):
        args = ["reg", "add", key, "/f", "/t", kind, "/d", str(data)]
        args[3:3] = ["/ve"] if value == "" else ["/v", value]
        return self.wine(*args)[0] == 0


def run(scenario):
    """Runs a scenario function; exit code 0 when every check held."""
    try:
        scenario()
    except Failure:
        sys.exit(1)
    print("passed", flush=True)
    sys.exit(0)
