"""Uninstalling the way a file manager starts the uninstaller: the recorded
UninstallString run with the installed System folder as the current folder.
The clean-up copy must not hold that folder, so the files, the three
folders and the registry entries go, and C:\\Program Files stays. A copy
started in the folder it is to remove (as an older installer started it)
moves out before its first attempt."""
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Session, check, run  # noqa: E402
import roundtrip as rt  # noqa: E402


def scenario():
    with Session("roundtrip_uninstaller_folder") as s:
        dist = rt.silent_install(s, "Kelvo")
        rt.wait_until(lambda: not os.path.exists(os.path.join(dist, "Setup.exe")), 10)
        system = s.find_unix(rt.DEST + r"\System")
        check(os.path.isdir(system), "System folder installed")

        command = rt.reg_query(s, rt.UNINSTALL_KEY, "UninstallString")
        program, option = command.rsplit(" ", 1)
        uninstaller = s.start(program, option, cwd=system)
        rt.page(s, rt.WELCOME, "Return")
        rt.page(s, rt.UNINSTALL_CONFIRM, "Return")
        rt.confirm_notice(s, rt.UNINSTALL_DONE, shot="uninstall_done.png")
        check(s.wait_exit(uninstaller, 30) == 0, "uninstaller exits with 0")
        seconds = rt.wait_pruned(s)
        print(f"     System, Kelvo and Mokra removed {seconds:.1f} s after the uninstaller exited", flush=True)
        rt.check_uninstalled(s)
        parked = rt.parked_copy(s)
        check(os.path.isfile(parked), "uninstaller parked in the Windows folder")

        # A copy started inside the folder it is to remove.
        old = s.unix(r"C:\Program Files\Old\App\System")
        os.makedirs(old)
        shutil.copy(parked, os.path.join(old, "Rouninst.exe"))
        copy = s.start(parked, "-cleanupuninstall", r"C:\Program Files\Old\App\System\Rouninst.exe",
                       r"C:\Program Files\Old\App\System", cwd=old)
        check(s.wait_exit(copy, 20) == 0, "the clean-up copy quits")
        check(not os.path.exists(s.unix(r"C:\Program Files\Old")), "it removed its start folder and the two above")
        check(os.path.isdir(s.unix(rt.PROGRAM_FILES)), "C:\\Program Files stays")


if __name__ == "__main__":
    run(scenario)
