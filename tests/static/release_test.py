#!/usr/bin/python3
"""The release images against the distribution they are made from.

    release_test.py DIST RELEASE

KELVO200.ZIP, KELVO200.IMG and KELVO200.ISO must each hold exactly the
five files of DIST, byte for byte, under their names, with the release
time, and nothing else. The floppy and the CD are read here by readers of
their own (FAT12 with its long names, ISO 9660 with its Joliet names), not
by the tools that wrote them, so that an image an emulator or a Windows 95
PC would read wrongly fails here. Last, the images are made again and must
come out the same bytes (they are published with checksums).
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
FILES = ["Setup.exe", "Klvo.exe", "Klvo.hlp", "Readme.txt", "Manual.txt"]
IMAGES = ["KELVO200.ZIP", "KELVO200.IMG", "KELVO200.ISO"]
RELEASED = (1996, 12, 20, 12, 0, 0)
DIST = RELEASE = None


def distribution():
    files = {}
    for name in FILES:
        with open(os.path.join(DIST, name), "rb") as f:
            files[name] = f.read()
    return files


def read_image(name):
    with open(os.path.join(RELEASE, name), "rb") as f:
        return f.read()


def fat_datetime(time, date):
    return (1980 + (date >> 9), date >> 5 & 15, date & 31, time >> 11, time >> 5 & 63, (time & 31) * 2)


def short_name_sum(short):
    total = 0
    for byte in short:
        total = ((total >> 1) | (total << 7 & 0x80)) + byte & 0xFF
    return total


class Fat12:
    """A FAT12 volume: its boot sector, its root folder (long names joined
    to their 8.3 entries, checksums checked) and the files' bytes through
    the allocation table."""

    def __init__(self, data):
        self.data = data
        (self.sector, self.per_cluster, reserved, self.fats, self.root_entries, self.sectors,
         self.media, self.fat_sectors, self.per_track, self.heads) = struct.unpack_from("<HBHBHHBHHH", data, 11)
        self.boot_signature = data[510:512]
        self.extended = data[38]
        self.serial_label = data[43:54]
        self.kind = data[54:62]
        fat_size = self.fat_sectors * self.sector
        start = reserved * self.sector
        self.tables = [data[start + i * fat_size:start + (i + 1) * fat_size] for i in range(self.fats)]
        self.root = start + self.fats * fat_size
        self.first_data = self.root + self.root_entries * 32

    def entries(self):
        """(long name or None, 8.3 name, attributes, (y, m, d, h, min, s),
        first cluster, size) of each live entry of the root folder."""
        found = []
        pieces = []
        for at in range(self.root, self.first_data, 32):
            entry = self.data[at:at + 32]
            if entry[0] == 0:
                break
            if entry[0] == 0xE5:
                pieces = []
                continue
            attributes = entry[11]
            if attributes == 0x0F:
                pieces.append(entry)
                continue
            short = entry[:11]
            long_name = None
            if pieces:
                checksums = {p[13] for p in pieces}
                assert checksums == {short_name_sum(short)}, f"long name of {short!r} with a wrong checksum"
                text = b"".join(p[1:11] + p[14:26] + p[28:32] for p in reversed(pieces)).decode("utf-16-le")
                long_name = text.split("\0")[0]
                pieces = []
            time, date, cluster, size = struct.unpack_from("<HHHI", entry, 22)
            found.append((long_name, short, attributes, fat_datetime(time, date), cluster, size))
        return found

    def chain(self, cluster):
        table = self.tables[0]
        seen = []
        while 2 <= cluster < 0xFF8:
            assert cluster not in seen, "a cluster chain that loops"
            seen.append(cluster)
            at = cluster * 3 // 2
            value = table[at] | table[at + 1] << 8
            cluster = value >> 4 if cluster & 1 else value & 0xFFF
        return seen

    def read(self, cluster, size):
        span = self.per_cluster * self.sector
        data = b"".join(self.data[self.first_data + (c - 2) * span:self.first_data + (c - 1) * span]
                        for c in self.chain(cluster))
        assert len(data) >= size > len(data) - span or size == len(data) == 0, "a chain of the wrong length"
        return data[:size]


class Iso9660:
    """An ISO 9660 volume: the primary descriptor and, when there is one,
    the Joliet one; the files of a root folder."""

    BLOCK = 2048

    def __init__(self, data):
        self.data = data
        self.descriptors = {}
        sector = 16
        while True:
            block = data[sector * self.BLOCK:(sector + 1) * self.BLOCK]
            assert block[1:6] == b"CD001", f"no volume descriptor in sector {sector}"
            if block[0] == 255:
                break
            kind = "joliet" if block[0] == 2 and block[88:91] in (b"%/@", b"%/C", b"%/E") else block[0]
            self.descriptors[kind] = block
            sector += 1

    def volume(self, kind):
        block = self.descriptors[kind]
        text = block[40:72]
        return text.decode("utf-16-be" if kind == "joliet" else "ascii").rstrip()

    def files(self, kind):
        """{name: (bytes, (y, m, d, h, min, s, quarter hours from UTC))}."""
        block = self.descriptors[kind]
        extent, size = struct.unpack_from("<I", block, 158)[0], struct.unpack_from("<I", block, 166)[0]
        folder = self.data[extent * self.BLOCK:extent * self.BLOCK + size]
        found = {}
        at = 0
        while at < len(folder):
            length = folder[at]
            if length == 0:
                at = (at // self.BLOCK + 1) * self.BLOCK
                continue
            record = folder[at:at + length]
            at += length
            name = record[33:33 + record[32]]
            if name in (b"\0", b"\1"):
                continue
            assert not record[25] & 2, f"a folder {name!r} on the CD"
            name = name.decode("utf-16-be" if kind == "joliet" else "ascii")
            start, count = struct.unpack_from("<I", record, 2)[0], struct.unpack_from("<I", record, 10)[0]
            y, mo, d, h, mi, s, zone = struct.unpack_from("<6Bb", record, 18)
            found[name] = (self.data[start * self.BLOCK:start * self.BLOCK + count], (1900 + y, mo, d, h, mi, s, zone))
        return found


class ReleaseImages(unittest.TestCase):
    def test_archive_holds_exactly_the_distribution(self):
        with zipfile.ZipFile(os.path.join(RELEASE, "KELVO200.ZIP")) as archive:
            self.assertIsNone(archive.testzip())
            self.assertEqual(archive.namelist(), FILES)
            for name, data in distribution().items():
                info = archive.getinfo(name)
                self.assertEqual(archive.read(info), data, name)
                self.assertEqual(info.date_time, RELEASED, name)
                self.assertEqual(info.extra, b"", f"{name}: no extra fields (owner, exact times)")

    def test_floppy_is_a_144_mb_fat12_disk_holding_exactly_the_distribution(self):
        data = read_image("KELVO200.IMG")
        self.assertEqual(len(data), 1474560)
        fat = Fat12(data)
        # What a BIOS, an emulator and Windows 95 expect of a 1.44 MB disk.
        self.assertEqual((fat.sector, fat.per_cluster, fat.sectors, fat.media, fat.per_track, fat.heads,
                          fat.root_entries, fat.fats), (512, 1, 2880, 0xF0, 18, 2, 224, 2))
        self.assertEqual(fat.boot_signature, b"\x55\xaa")
        self.assertEqual(fat.extended, 0x29)
        self.assertEqual(fat.serial_label, b"KELVO      ")
        self.assertEqual(fat.kind, b"FAT12   ")
        self.assertTrue(all(t == fat.tables[0] for t in fat.tables), "both allocation tables alike")
        self.assertEqual(fat.tables[0][0], 0xF0, "the table starts with the media byte")

        entries = fat.entries()
        labels = [e for e in entries if e[2] & 0x08]
        self.assertEqual([e[1] for e in labels], [b"KELVO      "], "one volume label in the root folder")
        files = [e for e in entries if not e[2] & 0x18]
        self.assertEqual(len(files), len(entries) - 1, "nothing but the label and the files")
        self.assertEqual(sorted(e[0] or e[1].decode() for e in files), sorted(FILES))
        used = []
        for long_name, short, _, stamp, cluster, size in files:
            name = long_name or short.decode()
            base, ext = name.upper().split(".")
            self.assertEqual(short, base.ljust(8).encode() + ext.ljust(3).encode(), f"8.3 alias of {name}")
            self.assertEqual(fat.read(cluster, size), distribution()[name], name)
            self.assertEqual(stamp, RELEASED, name)
            used += fat.chain(cluster)
        self.assertEqual(len(used), len(set(used)), "no cluster in two files")

    def test_cd_holds_exactly_the_distribution_under_both_name_sets(self):
        iso = Iso9660(read_image("KELVO200.ISO"))
        self.assertEqual(len(iso.data) % Iso9660.BLOCK, 0)
        self.assertEqual(iso.volume(1), "KELVO")
        self.assertEqual(iso.volume("joliet"), "KELVO")
        dist = distribution()
        primary = iso.files(1)
        self.assertEqual(sorted(primary), sorted(n.upper() + ";1" for n in FILES), "8.3 names")
        joliet = iso.files("joliet")
        self.assertEqual(sorted(joliet), sorted(FILES), "the names as they are written")
        for name in FILES:
            for data, stamp in (primary[name.upper() + ";1"], joliet[name]):
                self.assertEqual(data, dist[name], name)
                self.assertEqual(stamp, RELEASED + (0,), name)

    def test_images_come_out_the_same_when_made_again(self):
        with tempfile.TemporaryDirectory() as again:
            subprocess.run(["bash", os.path.join(ROOT, "tools", "release.sh"), DIST, again], check=True)
            for name in IMAGES:
                with open(os.path.join(again, name), "rb") as f:
                    self.assertTrue(f.read() == read_image(name), f"{name} made again differs")


if __name__ == "__main__":
    DIST, RELEASE = sys.argv[1], sys.argv[2]
    del sys.argv[1:3]
    unittest.main()
