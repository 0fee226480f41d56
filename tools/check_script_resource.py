#!/usr/bin/python3
"""Reads the TEXT/SCRIPT resource back out of a built Setup.exe and checks
that it is the script source in code page 932 with CR LF and a final 0x1A,
stored in language Japanese (1041), and that the source is the shipped
script line for line: the lines below, exactly, each after its indentation
of tabs (comment lines have none; their separators are part of the line)."""
import sys

import pefile

sys.path.insert(0, __file__.rsplit("/", 1)[0])
from cp932text import encode  # noqa: E402

SHIPPED = [
    '# Kelvo Ver.2.00 スクリプトファイル',
    '',
    'appname "Kelvo"',
    'chkostype 0 1',
    'chkostype 2 1',
    r'defaultdirfromreg 2 "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Klvo.exe" "Path"',
    'defaultdirchk',
    '',
    '; 以前に待避したアンインストーラーの削除',
    'del "%WINDIR%Rouninst.exe"',
    '',
    r'welcome 3 "%PRGDIR%Mokra\Kelvo"',
    'chkclassexec "KelvoClass" "Kelvo"',
    '',
    'startinstall',
    'startmeter',
    ';\t\tファイルのコピー',
    'mkdir "%DEFDIR%"',
    'mkdir "%DEFDIR%System"',
    'move Klvo.exe "%DEFDIR%Klvo.exe" "Kelvo 実行ファイル"',
    r'move Klvo.hlp "%DEFDIR%System\Klvo.hlp" "Kelvo ヘルプファイル"',
    'move Readme.txt "%DEFDIR%Readme.txt" "Klvo Change 補足説明ファイル"',
    'move Manual.txt "%DEFDIR%Manual.txt" "Kelvo 操作説明ファイル"',
    r'copy Setup.exe "%DEFDIR%System\Rouninst.exe" "Kelvo アンインストーラ"',
    ';\t\tレジストリの更新',
    r'regdeletekey 2 "SOFTWARE\Mokra\Kelvo"',
    r'regcreatekey 2 "SOFTWARE\Mokra\Kelvo\2.00"',
    r'regcreatekey 2 "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Klvo.exe"',
    r'regsetvalue 2 "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Klvo.exe" "Path" 1 "%DEFDIR%"',
    r'regsetvalue 2 "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Klvo.exe" "" 1 "%DEFDIR%Klvo.exe"',
    r'regcreatekey 2 "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo"',
    r'regsetvalue 2 "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo" "DisplayName" 1 "Kelvo 2.00"',
    r'regsetvalue 2 "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo" "UninstallString" 1 "%DEFDIR%System\Rouninst.exe -u"',
    r'regcreatekey 1 "AppEvents\EventLabels\KelvoIMEChange"',
    r'regsetvalue 1 "AppEvents\EventLabels\KelvoIMEChange" "" 1 "日本語入力ｼｽﾃﾑの切り替え"',
    r'regcreatekey 1 "AppEvents\Schemes\Apps\Kelvo\KelvoIMEChange\.Current"',
    r'regsetvalue 1 "AppEvents\Schemes\Apps\Kelvo" "" 1 "Kelvo 2.00"',
    'endmeter',
    'ddestart',
    'startmeter',
    ';\t\tスタートメニューの更新',
    'creategroup "ｽﾀｰﾄｱｯﾌﾟ"',
    'addicon "%DEFDIR%Klvo.exe" "ｽﾀｰﾄｱｯﾌﾟ" "Kelvo"',
    'endmeter',
    ';\tインストーラーの削除',
    r'cleanupinstall "%DEFDIR%System\Rouninst.exe"',
    'endinstall',
    '',
    'startuninstall',
    'startmeter',
    ';\t\tファイルの削除',
    'del "%DEFDIR%Klvo.exe" "Kelvo 実行ファイル"',
    r'del "%DEFDIR%System\Klvo.hlp" "Kelvo ヘルプファイル"',
    'del "%DEFDIR%Readme.txt" "Kelvo 説明ファイル"',
    'del "%DEFDIR%Manual.txt" "Kelvo 操作説明ファイル"',
    r'del "%DEFDIR%System\Klvo.GID" "ヘルプ 補助ファイル"',
    ';\t\tレジストリの削除',
    r'regdeletekey 1 "Software\Mokra\Kelvo"',
    r'regdeletekey 2 "SOFTWARE\Mokra\Kelvo"',
    r'regdeletekey 1 "AppEvents\EventLabels\KelvoIMEChange"',
    r'regdeletekey 1 "AppEvents\Schemes\Apps\Kelvo"',
    ';\t\tスタートメニューの更新',
    'ddestart',
    'deleteicon "ｽﾀｰﾄｱｯﾌﾟ" "Kelvo"',
    r'regdeletekey 2 "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo"',
    r'regdeletekey 2 "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Klvo.exe"',
    'endmeter',
    ';\tアンインストーラーの削除',
    r'copy "%DEFDIR%System\Rouninst.exe" "%WINDIR%Rouninst.exe"',
    ';\t配布元の Setup.exe で削除するときも、インストールされたアンインストーラーを残さない',
    r'del "%DEFDIR%System\Rouninst.exe"',
    'cleanupuninstall "%WINDIR%Rouninst.exe" "%DEFDIR%System"',
    'enduninstall',
    '',
    'end',
]


def script_resource(program):
    pe = pefile.PE(program)
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if str(rtype.name) != "TEXT":
            continue
        for rname in rtype.directory.entries:
            if str(rname.name).upper() != "SCRIPT":
                continue
            for lang in rname.directory.entries:
                data = lang.data.struct
                raw = pe.get_data(data.OffsetToData, data.Size)
                return lang.id, raw
    return None, None


def listing_problems(raw):
    """Differences between the embedded bytes and the shipped lines."""
    text = raw.rstrip(b"\x1a").decode("cp932")
    lines = text.split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    problems = []
    if len(lines) != len(SHIPPED):
        problems.append(f"{len(lines)} lines, the shipped script has {len(SHIPPED)}")
    for number, (line, expected) in enumerate(zip(lines, SHIPPED)):
        body = line if line.startswith(";") else line.lstrip("\t")
        if body != expected:
            problems.append(f"line {number}: {line!r}, expected {expected!r} after its tabs")
    return problems


def main():
    program, source = sys.argv[1], sys.argv[2]
    lang, raw = script_resource(program)
    if raw is None:
        sys.exit(f"{program}: no TEXT/SCRIPT resource")
    with open(source, encoding="utf-8") as f:
        expected = encode(f.read(), eof_mark=True)
    problems = []
    if lang != 1041:
        problems.append(f"language {lang}, expected 1041")
    if raw != expected:
        problems.append(f"{len(raw)} bytes differ from the {len(expected)} expected")
    if not raw.endswith(b"end\r\n\x1a"):
        problems.append("does not end with the end line, CR LF and 0x1A")
    problems += listing_problems(raw)
    for p in problems:
        print(f"{program}: {p}")
    lines = raw.count(b"\n")
    print(f"{program}: script resource {len(raw)} bytes, {lines} lines")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
