#!/usr/bin/python3
"""Turn a UTF-8 text of the repository into the bytes the programs read:
code page 932, CR LF line ends, optionally a final 0x1A end mark."""
import argparse
import sys


def encode(text, eof_mark=False):
    lines = text.replace("\r\n", "\n").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    data = "".join(line + "\r\n" for line in lines).encode("cp932")
    return data + (b"\x1a" if eof_mark else b"")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("source")
    parser.add_argument("output")
    parser.add_argument("--eof-mark", action="store_true", help="end with 0x1A")
    args = parser.parse_args()
    with open(args.source, encoding="utf-8") as f:
        text = f.read()
    try:
        data = encode(text, args.eof_mark)
    except UnicodeEncodeError as e:
        line = text[: e.start].count("\n") + 1
        sys.exit(f"{args.source}:{line}: character {text[e.start]!r} has no code page 932 form")
    with open(args.output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
