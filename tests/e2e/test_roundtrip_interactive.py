"""Round trip of the shipped script through the wizard: install with
"登録する" in the Start-menu question, uninstall from the recorded
UninstallString, then the next installation removes the parked uninstaller."""
import os
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


if __name__ == "__main__":
    run(scenario)
