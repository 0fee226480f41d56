"""Silent round trip of the shipped script: "-s" installs without a window
and without Start-menu entries, also when started by its full path from
another current folder, as a batch file or a login script does; the
recorded uninstaller with "-u -s" removes everything, Start-menu entries
included, and so does the distribution's Setup.exe with "-u -s". From a
floppy the installer leaves the disk as it was."""
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Session, check, run  # noqa: E402
import roundtrip as rt  # noqa: E402


def scenario():
    with Session("roundtrip_silent") as s:
        dist = rt.silent_install(s, "Kelvo", cwd=s.unix(r"C:\windows"))
        exited = time.time()
        gone = rt.wait_until(lambda: not os.path.exists(os.path.join(dist, "Setup.exe")), 10)
        check(gone is not None, "Setup.exe deleted from the distribution folder")
        print(f"     Setup.exe gone {time.time() - exited:.1f} s after the installer exited", flush=True)
        rt.check_installed(s, dist, start_menu=False)
        check(not s.windows(rt.START_MENU), "no Start-menu question in a silent run")

        # An entry made by an earlier interactive installation.
        group = os.path.join(rt.programs_folder(s), rt.GROUP)
        os.makedirs(group, exist_ok=True)
        with open(rt.start_menu_item(s), "wb") as f:
            f.write(b"L\0\0\0")
        rt.settings_written_by_switcher(s)

        command = rt.reg_query(s, rt.UNINSTALL_KEY, "UninstallString")
        program, option = command.rsplit(" ", 1)
        uninstaller = s.start(program, option, "-s")
        check(s.wait_exit(uninstaller, 60) == 0, "silent uninstaller exits with 0")
        seconds = rt.wait_pruned(s)
        print(f"     destination pruned {seconds:.1f} s after the uninstaller exited", flush=True)
        rt.check_uninstalled(s)
        check(os.path.isfile(rt.parked_copy(s)), "uninstaller parked in the Windows folder")

        # The distribution's own Setup.exe uninstalls as the recorded
        # uninstaller does: the installed uninstaller and the emptied
        # folders go as well.
        rt.silent_install(s, "Kelvo2")
        check(s.wait_programs_gone("-cleanup"), "the installation's clean-up copy has quit")
        fresh = rt.copy_dist(s, "Kelvo3")
        proc = s.start(os.path.join(fresh, "Setup.exe"), "-u", "-s", cwd=fresh)
        check(s.wait_exit(proc, 60) == 0, "Setup.exe -u -s from a fresh distribution exits with 0")
        rt.wait_pruned(s)
        rt.check_uninstalled(s)
        check(os.path.isfile(rt.parked_copy(s)), "uninstaller parked in the Windows folder")

        # A distribution floppy in drive A:, started by full path.
        floppy = os.path.join(s.prefix, "floppy")
        os.makedirs(floppy)
        for name in rt.DIST_FILES:
            shutil.copy(os.path.join(s.dist, name), floppy)
        rt.attach_drive(s, "A", "floppy", floppy)
        proc = s.start(r"A:\Setup.exe", "-s", cwd=s.unix(r"C:\windows"))
        check(s.wait_exit(proc, 60) == 0, "silent install from A: exits with 0")
        for name, target in rt.INSTALLED.items():
            check(os.path.isfile(s.find_unix(rt.DEST + "\\" + target)), f"{target} installed from A:")
        check(s.wait_programs_gone("-cleanup"), "no clean-up copy left running")
        for name in rt.DIST_FILES:
            kept = os.path.join(floppy, name)
            with open(os.path.join(s.dist, name), "rb") as shipped:
                check(os.path.isfile(kept) and open(kept, "rb").read() == shipped.read(),
                      f"{name} stays on the floppy as it was")
        check(sorted(os.listdir(floppy)) == sorted(rt.DIST_FILES), "nothing else is written to the floppy")


if __name__ == "__main__":
    run(scenario)
