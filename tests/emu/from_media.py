"""In the emulated 32-bit PC: the shipped Setup.exe from the release
images, as a Windows 95 user brings it, onto a FAT16 drive C: (the guest's
own FAT driver, so that Wine sees FAT's 8.3 aliases and 2-second times).
Drive A: is the floppy drive with KELVO200.IMG, write-protected; D: the
CD-ROM drive with KELVO200.ISO; Wine knows their types from
HKLM\\Software\\Wine\\Drives and the prefix's dosdevices links. In one
prefix, one step after another:

  floppy_wizard         the wizard from A: (write-protected), as double-clicked there
  uninstall_wizard      the uninstallation from the recorded UninstallString, every page
  cd_silent_full_path   "D:\\SETUP.EXE -s" from a DOS prompt in C:\\WINDOWS
  cd_wizard_reinstall   over that, the wizard from D: with every default: no question
  archive_on_c          KELVO200.ZIP unpacked into C:\\KELVO200, installed from there
  floppy_writable       A: a writable copy of the floppy: the disk keeps every file

After each installation: every file byte for byte, the registry and the
Start-menu item (or none) as after a reference installation, the exit code
0; the floppy or CD image byte for byte as released (its checksum); after
each uninstallation nothing of Kelvo's is left but the parked uninstaller.
A step that fails is cleaned up after, and the next one still runs; each
prints "step NAME passed|FAILED (N s)"."""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from harness import Failure, Session, check, run  # noqa: E402
import roundtrip as rt  # noqa: E402

MEDIA = os.environ.get("KELVO_MEDIA", "/job/media")
# Where the PC's drives are mounted (tests/emu/guest.sh).
FAT_C = "/media/c"
FLOPPY, FLOPPY_DEVICE = "/media/a", "/dev/fd0"
WRITABLE, WRITABLE_DEVICE = "/media/b", "/dev/fd1"
CDROM, CDROM_DEVICE = "/media/cdrom", "/dev/sr0"
# What Wine only reads and what is large stays on the Linux disk, mounted
# into the FAT volume: the installer writes to none of it.
ON_LINUX = [os.path.join("windows", "system32"), os.path.join("windows", "syswow64"),
            os.path.join("windows", "winsxs")]
DRIVE_TYPES = '\n[Software\\\\Wine\\\\Drives] 0\n"a:"="floppy"\n"d:"="cdrom"\n'


def released_sums():
    sums = {}
    with open(os.path.join(MEDIA, "SHA256SUMS")) as f:
        for line in f:
            digest, name = line.split()
            sums[name] = digest
    return sums


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def mounted(folder):
    with open("/proc/mounts") as f:
        return {line.split()[1]: line.split()[2] for line in f}.get(folder)


def link(s, name, target):
    path = os.path.join(s.prefix, "dosdevices", name)
    if os.path.lexists(path):
        os.remove(path)
    os.symlink(target, path)


def era_drives(s):
    """The prefix's drives: C: the FAT16 volume (the template's drive_c
    copied onto it), A: the write-protected floppy, D: the CD."""
    for folder, kind in ((FAT_C, "vfat"), (FLOPPY, "vfat"), (WRITABLE, "vfat"), (CDROM, "iso9660")):
        check(mounted(folder) == kind, f"{folder} mounted ({kind})")
    s.bound = []
    drive_c = s.c_drive
    for folder, subfolders, files in os.walk(drive_c):
        inside = os.path.relpath(folder, drive_c)
        target = os.path.normpath(os.path.join(FAT_C, inside))
        os.makedirs(target, exist_ok=True)
        for name in list(subfolders):
            source = os.path.join(folder, name)
            if os.path.normpath(os.path.join(inside, name)) in ON_LINUX:
                os.makedirs(os.path.join(target, name), exist_ok=True)
                subprocess.run(["mount", "--bind", source, os.path.join(target, name)], check=True)
                s.bound.append(os.path.join(target, name))
                subfolders.remove(name)
            elif os.path.islink(source):
                # FAT has no links: the user's folders that point to the
                # Linux home become folders of their own.
                os.makedirs(os.path.join(target, name), exist_ok=True)
        for name in files:
            if not os.path.islink(os.path.join(folder, name)):
                shutil.copyfile(os.path.join(folder, name), os.path.join(target, name))
    link(s, "c:", FAT_C)
    link(s, "a:", FLOPPY)
    link(s, "a::", FLOPPY_DEVICE)
    link(s, "d:", CDROM)
    link(s, "d::", CDROM_DEVICE)
    with open(os.path.join(s.prefix, "system.reg"), "a", encoding="utf-8") as f:
        f.write(DRIVE_TYPES)
    s.c_drive = FAT_C


def unbind(s):
    for folder in reversed(getattr(s, "bound", [])):
        subprocess.run(["umount", folder], check=False)


def check_media(device, name):
    check(sha256(device) == released_sums()[name], f"{device} holds {name} byte for byte (checksum)")


def check_cleanup_ends(s):
    check(s.wait_programs_gone("-cleanup", timeout=60), "the installer's clean-up copy has ended")


def uninstall(s, shots=None):
    """The recorded UninstallString: with shots, every page with its
    default (and a screenshot); without, silently (-s)."""
    command = rt.reg_query(s, rt.UNINSTALL_KEY, "UninstallString")
    check(command == rt.DEST + r"\System\Rouninst.exe -u", f"UninstallString recorded ({command})")
    program, option = command.rsplit(" ", 1)
    if shots:
        proc = s.start(program, option)
        code, asked = rt.wizard_defaults(s, proc, shot_prefix=shots)
        check(code == 0, f"uninstaller exits with 0 ({code})")
        check(not asked, f"the uninstaller asks nothing ({asked})")
    else:
        proc = s.start(program, option, "-s")
        check(s.wait_exit(proc, 60) == 0, "silent uninstaller exits with 0")
    rt.wait_pruned(s, timeout=30)
    rt.check_uninstalled(s)
    windows = os.path.dirname(rt.parked_copy(s))
    print("     in the Windows folder:", [n for n in os.listdir(windows) if n.lower().startswith(("rou", "wininit"))],
          flush=True)
    check(os.path.isfile(rt.parked_copy(s)), "uninstaller parked in the Windows folder")
    # The Start-menu group a wizard installation made (the Startup
    # folder) stays; empty, it goes here, so that the next silent step
    # shows that it makes none.
    group = os.path.dirname(rt.start_menu_item(s))
    if os.path.isdir(group):
        os.rmdir(group)


def floppy_wizard(s):
    # C: is FAT with its own 8.3 aliases, which Wine reads from the volume
    # (on a Linux file system it makes up its own, such as PROG~FBU). The
    # number after the tilde depends on what the root held when the
    # folder was made.
    code, rows = s.wintool("shortname", r"C:\Program Files")
    print("     short name of C:\\Program Files:", rows, flush=True)
    check(code == 0 and rows and re.fullmatch(r"C:\\PROGRA~[1-9]", rows[0]["short"].upper()) is not None,
          "C: has FAT's own alias PROGRA~n")
    setup = rt.wizard_install(s, FLOPPY, {rt.WELCOME: "21_floppy_welcome.png", rt.FOLDER: "22_floppy_folder.png",
                                          rt.INSTALL_CONFIRM: "23_floppy_confirm.png",
                                          rt.START_MENU: "24_floppy_startmenu.png"}, program=r"A:\Setup.exe")
    rt.confirm_notice(s, rt.INSTALL_DONE, shot="25_floppy_done.png")
    check(s.wait_exit(setup, 60) == 0, "installer exits with 0")
    rt.check_installed(s, FLOPPY, start_menu=True, consumed=False)
    check_cleanup_ends(s)
    check_media(FLOPPY_DEVICE, "KELVO200.IMG")


def uninstall_wizard(s):
    if rt.reg_query(s, rt.UNINSTALL_KEY) is None:
        # The installation from the floppy failed and was cleaned up: one
        # from an unpacked folder stands in for it.
        rt.silent_install(s, "Kelvo")
    uninstall(s, shots="26_uninstall_")


def cd_silent_full_path(s):
    setup = s.start(r"D:\SETUP.EXE", "-s", cwd=s.unix(r"C:\WINDOWS"))
    check(s.wait_exit(setup, 60) == 0, r"D:\SETUP.EXE -s from C:\WINDOWS exits with 0")
    rt.check_installed(s, CDROM, start_menu=False, consumed=False)
    check_cleanup_ends(s)
    check_media(CDROM_DEVICE, "KELVO200.ISO")


def cd_wizard_reinstall(s):
    setup = s.start(r"D:\Setup.exe", cwd=CDROM)
    code, asked = rt.wizard_defaults(s, setup, shot_prefix="31_cd_reinstall_")
    check(code == 0, f"installer exits with 0 ({code})")
    check(not asked, f"no question on the way ({asked})")
    rt.check_installed(s, CDROM, start_menu=True, consumed=False)
    check_cleanup_ends(s)
    check_media(CDROM_DEVICE, "KELVO200.ISO")
    uninstall(s)


def archive_on_c(s):
    # As an unpacking tool does: a folder named after the archive, each
    # file with the time the archive records.
    folder = s.unix(r"C:\KELVO200")
    os.makedirs(folder)
    with zipfile.ZipFile(os.path.join(MEDIA, "KELVO200.ZIP")) as archive:
        check(archive.namelist() == rt.DIST_FILES, "the archive holds the distribution")
        for info in archive.infolist():
            path = os.path.join(folder, info.filename)
            with open(path, "wb") as f:
                f.write(archive.read(info))
            stamp = time.mktime(info.date_time + (0, 0, -1))
            os.utime(path, (stamp, stamp))
    setup = s.start(r"C:\KELVO200\Setup.exe", "-s", cwd=folder)
    check(s.wait_exit(setup, 60) == 0, "silent install exits with 0")
    rt.check_installed(s, folder, start_menu=False)
    gone = rt.wait_until(lambda: not os.path.exists(os.path.join(folder, "Setup.exe")), 20)
    check(gone is not None, "Setup.exe deleted from the unpacked folder")
    check(os.listdir(folder) == [], "the unpacked folder is empty")
    uninstall(s)


def floppy_writable(s):
    link(s, "a:", WRITABLE)
    link(s, "a::", WRITABLE_DEVICE)
    setup = s.start(r"A:\Setup.exe", "-s", cwd=WRITABLE)
    check(s.wait_exit(setup, 60) == 0, "silent install from a writable A: exits with 0")
    rt.check_installed(s, WRITABLE, start_menu=False, consumed=False)
    check_cleanup_ends(s)
    check(sorted(os.listdir(WRITABLE)) == sorted(rt.DIST_FILES), "the disk holds the five files and nothing else")
    uninstall(s)
    # Written out and released, the disk is the released image.
    s.stop_wine()
    check(subprocess.run(["umount", WRITABLE]).returncode == 0, "the writable floppy is released")
    check_media(WRITABLE_DEVICE, "KELVO200.IMG")


def clean_up(s):
    """After a failed step: Wine ended and started again, and whatever the
    step left of Kelvo removed, so that the next step starts clean."""
    s.stop_wine()
    s.boot()
    command = rt.reg_query(s, rt.UNINSTALL_KEY, "UninstallString")
    if command:
        program, option = command.rsplit(" ", 1)
        s.wait_exit(s.start(program, option, "-s"), 60)
        s.stop_wine()
        s.boot()
    for key in [rt.VENDOR_KEY, rt.APP_PATHS_KEY, rt.UNINSTALL_KEY, rt.LABEL_KEY, rt.SCHEME_KEY, rt.SETTINGS_KEY]:
        s.wine("reg", "delete", key, "/f")
    shutil.rmtree(s.unix(r"C:\Program Files\Mokra"), ignore_errors=True)
    if os.path.exists(rt.start_menu_item(s)):
        os.remove(rt.start_menu_item(s))


STEPS = [floppy_wizard, uninstall_wizard, cd_silent_full_path, cd_wizard_reinstall, archive_on_c, floppy_writable]


def scenario():
    outcomes = []
    with Session("emu_media", prepare=era_drives) as s:
        try:
            for step in STEPS:
                name = step.__name__
                print(f"---- {name}", flush=True)
                started = time.time()
                try:
                    step(s)
                    passed = True
                except Failure:
                    s.screenshot(f"{name}_failure.png")
                    passed = False
                    clean_up(s)
                outcomes.append(passed)
                print(f"step {name}: {'passed' if passed else 'FAILED'} ({time.time() - started:.0f} s)", flush=True)
        finally:
            s.stop_wine()
            unbind(s)
    check(all(outcomes), "every step passed")


if __name__ == "__main__":
    run(scenario)
