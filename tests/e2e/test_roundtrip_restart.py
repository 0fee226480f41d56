"""The uninstaller parked in the Windows folder goes at the next restart.
Windows 95 (the prefix reports it): the clean-up copy adds
"NUL=<its short path>" to [rename] of WININIT.INI, which wineboot -r carries
out as the system does before it starts. Another program's [rename] lines
stay; two uninstallations leave one line; afterwards nothing of Kelvo is
left that a fresh prefix does not have. An installation made before the
restart keeps its own uninstaller. Windows NT: the same through the
system's list of pending file operations."""
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import WINE, Session, check, run  # noqa: E402
import roundtrip as rt  # noqa: E402

TRACE = re.compile(r"kelvo|mokra|rouninst|klvo", re.IGNORECASE)
OTHER = b"[boot]\r\nshell=Explorer.exe\r\n\r\n[rename]\r\nNUL=C:\\OTHER.TMP\r\nC:\\OTHER.DLL=C:\\OTHER.NEW\r\n"
OUR_LINE = re.compile(rb"^NUL=C:\\windows\\ROUNINST\.EXE\r$", re.IGNORECASE | re.MULTILINE)
SESSION_MANAGER = r"HKLM\SYSTEM\CurrentControlSet\Control\Session Manager"


def traces(s):
    """Files and registry lines of the prefix that name Kelvo."""
    found = set()
    for folder, dirs, files in os.walk(s.c_drive):
        for name in dirs + files:
            if TRACE.search(name):
                found.add(os.path.relpath(os.path.join(folder, name), s.c_drive))
    for hive in ("system.reg", "user.reg", "userdef.reg"):
        path = os.path.join(s.prefix, hive)
        if os.path.exists(path):
            with open(path, encoding="latin-1") as f:
                found.update(f"{hive}: {line.strip()}" for line in f
                             if TRACE.search(line) and not line.startswith("#time"))
    return found


def restart(s):
    r = subprocess.run([WINE, "wineboot", "-r"], env=s.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
    check(r.returncode == 0, "wineboot -r ran")


def wininit(s):
    path = s.find_unix(r"C:\windows\WININIT.INI")
    if not os.path.exists(path):
        return b""
    with open(path, "rb") as f:
        return f.read()


def uninstall(s):
    """The recorded uninstaller, silent; returns once its clean-up copy has
    pruned the destination."""
    command = rt.reg_query(s, rt.UNINSTALL_KEY, "UninstallString")
    program, option = command.rsplit(" ", 1)
    code = s.wait_exit(s.start(program, option, "-s"), 60)
    check(code == 0, f"silent uninstaller exits with 0 (got {code})")
    rt.wait_pruned(s)


def win95_restart():
    with Session("roundtrip_restart") as s:
        fresh = traces(s)
        for name in ("OTHER.TMP", "OTHER.NEW"):
            with open(os.path.join(s.c_drive, name), "w") as f:
                f.write("another program's")
        with open(os.path.join(s.c_drive, "windows", "wininit.ini"), "wb") as f:
            f.write(OTHER)

        # Two uninstallations before one restart.
        for folder in ("Dist1", "Dist2"):
            rt.silent_install(s, folder)
            uninstall(s)
            found = rt.wait_until(lambda: OUR_LINE.search(wininit(s)), 10)
            check(found is not None, "the clean-up copy asked for its deletion in WININIT.INI")
        text = wininit(s)
        print("     WININIT.INI before the restart:", text.decode("cp932"), sep="\n", flush=True)
        check(len(OUR_LINE.findall(text)) == 1, "one line for the parked copy after two uninstallations")
        check(text.replace(OUR_LINE.search(text).group(0) + b"\n", b"", 1) == OTHER,
              "the other program's lines are kept byte for byte")
        check(traces(s) - fresh == {os.path.join("windows", "Rouninst.exe")},
              "before the restart the parked copy is all that is left of Kelvo")

        restart(s)
        check(not os.path.exists(rt.parked_copy(s)), "the parked copy is gone after the restart")
        check(not os.path.exists(os.path.join(s.c_drive, "OTHER.TMP")), "the other program's deletion was done")
        check(os.path.exists(os.path.join(s.c_drive, "OTHER.DLL")), "and its rename too")
        left = traces(s) - fresh
        check(not left, f"nothing of Kelvo left beyond a fresh prefix ({sorted(left)})")

        # Install, uninstall, install again, then restart: the new
        # installation keeps its uninstaller.
        rt.silent_install(s, "Dist3")
        uninstall(s)
        rt.silent_install(s, "Dist4")
        restart(s)
        rt.check_installed(s, os.path.join(s.c_drive, "Dist4"), start_menu=False)
        check(os.path.isfile(s.find_unix(rt.DEST + r"\System\Rouninst.exe")), "its uninstaller is there")


def nt_restart():
    """The shipped script refuses Windows NT, so the parked copy is started
    by hand, twice, as two uninstallations would."""
    with Session("restart_nt", win95=False) as s:
        parked = rt.parked_copy(s)
        shutil.copy(s.dist_file("Setup.exe"), parked)
        folder = s.unix(r"C:\App\System")
        for _ in range(2):
            os.makedirs(folder)
            shutil.copy(s.dist_file("Setup.exe"), os.path.join(folder, "Rouninst.exe"))
            copy = s.start(parked, "-cleanupuninstall", r"C:\App\System\Rouninst.exe", r"C:\App\System")
            check(s.wait_exit(copy, 20) == 0, "the clean-up copy quits")
            check(not os.path.exists(s.unix(r"C:\App")), "it deleted and pruned")
        code, out = s.wine("reg", "query", SESSION_MANAGER, "/v", "PendingFileRenameOperations")
        print("     pending:", out.strip().splitlines()[-1:] if out.strip() else "(none)", flush=True)
        check(len(re.findall(r"rouninst\.exe", out, re.IGNORECASE)) == 1,
              "one pending deletion after two runs")
        restart(s)
        check(not os.path.exists(parked), "the parked copy is gone after the restart")


def scenario():
    win95_restart()
    nt_restart()


if __name__ == "__main__":
    run(scenario)
