#!/usr/bin/env python3
"""Marks a program whose base relocations were removed (objcopy -R .reloc)
as having none: a program is always loaded at its own base, and the linker
writes the table only because the program exports its window procedures.

    drop_relocations.py PROGRAM.exe
"""
import struct
import sys

RELOCS_STRIPPED = 0x0001
BASE_RELOC_ENTRY = 5

with open(sys.argv[1], "r+b") as f:
    data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{sys.argv[1]}: not a PE program")
    coff = pe + 4
    optional = coff + 20
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    size = struct.unpack_from("<I", data, directories + 8 * BASE_RELOC_ENTRY + 4)[0]
    if size:
        sys.exit(f"{sys.argv[1]}: base relocations are still present")
    flags = struct.unpack_from("<H", data, coff + 18)[0]
    struct.pack_into("<H", data, coff + 18, flags | RELOCS_STRIPPED)
    f.seek(0)
    f.write(data)
