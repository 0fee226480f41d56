"""An author tries an installer with tools/author.sh --try: a small product
whose uninstall section forgets one registry value. The wizard's pages are
kept as screenshots with an index page, the uninstaller the script recorded
runs, and the report names exactly the forgotten value, apart from the
parked uninstaller that a restart deletes; the command then fails."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import ROOT, check, run  # noqa: E402

# Lumo starts at sign-in through the Run key, which the uninstall section
# forgets; everything else it undoes. It copies the installer as its
# uninstaller, as the shipped script does.
SCRIPT = """\
# Lumo 日記 1.0
appname "Lumo 日記"
defaultdirfromreg 1 "Software\\Veska\\Lumo" "Folder"
defaultdirchk
welcome 3 "%PRGDIR%Veska\\Lumo"
startinstall
\tstartmeter
\t\tmkdir "%DEFDIR%"
\t\tcopy Lumo.exe "%DEFDIR%Lumo.exe" "Lumo 本体"
\t\tcopy 説明.txt "%DEFDIR%説明.txt" "説明書"
\t\tcopy Setup.exe "%DEFDIR%Uninst.exe" "アンインストーラ"
\t\tregsetvalue 1 "Software\\Veska\\Lumo" "Folder" 1 "%DEFDIR%"
\t\tregsetvalue 1 "Software\\Microsoft\\Windows\\CurrentVersion\\Run" "Lumo" 1 "%DEFDIR%Lumo.exe"
\t\tregsetvalue 2 "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumo" "DisplayName" 1 "Lumo 日記 1.0"
\t\tregsetvalue 2 "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumo" "UninstallString" 1 "%DEFDIR%Uninst.exe -u"
\tendmeter
\tcleanupinstall "%DEFDIR%Uninst.exe"
endinstall
startuninstall
\tstartmeter
\t\tdel "%DEFDIR%Lumo.exe"
\t\tdel "%DEFDIR%説明.txt"
\t\tregdeletekey 1 "Software\\Veska"
\t\tregdeletekey 2 "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumo"
\tendmeter
\tcopy "%DEFDIR%Uninst.exe" "%WINDIR%LumoUn.exe"
\tcleanupuninstall "%WINDIR%LumoUn.exe" "%DEFDIR%"
enduninstall
end
"""
PAYLOAD = {"Lumo.exe": b"Lumo program\r\n", "説明.txt": "日記の説明\r\n".encode("cp932")}
ARTIFACTS = os.path.join(ROOT, "build", "artifacts", "try", "lumo")


def scenario():
    work = tempfile.mkdtemp(prefix="orvalt-try-")
    try:
        script = os.path.join(work, "lumo.ost")
        with open(script, "w", encoding="utf-8") as f:
            f.write(SCRIPT)
        payload = os.path.join(work, "payload")
        os.makedirs(payload)
        for name, data in PAYLOAD.items():
            with open(os.path.join(payload, name), "wb") as f:
                f.write(data)
        r = subprocess.run([os.path.join(ROOT, "tools", "author.sh"), "--try", script, payload],
                           capture_output=True, timeout=900)
        out = (r.stdout + r.stderr).decode("utf-8", "replace")
        print(out, flush=True)

        check("Setup.exe exited with 0" in out, "the wizard went through to its end")
        check(r"the recorded uninstaller: C:\Program Files\Veska\Lumo\Uninst.exe -u" in out,
              "the uninstaller the script recorded is the one that runs")
        check("the uninstaller exited with 0" in out, "the uninstaller went through to its end")
        left = re.findall(r"^   left: (.*)$", out, re.MULTILINE)
        check(left == [r"registry value: HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run "
                       r'[Lumo] = "C:\Program Files\Veska\Lumo\Lumo.exe"'],
              f"exactly the forgotten value is left behind: {left}")
        parked = re.findall(r"^   parked: (.*)$", out, re.MULTILINE)
        check(len(parked) >= 1 and parked[0].startswith(r"C:\windows\LumoUn.exe "),
              f"the parked uninstaller is named as such: {parked}")
        check(r.returncode == 1, "something left behind fails the command")

        with open(os.path.join(ARTIFACTS, "index.html"), encoding="utf-8") as f:
            index = f.read()
        shots = re.findall(r'<img src="([^"]+)"', index)
        check(all(os.path.isfile(os.path.join(ARTIFACTS, s)) for s in shots), "the index shows kept screenshots")
        for page in ("-install-welcome-page", "-install-destination-folder-page",
                     "-install-installation-confirmation", "-install-installation-finished",
                     "-uninstall-uninstallation-confirmation", "-uninstall-uninstallation-finished"):
            check(any(page in s for s in shots), f"a screenshot of the{page.replace('-', ' ')}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    run(scenario)
