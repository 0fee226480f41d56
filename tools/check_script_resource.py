#!/usr/bin/python3
"""Reads the TEXT/SCRIPT resource back out of a built Setup.exe and checks
that it is the script source in code page 932 with CR LF and a final 0x1A,
stored in language Japanese (1041)."""
import sys

import pefile

sys.path.insert(0, __file__.rsplit("/", 1)[0])
from cp932text import encode  # noqa: E402


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
    if raw.count(b"\n") != expected.count(b"\n"):
        problems.append("line count differs")
    for p in problems:
        print(f"{program}: {p}")
    lines = raw.count(b"\n")
    print(f"{program}: script resource {len(raw)} bytes, {lines} lines")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
