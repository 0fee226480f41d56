"""Round trip of the shipped script through the wizard: install with
"登録する" in the Start-menu question, uninstall from the recorded
UninstallString, then the next installation removes the parked uninstaller.
A reinstall from a CD-ROM, whose files are up to 2 s older than the
installed ones (as a FAT disk rounds the times of copies up), asks nothing
and leaves the CD as it was."""
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Session, check, run  # noqa: E402
import roundtrip as rt  # noqa: E402


def scenario():
    with Session("roundtrip_interactive") as s:
        dist = rt.copy_dist(s)
        setup = rt.wizard_install(s, dist, {rt.START_MENU: "startmenu_dialog_136.png"})
        rt.confirm_notice(s, rt.INSTALL_DONE, shot="install_done.png", folder_shot="startmenu_folder.png")
        check(s.wait_exit(setup, 30) == 0, "installer exits with 0")
        exited = time.time()
        gone = rt.wait_until(lambda: not os.path.exists(os.path.join(dist, "Setup.exe")), 10)
        check(gone is not None, "Setup.exe deleted from the distribution folder")
        print(f"     Setup.exe gone {time.time() - exited:.1f} s after the installer exited", flush=True)
        check(time.time() - exited < 3.0, "within about two seconds")
        rt.check_installed(s, dist, start_menu=True)
        print("     Start-menu group holds:", os.listdir(os.path.join(rt.programs_folder(s), rt.GROUP)))
        rt.settings_written_by_switcher(s)

        # Uninstall as the system's Add/Remove Programs would start it.
        command = rt.reg_query(s, rt.UNINSTALL_KEY, "UninstallString")
        program, option = command.rsplit(" ", 1)
        uninstaller = s.start(program, option)
        rt.page(s, rt.WELCOME, "Return")
        w = rt.page(s, rt.UNINSTALL_CONFIRM, shot="uninstall_confirm.png")
        path = s.control(w, 1022)
        check(path is not None and path["text"] == rt.DEST, "the confirmation names the installed folder")
        s.key("Return")
        rt.confirm_notice(s, rt.UNINSTALL_DONE, shot="uninstall_done.png")
        check(s.wait_exit(uninstaller, 30) == 0, "uninstaller exits with 0")
        seconds = rt.wait_pruned(s)
        print(f"     destination pruned {seconds:.1f} s after the uninstaller exited", flush=True)
        rt.check_uninstalled(s)
        check(os.path.isfile(rt.parked_copy(s)), "uninstaller parked in the Windows folder")
        print("     Start-menu group left:", os.listdir(os.path.join(rt.programs_folder(s), rt.GROUP)))

        # The next installation deletes the parked copy first thing.
        rt.silent_install(s, "Kelvo2")
        check(not os.path.exists(rt.parked_copy(s)), "the next install deleted the parked uninstaller")
        check(os.path.isfile(s.unix(rt.DEST + r"\Klvo.exe")), "and installed again")

        # The same release on a CD in drive D:, started by full path from
        # another folder; the installed files are 1 or 2 s newer.
        cdrom = os.path.join(s.prefix, "cdrom")
        os.makedirs(cdrom)
        for number, (name, target) in enumerate(rt.INSTALLED.items()):
            shutil.copy(os.path.join(s.dist, name), cdrom)
            installed = os.stat(s.find_unix(rt.DEST + "\\" + target)).st_mtime_ns
            older = installed - (1 + number % 2) * 1_000_000_000
            os.utime(os.path.join(cdrom, name), ns=(older, older))
        before = {name: os.stat(os.path.join(cdrom, name)).st_mtime_ns for name in rt.DIST_FILES}
        rt.attach_drive(s, "D", "cdrom", cdrom)
        proc = s.start(r"D:\Setup.exe", cwd=s.unix(r"C:\windows"))
        code, asked = rt.wizard_defaults(s, proc, shot_prefix="reinstall_cdrom_")
        check(code == 0, "the reinstall from D: exits with 0")
        check(not asked, "the reinstall asks nothing: " + "; ".join(asked))
        check(s.wait_programs_gone("-cleanup"), "no clean-up copy left running")
        for name in rt.DIST_FILES:
            kept = os.path.join(cdrom, name)
            check(os.path.isfile(kept) and os.stat(kept).st_mtime_ns == before[name], f"{name} stays on the CD")


if __name__ == "__main__":
    run(scenario)
