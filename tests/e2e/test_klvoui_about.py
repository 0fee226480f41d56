"""Kelvo's About box: the version from the program's version resource and
the physical memory in kilobytes with one thousands separator."""
import re

from harness import Session, check, run
from klvo_support import eventually, in_front
from test_klvoui_display import start_restored

DIALOG = "^Kelvoのバージョン情報$"


def host_memory_kb():
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                return int(line.split()[1])
    return None


def scenario():
    with Session("klvoui_about") as s:
        proc, main = start_restored(s)
        s.activate(main)
        eventually(lambda: in_front(s, main))
        s.key("alt+h", "a")
        dialog = s.wait_window(DIALOG)
        check(dialog is not None, "About box opens from the Help menu")
        check(eventually(lambda: {x["id"]: x for x in s.children(dialog)}.get(312, {}).get("text")),
              "with its memory line filled")
        c = {x["id"]: x for x in s.children(dialog)}
        check(c[304]["text"] == "Kelvo", "program name")
        check(c[314]["text"] == "Version 2.00", "version line from the version resource")
        line = c[312]["text"]
        m = re.fullmatch(r"(\d+)(?:,(\d{3}))? KB 使用可能", line)
        check(m is not None, "memory line %r has the KB form" % line)
        shown = int(m.group(1)) * 1000 + int(m.group(2)) if m.group(2) else int(m.group(1))
        check(m.group(2) is not None or shown < 1000, "separator from 1000 KB on")
        host = host_memory_kb()
        check(abs(shown - host) <= host // 100, "memory %d KB is the machine's total %d KB" % (shown, host))
        sep = c[308]
        check(sep["rect"][3] - sep["rect"][1] <= 2, "separator is a line")
        s.screenshot("about.png")
        s.key("Return")
        check(s.wait_window(DIALOG, timeout=5, gone=True), "OK closes the About box")
        s.menu(main, 1020)
        check(s.wait_exit(proc, 20) == 0, "Kelvo exits")


if __name__ == "__main__":
    run(scenario)
