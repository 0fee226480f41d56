"""A full disk: the shipped script installs to drive E:, a small tmpfs. A
move that does not fit stops the run with the move failure message, keeps
its source and leaves nothing under the installed name. A copy that runs
out of room half way leaves no truncated file, and the moves before it have
kept their sources; after the drive has grown, the same distribution
installs completely. Needs root (mount)."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Session, check, run  # noqa: E402
import roundtrip as rt  # noqa: E402
import setup_e2e as se  # noqa: E402

DEST = r"E:\Kelvo"


class Drive:
    """A tmpfs of the given size as drive E: of the session's prefix."""

    def __init__(self, s, size):
        self.dir = tempfile.mkdtemp(prefix="orvalt-fulldisk-")
        subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", self.dir], check=True)
        link = os.path.join(s.prefix, "dosdevices", "e:")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(self.dir, link)

    def grow(self, size):
        subprocess.run(["mount", "-o", f"remount,size={size}", self.dir], check=True)

    def path(self, *parts):
        return os.path.join(self.dir, "Kelvo", *parts)

    def close(self):
        # Wine may still hold the folder open; the mount goes when it lets go.
        subprocess.run(["umount", "-l", self.dir], check=False)
        os.rmdir(self.dir)


def pages_k(*paths):
    """Room, in KiB of whole 4 KiB pages, that the files take on a tmpfs."""
    return sum((os.path.getsize(p) + 4095) // 4096 * 4 for p in paths)


def same_bytes(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def start_install(s, dist):
    """Starts the wizard and answers its pages with the folder on E:."""
    proc = se.start(s, dist)
    se.press(s, se.page(s, se.WELCOME), "Return")
    w = se.page(s, se.FOLDER)
    s.settext(w, 1003, DEST)
    se.press(s, w, "Return")
    se.press(s, se.page(s, se.INSTALL_CONFIRM), "Return")
    return proc


def install_until_failure(s, dist, failure, shot):
    proc = start_install(s, dist)
    b = se.expect_box(s, failure, "the failure names the file")
    s.screenshot(shot)
    se.press(s, b, "Return")
    se.expect_stop(s, proc)


def first_move_does_not_fit(s, drive):
    dist = se.make_dist(s, "Full")
    install_until_failure(s, dist, "ファイルKlvo.exeの移動ができませんでした。", "fulldisk_move.png")
    check(same_bytes(os.path.join(dist, "Klvo.exe"), s.dist_file("Klvo.exe")), "the move kept its source whole")
    check(not os.path.exists(drive.path("Klvo.exe")), "no truncated Klvo.exe under the installed name")


def copy_runs_out_half_way(s, drive):
    # Room for the four moved files, not for the copy of Setup.exe.
    dist = se.make_dist(s, "Half")
    install_until_failure(s, dist, "ファイルSetup.exeのコピーができませんでした。", "fulldisk_copy.png")
    check(os.path.isfile(drive.path("Manual.txt")), "the files before it were installed")
    check(not os.path.exists(drive.path("System", "Rouninst.exe")), "no truncated copy under the installed name")
    for name in rt.INSTALLED:
        check(same_bytes(os.path.join(dist, name), s.dist_file(name)), f"the distribution keeps {name} whole")

    # Room made: the same distribution now installs completely.
    drive.grow("4m")
    proc = start_install(s, dist)
    rt.page(s, rt.START_MENU, "alt+n", "Return")
    rt.confirm_notice(s, rt.INSTALL_DONE, shot="fulldisk_rerun_done.png")
    check(s.wait_exit(proc, 30) == 0, "the second run ends normally")
    for name, target in rt.INSTALLED.items():
        check(same_bytes(drive.path(*target.split("\\")), s.dist_file(name)), f"{target} installed whole")
    moved = [name for name in rt.INSTALLED if name != "Setup.exe"]
    check(not any(os.path.exists(os.path.join(dist, name)) for name in moved), "the moves took their sources")


def scenario():
    check(os.geteuid() == 0, "runs as root (mounts a tmpfs)")
    with Session("setup_fulldisk") as s:
        # The half-way case last: its finished install would turn the next
        # run's folder page into the install-or-uninstall choice. The drives
        # are sized from the files themselves: less than Klvo.exe, the first
        # move; then room for the four moved files and half of Setup.exe.
        drive = Drive(s, f"{max(4, pages_k(s.dist_file('Klvo.exe')) // 8 * 4)}k")
        try:
            first_move_does_not_fit(s, drive)
        finally:
            drive.close()
        moved = [s.dist_file(name) for name in rt.INSTALLED if name != "Setup.exe"]
        half = pages_k(*moved) + pages_k(s.dist_file("Setup.exe")) // 8 * 4
        drive = Drive(s, f"{half}k")
        try:
            copy_runs_out_half_way(s, drive)
        finally:
            drive.close()

if __name__ == "__main__":
    run(scenario)
