"""Start-up: the refusal on a platform that is not Windows 95, and the
single-instance rule (a second start restores the first and exits 0; two
copies started at the same moment leave one running)."""

from harness import Session, check, run
from klvo_support import eventually, start_kelvo

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
        check(eventually(lambda: [w["iconic"] for w in s.windows() if w["class"] == "KelvoClass"] == [0]),
              "the first copy is restored")
        mains = [w for w in s.windows() if w["class"] == "KelvoClass"]
        s.screenshot("restored.png")
        check(first.poll() is None, "the first copy still runs")
        s.close(mains[0])
        check(s.wait_exit(first, 15) == 0, "the first copy exits with code 0 on WM_CLOSE")


def dialog_raised():
    with Session("klvo_instance_dialog") as s:
        first, main = start_kelvo(s)
        s.menu(main, 3040)
        dialogs = lambda: [w for w in s.windows() if w["class"] == "#32770" and w["pid"] == main["pid"]]
        check(eventually(dialogs), "the first copy has its About dialog open")
        dialog = dialogs()[0]
        s.start(s.testapp("gui_fgapp.exe"), "Other app")
        check(eventually(lambda: (s.foreground() or {}).get("text") == "Other app"), "another application is in front")
        second = s.start(s.dist_file("Klvo.exe"), cwd=s.dist)
        check(s.wait_exit(second, 20) == 0, "the second copy exits with code 0")
        check(eventually(lambda: (s.foreground() or {}).get("hwnd") == dialog["hwnd"]),
              f"the open dialog is raised ({s.foreground()})")
        check([w["iconic"] for w in s.windows() if w["class"] == "KelvoClass"] == [0],
              "with the main window restored")
        s.screenshot("dialog_raised.png")
        s.command(dialog, 1)
        check(eventually(lambda: not dialogs()), "OK closes the dialog")
        s.close(main)
        check(s.wait_exit(first, 15) == 0, "the first copy exits with code 0")


def started_together():
    with Session("klvo_instance_together") as s:
        copies = [s.start(s.dist_file("Klvo.exe"), cwd=s.dist) for _ in range(2)]
        check(eventually(lambda: sum(p.poll() is not None for p in copies) >= 1, 30),
              "of two copies started together one exits")
        ended = [p for p in copies if p.poll() is not None]
        running = [p for p in copies if p.poll() is None]
        check(len(ended) == 1 and ended[0].returncode == 0 and len(running) == 1,
              f"with code 0, and the other runs ({[p.returncode for p in copies]})")
        mains = [w for w in s.windows() if w["class"] == "KelvoClass"]
        check(len(mains) == 1, f"one main window ({mains})")
        s.close(mains[0])
        check(s.wait_exit(running[0], 15) == 0, "the running copy exits with code 0")


if __name__ == "__main__":
    run(lambda: (refusal(), single_instance(), dialog_raised(), started_together()))
