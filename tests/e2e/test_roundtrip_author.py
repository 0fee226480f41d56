"""An author packages their own product with tools/author.sh: a broken
script is refused with file:line: reason and nothing is built; a sound one
gives a distribution folder whose Setup.exe runs the author's script, which
installs and uninstalls the product under Wine."""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import ROOT, Session, check, run  # noqa: E402
import roundtrip as rt  # noqa: E402

SCRIPT = """\
# Pelka 帳簿 1.0
appname "Pelka 帳簿"
defaultdirfromreg 1 "Software\\Pelka\\帳簿" "Folder"
defaultdirchk
welcome 3 "%PRGDIR%Pelka"
startinstall
\tstartmeter
\t\tmkdir "%DEFDIR%"
\t\tmkdir "%DEFDIR%Docs"
\t\tcopy Pelka.exe "%DEFDIR%Pelka.exe" "Pelka 本体"
\t\tcopy docs\\Guide.txt "%DEFDIR%Docs\\説明書.txt" "説明書"
\t\tregsetvalue 1 "Software\\Pelka\\帳簿" "Folder" 1 "%DEFDIR%"
\t\tregsetvalue 1 "Software\\Pelka\\帳簿\\Options" "Level" 0 3
\tendmeter
endinstall
startuninstall
\tstartmeter
\t\tdel "%DEFDIR%Pelka.exe"
\t\tdel "%DEFDIR%Docs\\説明書.txt"
\t\trmdir "%DEFDIR%Docs"
\t\trmdir "%DEFDIR%"
\t\tregdeletekey 1 "Software\\Pelka"
\tendmeter
enduninstall
end
"""

PAYLOAD = {"Pelka.exe": b"Pelka program\r\n", os.path.join("docs", "Guide.txt"): "帳簿の説明\r\n".encode("cp932")}
PELKA_KEY = r"HKCU\Software\Pelka\帳簿"
DEST = r"C:\Program Files\Pelka"


def author(work, script_text, *options):
    script = os.path.join(work, "pelka.ost")
    with open(script, "w", encoding="utf-8") as f:
        f.write(script_text)
    payload = os.path.join(work, "payload")
    for name, data in PAYLOAD.items():
        os.makedirs(os.path.dirname(os.path.join(payload, name)), exist_ok=True)
        with open(os.path.join(payload, name), "wb") as f:
            f.write(data)
    r = subprocess.run([os.path.join(ROOT, "tools", "author.sh"), *options, script, payload],
                       capture_output=True, text=True, timeout=900)
    print("     author.sh:", r.returncode, (r.stdout + r.stderr).strip().replace("\n", "\n     "), flush=True)
    return r.returncode, r.stdout + r.stderr, script


def scenario():
    work = tempfile.mkdtemp(prefix="orvalt-author-")
    try:
        out = os.path.join(work, "out")
        options = ["--preset", "win64", "--build-dir", os.path.join(work, "build"), "--out", out]

        broken = SCRIPT.replace("copy Pelka.exe", "copy Pelkaa.exe").replace("endinstall\n", "")
        code, text, script = author(work, broken, *options)
        check(code != 0, "a broken script is refused")
        check(f"{script}:10:" in text and "Pelkaa.exe" in text, "the missing source is named with file and line")
        check("startinstall" in text or "endinstall" in text, "the unbalanced section is reported")
        check(not os.path.exists(out), "nothing is assembled")

        code, text, script = author(work, SCRIPT, *options)
        check(code == 0, "a sound script builds")
        for name in ["Setup.exe", *PAYLOAD]:
            check(os.path.isfile(os.path.join(out, name)), f"the distribution holds {name}")
        code, _, _ = author(work, SCRIPT, *options)
        check(code == 0 and os.path.isfile(os.path.join(out, "Setup.exe")), "running it again rebuilds in place")

        foreign = os.path.join(work, "mine")
        os.makedirs(foreign)
        with open(os.path.join(foreign, "keep.txt"), "w") as f:
            f.write("the author's own file")
        code, _, _ = author(work, SCRIPT, *options[:4], "--out", foreign)
        check(code != 0 and os.path.isfile(os.path.join(foreign, "keep.txt")),
              "a folder it did not assemble is never emptied")

        with Session("roundtrip_author") as s:
            dist = os.path.join(s.c_drive, "Pelka")
            shutil.copytree(out, dist)
            setup = s.start(os.path.join(dist, "Setup.exe"), cwd=dist)
            w = s.wait_window(r"^Pelka 帳簿 セットアップ$", timeout=30)
            check(w is not None, "the caption names the author's product")
            welcome = s.wait_window(rt.WELCOME, timeout=30)
            check(welcome is not None, "the wizard starts")
            s.screenshot("author_welcome.png")
            s.command(welcome, 2)
            check(rt.dismiss_abort_notice(s), "cancelled at the welcome page")
            check(s.wait_exit(setup, 30) == 2, "the installer exits with 2: cancelled")

            setup = s.start(os.path.join(dist, "Setup.exe"), "-s", cwd=dist)
            check(s.wait_exit(setup, 60) == 0, "silent install exits with 0")
            check(os.path.isfile(s.unix(DEST + r"\Pelka.exe")), "the product is installed")
            with open(s.unix(DEST + r"\Docs\説明書.txt"), "rb") as f:
                check(f.read() == PAYLOAD[os.path.join("docs", "Guide.txt")], "the document is copied under its new name")
            check(rt.reg_query(s, PELKA_KEY, "Folder") == DEST, "the author's registry value")
            check(rt.reg_query(s, PELKA_KEY + r"\Options", "Level") == "0x3", "the author's number value")

            setup = s.start(os.path.join(dist, "Setup.exe"), "-u", "-s", cwd=dist)
            check(s.wait_exit(setup, 60) == 0, "silent uninstall exits with 0")
            check(not os.path.exists(s.unix(DEST)), "the product folder is removed")
            check(rt.reg_query(s, r"HKCU\Software\Pelka") is None, "the author's key is deleted with its subkeys")
            check(os.path.isfile(os.path.join(dist, "Setup.exe")), "this script does not remove its installer")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    run(scenario)
