#!/usr/bin/env python3
"""Finishes a linked program after objcopy -R .reloc:

- marks it as having no base relocations: a program is always loaded at
  its own base, and the linker writes the table only because the program
  exports its window procedures;
- with the link map, writes the export and import data directories from
  the symbols that cmake/win32-layout.ld places around both tables (ld
  fills them only from sections named .edata and .idata, which that layout
  merges into .data).

    finish_program.py PROGRAM.exe [PROGRAM.map]
"""
import re
import struct
import sys

RELOCS_STRIPPED = 0x0001
EXPORT_ENTRY, IMPORT_ENTRY, BASE_RELOC_ENTRY = 0, 1, 5


def map_symbols(path):
    symbols = {}
    with open(path, encoding="latin-1") as f:
        for line in f:
            found = re.match(r"\s+0x([0-9a-fA-F]+)\s+(__\w+__) = \.", line)
            if found:
                symbols[found.group(2)] = int(found.group(1), 16)
    return symbols


def fail(message):
    sys.exit(f"{sys.argv[1]}: {message}")


def main():
    with open(sys.argv[1], "r+b") as f:
        data = bytearray(f.read())
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            fail("not a PE program")
        coff = pe + 4
        optional = coff + 20
        magic = struct.unpack_from("<H", data, optional)[0]
        pe32 = magic == 0x10B
        image_base = struct.unpack_from("<I" if pe32 else "<Q", data, optional + (28 if pe32 else 24))[0]
        directories = optional + (96 if pe32 else 112)

        def directory(entry):
            return struct.unpack_from("<II", data, directories + 8 * entry)

        if directory(BASE_RELOC_ENTRY)[1]:
            fail("base relocations are still present")
        flags = struct.unpack_from("<H", data, coff + 18)[0]
        struct.pack_into("<H", data, coff + 18, flags | RELOCS_STRIPPED)

        if len(sys.argv) > 2:
            symbols = map_symbols(sys.argv[2])
            for entry, name in ((EXPORT_ENTRY, "export"), (IMPORT_ENTRY, "import")):
                start = symbols.get(f"__{name}_directory__")
                end = symbols.get(f"__{name}_directory_end__")
                if start is None or end is None or end == start:
                    continue
                if directory(entry)[0]:
                    fail(f"the linker already wrote the {name} directory")
                struct.pack_into("<II", data, directories + 8 * entry, start - image_base, end - start)
        if not directory(IMPORT_ENTRY)[0]:
            fail("no import directory")
        f.seek(0)
        f.write(data)


main()
