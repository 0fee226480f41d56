"""Measures the CPU time Klvo.exe uses while idle (the 750 ms tracking
tick running, a test application in front) over 60 seconds. Not a test:
run it by hand; it prints the figure."""
import os
import sys
import time

from harness import Session
from klvo_support import bring_to_front, install_imes, start_app, start_kelvo

SECONDS = int(sys.argv[1]) if len(sys.argv) > 1 else 60


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def wineserver_pid(prefix):
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            cmd = open(f"/proc/{pid}/cmdline", "rb").read().split(b"\0")[0]
            env = open(f"/proc/{pid}/environ", "rb").read()
        except OSError:
            continue
        if os.path.basename(cmd).startswith(b"wineserver") and f"WINEPREFIX={prefix}".encode() in env:
            return int(pid)
    return None


def main():
    with Session("klvo_idle") as s:
        install_imes(s)
        app = start_app(s, "Idle target")
        proc, _ = start_kelvo(s)
        bring_to_front(s, app)
        time.sleep(2)
        server = wineserver_pid(s.prefix)
        print("measuring", open(f"/proc/{proc.pid}/cmdline", "rb").read().replace(b"\0", b" ").decode(), "wineserver", server)
        k0, s0 = cpu_seconds(proc.pid), cpu_seconds(server) if server else 0.0
        time.sleep(SECONDS)
        k1, s1 = cpu_seconds(proc.pid), cpu_seconds(server) if server else 0.0
        print(f"Klvo.exe CPU time over {SECONDS} idle seconds: {k1 - k0:.2f} s"
              f" ({100 * (k1 - k0) / SECONDS:.2f} %); wineserver meanwhile: {s1 - s0:.2f} s")


if __name__ == "__main__":
    main()
