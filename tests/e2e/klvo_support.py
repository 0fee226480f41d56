"""Helpers of the switcher's scenarios: the simulated IME system of the
Wine build (configured and read under HKCU\\Software\\KelvoTest), the test
application, and Klvo.exe itself."""
import time

from harness import TIME_SCALE, check

SIM = r"HKCU\Software\KelvoTest"
KELVO = r"HKCU\Software\Mokra\Kelvo"
IMES = [("SIMIMEA.IME", "試験用IME A"), ("SIMIMEB.IME", "試験用IME B"), ("SIMIMEC.IME", "試験用IME C")]
WM_CLOSE, WM_HOTKEY, WM_COMMAND, WM_SYSCOMMAND = 0x10, 0x312, 0x111, 0x112
SC_RESTORE = 0xF120


def install_imes(s, imes=IMES):
    for n, (name, description) in enumerate(imes, 1):
        s.reg_add(SIM + r"\IME", str(n), "REG_SZ", f"{name}|{description}")


def exclude(s, *names):
    for n, name in enumerate(names):
        s.reg_add(KELVO + r"\IME", f"IME{n}", "REG_SZ", name)


def sim_key(hwnd):
    return SIM + r"\Windows\%08X" % (hwnd & 0xFFFFFFFF)


def window_ime(s, window):
    return s.reg_query(sim_key(window["hwnd"]), "IME")


def set_window_ime(s, window, name):
    s.reg_add(sim_key(window["hwnd"]), "IME", "REG_SZ", name)


def window_open(s, window):
    v = s.reg_query(sim_key(window["hwnd"]), "Open")
    return int(v, 0) if v else 0


def records(s):
    """The IMPSetIMEA, WINNLSEnableIME and SendIMEMessageExA calls so far."""
    count = s.reg_query(SIM + r"\Record", "Count")
    n = int(count, 0) if count else 0
    code, out = s.wine("reg", "query", SIM + r"\Record")
    rows = {}
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[1] == "REG_SZ" and parts[0].isdigit():
            rows[int(parts[0])] = parts[2]
    return [rows[i] for i in range(n) if i in rows]


def start_app(s, title, mode=""):
    args = [title] + ([mode] if mode else [])
    s.start(s.testapp("gui_fgapp.exe"), *args)
    w = s.wait_window("^" + title + "$")
    check(w is not None, f"test application '{title}' is up")
    return w


def start_kelvo(s):
    proc = s.start(s.dist_file("Klvo.exe"), cwd=s.dist)
    w = None
    end = time.time() + 20 * TIME_SCALE
    while time.time() < end and w is None:
        found = [r for r in s.windows("^Kelvo$") if r["class"] == "KelvoClass"]
        w = found[0] if found else None
        time.sleep(0.3)
    check(w is not None, "Klvo.exe shows its main window")
    return proc, w


def flash_windows(s):
    return [r for r in s.windows() if r["class"] == "KelvoFlashClass"]


def popup_gone(s, timeout=5):
    """True once no pop-up is left (polled: the close waits for a paint)."""
    end = time.time() + timeout * TIME_SCALE
    while time.time() < end:
        if not flash_windows(s):
            return True
        time.sleep(0.3)
    print("pop-ups still up:", flash_windows(s))
    return False


def eventually(condition, timeout=10):
    """True once condition() holds, polled up to the deadline."""
    end = time.time() + timeout * TIME_SCALE
    while True:
        if condition():
            return True
        if time.time() >= end:
            return False
        time.sleep(0.2)


def ime_reads(s):
    """How many times Kelvo has read an IME (every tick reads one)."""
    count = s.reg_query(SIM + r"\Record", "GetCount")
    return int(count, 0) if count else 0


def ticks_pass(s, n=2, timeout=10):
    """Waits until Kelvo has read the IME of the window in front n more times."""
    start = ime_reads(s)
    return eventually(lambda: ime_reads(s) >= start + n, timeout)


def in_front(s, window):
    fg = s.foreground()
    return fg is not None and fg["hwnd"] == window["hwnd"]


def bring_to_front(s, window, ticks=2, settle=None):
    """Makes window the foreground window (polled up to a deadline) and
    waits until Kelvo's ticks have looked at it. (settle, the fixed wait of
    older callers, is no longer needed: both waits are polled.)"""
    s.activate(window)
    if not eventually(lambda: in_front(s, window)):
        return False
    ticks_pass(s, ticks)
    return in_front(s, window)


def hold_change_key(s, expect_popup=True):
    """Presses F2 and keeps it down until the pop-up is up (polled), or,
    when none is expected, until Kelvo's ticks go on (the key was handled);
    returns the pop-ups up then. The caller releases the key."""
    s.key_down("F2")
    if expect_popup:
        eventually(lambda: flash_windows(s))
    else:
        ticks_pass(s, 2)
    return flash_windows(s)


def main_window(s):
    found = [w for w in s.windows() if w["class"] == "KelvoClass"]
    return found[0] if found else None


def restore_main(s, main):
    """Restores Kelvo's minimised window; the window once it is restored,
    in front, and Kelvo has ticked since."""
    s.wintool("message", main["hwnd"], WM_SYSCOMMAND, SC_RESTORE, 0)
    eventually(lambda: (main_window(s) or {}).get("iconic") == 0 and in_front(s, main))
    ticks_pass(s, 1)
    return main_window(s)


def tap_change_key(s):
    """F2 down and up a tenth of a second later, as a hand taps it. (A press
    and release only milliseconds apart, as "xdotool key" makes them, now
    and then leaves Wine's async key state at "down" until the next key
    event.)"""
    s.key_down("F2")
    time.sleep(0.1)
    s.key_up("F2")


def answers(s, window, limit_ms=500):
    """True when the window's thread takes a message within the limit."""
    return s.wintool("answers", window["hwnd"], limit_ms)[0] == 0
