"""The clean-up copy: started with -cleanupinstall it retries once a second
while the file is in use and deletes it soon after it is free; meanwhile it
does not count as a running installer, so Setup.exe started by the user in
that time shows its wizard instead of exiting without a word. A deletion
refused for good (access denied) ends the copy at once."""
import os
import shutil
import time

from harness import Session, check, run


def scenario():
    with Session("setup_cleanup_copy") as s:
        dist = os.path.join(s.c_drive, "Kelvo")
        shutil.copytree(s.dist, dist)
        held = os.path.join(s.c_drive, "held.txt")
        with open(held, "w") as f:
            f.write("in use")
        holder = s.start(s.testapp("wintool.exe"), "hold", r"C:\held.txt", "8")
        time.sleep(2)
        cleanup = s.start(os.path.join(dist, "Setup.exe"), "-cleanupinstall", r"C:\held.txt", cwd=dist)
        time.sleep(3)
        check(os.path.exists(held), "the clean-up copy keeps trying while the file is in use")
        check(cleanup.poll() is None, "the clean-up copy is still running")

        setup = s.start(os.path.join(dist, "Setup.exe"), cwd=dist)
        welcome = s.wait_window("^セットアップの開始$", 20)
        check(welcome is not None, "Setup.exe started meanwhile shows its wizard")
        s.screenshot("wizard-beside-cleanup-copy.png")
        s.key("Escape")
        notice = s.wait_window("Kelvo セットアップ", 10)
        if notice:
            s.key("Return")
        check(s.wait_exit(setup, 20) == 2, "the cancelled installer exits with 2")

        s.wait_exit(holder, 20)
        check(s.wait_exit(cleanup, 15) == 0, "the clean-up copy quits once the file is deleted")
        check(not os.path.exists(held), "the file is deleted after its holder let go")

        # A folder is refused as access denied, as a file on a share that
        # forbids deletion is: nothing to wait for.
        refused = os.path.join(s.c_drive, "refused")
        os.makedirs(refused)
        cleanup = s.start(os.path.join(dist, "Setup.exe"), "-cleanupinstall", r"C:\refused", cwd=dist)
        check(s.wait_exit(cleanup, 15) == 0, "the clean-up copy quits at once when the deletion is refused")
        check(os.path.isdir(refused), "the refused name stays")


if __name__ == "__main__":
    run(scenario)
