"""Start-up: the refusal on a platform that is not Windows 95, and the
single-instance rule (a second start restores the first and exits 0)."""
import time

from harness import Session, check, run
from klvo_support import start_kelvo

REFUSAL = "Windows 95を使用してください。"


def refusal():
    with Session("klvo_refusal", win95=False) as s:
        proc = s.start(s.dist_file("Klvo.exe"), cwd=s.dist)
        box = s.wait_window("^Kelvo$")
        check(box is not None and box["class"] == "#32770", f"a message box titled Kelvo appears ({box})")
        texts = [c["text"] for c in s.children(box)] if box else []
        check(any(REFUSAL in t and "Windows 3.1/Windows NT" in t for t in texts),
              f"it shows the refusal text ({texts})")
        s.screenshot("refusal.png")
        check(not [w for w in s.windows() if w["class"] == "KelvoClass"], "no main window was created")
        s.key("Return")
        check(s.wait_exit(proc, 15) == 0, "Klvo.exe exits with code 0 after the message")


def single_instance():
    with Session("klvo_instance") as s:
        first, main = start_kelvo(s)
        check(main["iconic"] == 1, "the first copy runs minimised")
        second = s.start(s.dist_file("Klvo.exe"), cwd=s.dist)
        check(s.wait_exit(second, 20) == 0, "the second copy exits with code 0")
        time.sleep(1)
        mains = [w for w in s.windows() if w["class"] == "KelvoClass"]
        check(len(mains) == 1 and mains[0]["iconic"] == 0, f"the first copy is restored ({mains})")
        s.screenshot("restored.png")
        check(first.poll() is None, "the first copy still runs")
        s.close(mains[0])
        check(s.wait_exit(first, 15) == 0, "the first copy exits with code 0 on WM_CLOSE")


def dialog_raised():
    with Session("klvo_instance_dialog") as s:
        first, main = start_kelvo(s)
        s.menu(main, 3040)
        end = time.time() + 10
        dialog = None
        while time.time() < end and dialog is None:
            found = [w for w in s.windows() if w["class"] == "#32770" and w["pid"] == main["pid"]]
            dialog = found[0] if found else None
            time.sleep(0.3)
        check(dialog is not None, "the first copy has its About dialog open")
        app = s.start(s.testapp("gui_fgapp.exe"), "Other app")
        check(s.wait_window("^Other app$") is not None, "another application is in front")
        time.sleep(1)
        second = s.start(s.dist_file("Klvo.exe"), cwd=s.dist)
        check(s.wait_exit(second, 20) == 0, "the second copy exits with code 0")
        time.sleep(1)
        fg = s.foreground()
        check(fg is not None and fg["hwnd"] == dialog["hwnd"], f"the open dialog is raised ({fg})")
        s.screenshot("dialog_raised.png")
        s.command(dialog, 1)
        time.sleep(0.5)
        s.close(main)
        check(s.wait_exit(first, 15) == 0, "the first copy exits with code 0")


if __name__ == "__main__":
    run(lambda: (refusal(), single_instance(), dialog_raised()))
