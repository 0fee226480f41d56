#!/usr/bin/python3
"""Reads a WinHelp (.hlp) file back: topics, titles, text, context map and
keywords. Used to check what hlpwrite.py produced.

    hlpread.py FILE.hlp                 summary: topics, contexts, keywords
    hlpread.py FILE.hlp --text          also the text of every topic
    hlpread.py FILE.hlp --map 100       the topic that context number 100 opens
    hlpread.py FILE.hlp --context NAME  the topic of a context name
"""

import argparse
import struct
import sys


class FormatError(Exception):
    pass


def _u16(b, i):
    return struct.unpack_from("<H", b, i)[0]


def _s16(b, i):
    return struct.unpack_from("<h", b, i)[0]


def _u32(b, i):
    return struct.unpack_from("<I", b, i)[0]


def _s32(b, i):
    return struct.unpack_from("<i", b, i)[0]


def _cstr(b, i):
    end = b.index(b"\0", i)
    return b[i:end], end + 1


# Compressed numbers of LinkData1: each returns (value, next index).
def read_comp_short(b, i):
    if b[i] & 1:
        return (_u16(b, i) >> 1) - 0x4000, i + 2
    return (b[i] >> 1) - 0x40, i + 1


def read_comp_ushort(b, i):
    if b[i] & 1:
        return _u16(b, i) >> 1, i + 2
    return b[i] >> 1, i + 1


def read_comp_long(b, i):
    if b[i] & 1:
        return (_u32(b, i) >> 1) - 0x40000000, i + 4
    return (_u16(b, i) >> 1) - 0x4000, i + 2


def read_comp_ulong(b, i):
    if b[i] & 1:
        return _u32(b, i) >> 1, i + 4
    return _u16(b, i) >> 1, i + 2


def lz77_expand(data):
    out = bytearray()
    i = 0
    while i < len(data):
        mask = data[i]
        i += 1
        for bit in range(8):
            if i >= len(data):
                break
            if mask & (1 << bit):
                code = _u16(data, i)
                i += 2
                length, back = 3 + (code >> 12), (code & 0xFFF) + 1
                for _ in range(length):
                    out.append(out[-back])
            else:
                out.append(data[i])
                i += 1
    return bytes(out)


def context_hash(name):
    table = {c: i + 17 for i, c in enumerate("abcdefghijklmnopqrstuvwxyz")}
    table.update({str(d): d for d in range(1, 10)})
    table.update({"0": 10, ".": 12, "_": 13})
    h = 0
    for c in name.lower():
        if c in table:      # the help engine skips other characters
            h = (h * 43 + table[c]) % (1 << 32)
    return struct.unpack("<i", struct.pack("<I", h))[0]


class BTree:
    """A B+ tree inside an internal file; leaf_entry(page, i) parses one
    leaf entry and returns (key, value, next index); index_key(page, i)
    parses one index key and returns (key, next index)."""

    def __init__(self, data, leaf_entry, index_key):
        if _u16(data, 0) != 0x293B:
            raise FormatError("B+ tree magic missing")
        self.page_size = _u16(data, 4)
        self.structure = data[6:22].rstrip(b"\0").decode("ascii", "replace")
        self.root = _u16(data, 26)
        self.total_pages = _u16(data, 30)
        self.levels = _u16(data, 32)
        self.count = _u32(data, 34)
        self.data = data
        self.leaf_entry = leaf_entry
        self.index_key = index_key
        if 38 + self.total_pages * self.page_size > len(data):
            raise FormatError("B+ tree pages run past the end of the file")

    def page(self, n):
        if n >= self.total_pages:
            raise FormatError(f"B+ tree page {n} does not exist")
        start = 38 + n * self.page_size
        return self.data[start:start + self.page_size]

    def _first_leaf(self):
        n = self.root
        for _ in range(self.levels - 1):
            n = _u16(self.page(n), 4)
        return n

    def items(self):
        out = []
        n = self._first_leaf()
        seen = set()
        while n != 0xFFFF:
            if n in seen:
                raise FormatError("B+ tree leaf pages form a loop")
            seen.add(n)
            p = self.page(n)
            i = 8
            for _ in range(_s16(p, 2)):
                key, value, i = self.leaf_entry(p, i)
                out.append((key, value))
            n = _u16(p, 6)
        if len(out) != self.count:
            raise FormatError(f"B+ tree holds {len(out)} entries, header says {self.count}")
        return out

    def find(self, key):
        """Looks a key up through the index pages, as the help engine does."""
        n = self.root
        for _ in range(self.levels - 1):
            p = self.page(n)
            child = _u16(p, 4)
            i = 6
            for _ in range(_s16(p, 2)):
                k, i = self.index_key(p, i)
                if k > key:
                    break
                child = _u16(p, i)
                i += 2
            n = child
        p = self.page(n)
        i = 8
        for _ in range(_s16(p, 2)):
            k, value, i = self.leaf_entry(p, i)
            if k == key:
                return value
            if k > key:
                return None
        return None


def _name_leaf(p, i):
    name, i = _cstr(p, i)
    return name, _u32(p, i), i + 4


def _name_index(p, i):
    return _cstr(p, i)


class Topic:
    def __init__(self, number, pos, offset, title, macros):
        self.number = number
        self.pos = pos              # TOPICPOS of the topic header
        self.offset = offset        # TOPICOFFSET
        self.title = title
        self.macros = macros
        self.paragraphs = []        # list of (font numbers, text)
        self.links = []             # context hashes of jumps
        self.browse = (None, None)


class HelpFile:
    def __init__(self, data, codec=None):
        self.data = data
        if len(data) < 16 or _u32(data, 0) != 0x00035F3F:
            raise FormatError("not a help file (magic)")
        if _u32(data, 12) != len(data):
            raise FormatError(f"file size field {_u32(data, 12)} but {len(data)} bytes")
        directory = self._internal(_u32(data, 4), "directory")
        tree = BTree(directory, _name_leaf, _name_index)
        self.files = {}
        names = []
        for name, offset in tree.items():
            names.append(name)
            self.files[name.decode("ascii")] = self._internal(offset, name.decode("ascii"))
        if names != sorted(names):
            raise FormatError("directory is not sorted")
        self.directory = tree
        self._read_system()
        self.codec = codec or ("cp932" if self.charset == 128 else "cp1252")
        self._read_fonts()
        self._read_topics()

    def _internal(self, offset, name):
        d = self.data
        if offset + 9 > len(d):
            raise FormatError(f"internal file {name} starts past the end")
        reserved, used = _u32(d, offset), _u32(d, offset + 4)
        if reserved < used + 9 or offset + reserved > len(d):
            raise FormatError(f"internal file {name}: bad sizes {reserved}/{used}")
        return d[offset + 9:offset + 9 + used]

    def file(self, name):
        if name not in self.files:
            raise FormatError(f"no internal file {name}")
        return self.files[name]

    def text(self, b):
        return b.decode(self.codec)

    # ----------------------------------------------------------- |SYSTEM
    def _read_system(self):
        s = self.file("|SYSTEM")
        if _u16(s, 0) != 0x036C or _u16(s, 4) != 1:
            raise FormatError("bad |SYSTEM header")
        self.minor = _u16(s, 2)
        self.flags = _u16(s, 10)
        if self.minor <= 16:
            raise FormatError("Windows 3.0 help files are not read here")
        self.compressed = self.flags in (4, 8)
        self.block_size = 2048 if self.flags == 8 else 4096
        self.decompress_size = 0x4000 if self.compressed else self.block_size - 12
        self.records = []
        i = 12
        while i + 4 <= len(s):
            kind, size = _u16(s, i), _u16(s, i + 2)
            if i + 4 + size > len(s):
                raise FormatError("|SYSTEM record runs past the end")
            self.records.append((kind, s[i + 4:i + 4 + size]))
            i += 4 + size
        if i != len(s):
            raise FormatError("|SYSTEM has trailing bytes")
        rec = {}
        for kind, data in self.records:
            rec.setdefault(kind, data)
        self.charset = rec[11][0] if 11 in rec else 0
        self.lcid = _u16(rec[9], 8) if 9 in rec and len(rec[9]) >= 10 else None
        self._title = rec.get(1, b"\0")
        self.contents = _u32(rec[3], 0) if 3 in rec else None
        self.macros_raw = [data for kind, data in self.records if kind == 4]
        self.window = None
        if 6 in rec:
            w = rec[6]
            if len(w) != 90:
                raise FormatError("window record is not 90 bytes")
            self.window = (_u16(w, 0), w[2:12].split(b"\0")[0], w[12:21].split(b"\0")[0],
                           w[21:72].split(b"\0")[0])

    @property
    def title(self):
        return self.text(self._title.split(b"\0")[0])

    @property
    def caption(self):
        return self.text(self.window[3]) if self.window else None

    # ------------------------------------------------------------- |FONT
    def _read_fonts(self):
        f = self.file("|FONT")
        nfaces, ndesc, face_off, desc_off = _u16(f, 0), _u16(f, 2), _u16(f, 4), _u16(f, 6)
        if nfaces == 0 or desc_off < face_off:
            raise FormatError("bad |FONT header")
        size = (desc_off - face_off) // nfaces
        self.faces = [self.text(f[face_off + n * size:face_off + (n + 1) * size].split(b"\0")[0])
                      for n in range(nfaces)]
        self.fonts = []
        for n in range(ndesc):
            d = f[desc_off + 11 * n:desc_off + 11 * (n + 1)]
            if len(d) < 11 or _u16(d, 3) >= nfaces:
                raise FormatError(f"bad font descriptor {n}")
            self.fonts.append({"bold": bool(d[0] & 1), "half_points": d[1], "family": d[2],
                               "face": self.faces[_u16(d, 3)]})

    # ------------------------------------------------------------ |TOPIC
    def _blocks(self):
        t = self.file("|TOPIC")
        blocks = []
        for start in range(0, len(t), self.block_size):
            raw = t[start + 12:start + self.block_size]
            blocks.append(lz77_expand(raw) if self.compressed else raw)
        return blocks

    def _record_at(self, blocks, pos):
        if pos < 12:
            raise FormatError(f"TOPICPOS {pos:#x} below 12")
        block, offset = divmod(pos - 12, self.decompress_size)
        if block >= len(blocks) or offset + 21 > len(blocks[block]):
            raise FormatError(f"TOPICPOS {pos:#x} outside the topic blocks")
        b = blocks[block]
        size = _u32(b, offset)
        if offset + size > len(b):
            raise FormatError(f"topic link at {pos:#x} crosses its block")
        return block, b[offset:offset + size]

    def _read_topics(self):
        blocks = self._blocks()
        self.topics = []
        pos = 12
        chars = {}
        previous = 0xFFFFFFFF
        seen = set()
        while pos != 0xFFFFFFFF and pos != 0:
            if pos in seen:
                raise FormatError("topic links form a loop")
            seen.add(pos)
            block, rec = self._record_at(blocks, pos)
            size, len2, prev, nxt, len1, kind = struct.unpack_from("<IIIIIB", rec, 0)
            if prev != previous:
                raise FormatError(f"topic link at {pos:#x}: previous link {prev:#x}, expected {previous:#x}")
            if len1 > size or size - len1 != len2:
                raise FormatError(f"topic link at {pos:#x}: sizes {size}/{len1}/{len2} (compressed text?)")
            data1, data2 = rec[21:len1], rec[len1:size]
            count = chars.get(block, 0)
            if kind == 0x02:
                strings = data2.split(b"\0")
                topic = Topic(_u32(data1, 12), pos, block * 0x8000 + count,
                              self.text(strings[0]), [self.text(s) for s in strings[1:] if s])
                topic.browse = (_u32(data1, 4), _u32(data1, 8))
                self.topics.append(topic)
            elif kind in (0x20, 0x23):
                if not self.topics:
                    raise FormatError("text before the first topic header")
                length = self._paragraph(self.topics[-1], kind, data1, data2)
                chars[block] = count + length
            else:
                raise FormatError(f"unknown topic link type {kind:#x}")
            previous = pos
            pos = nxt

    def _paragraph(self, topic, kind, d1, d2):
        if kind != 0x20:
            raise FormatError("tables are not read here")
        _, i = read_comp_long(d1, 0)
        length, i = read_comp_ushort(d1, i)
        i += 4
        bits = _u16(d1, i)
        i += 2
        if bits & 0x0001:
            _, i = read_comp_long(d1, i)
        for flag in (0x0002, 0x0004, 0x0008, 0x0010, 0x0020, 0x0040):
            if bits & flag:
                _, i = read_comp_short(d1, i)
        if bits & 0x0100:
            i += 3
        if bits & 0x0200:
            n, i = read_comp_short(d1, i)
            for _ in range(n):
                tab, i = read_comp_ushort(d1, i)
                if tab & 0x4000:
                    _, i = read_comp_ushort(d1, i)
        strings = d2.split(b"\0")
        text = []
        fonts = []
        s = 0
        while True:
            if s >= len(strings):
                raise FormatError("paragraph has fewer strings than commands")
            text.append(self.text(strings[s]))
            s += 1
            if i >= len(d1):
                raise FormatError("paragraph commands end without 0xFF")
            cmd = d1[i]
            if cmd == 0xFF:
                break
            if cmd == 0x80:
                fonts.append(_u16(d1, i + 1))
                if fonts[-1] >= len(self.fonts):
                    raise FormatError(f"paragraph uses font {fonts[-1]} of {len(self.fonts)}")
                i += 3
            elif cmd in (0x81, 0x82):
                text.append("\n")
                i += 1
            elif cmd in (0x83, 0x89, 0x8B, 0x8C):
                text.append("\t" if cmd == 0x83 else "")
                i += 1
            elif cmd in (0xE2, 0xE3, 0xE6, 0xE7):
                topic.links.append(_s32(d1, i + 1))
                i += 5
            elif cmd in (0xC8, 0xCC):
                i += 3 + _u16(d1, i + 1)
            else:
                raise FormatError(f"paragraph command {cmd:#x} is not read here")
        topic.paragraphs.append((fonts, "".join(text).rstrip("\n")))
        return length

    # -------------------------------------------------- lookups and lists
    def topic_at(self, offset):
        """The topic that a TOPICOFFSET falls in: the last one starting at
        or before it."""
        found = None
        for t in self.topics:
            if t.offset <= offset and (found is None or t.offset > found.offset):
                found = t
        return found

    def contexts(self):
        if "|CONTEXT" not in self.files:
            return []
        tree = BTree(self.file("|CONTEXT"), lambda p, i: (_s32(p, i), _u32(p, i + 4), i + 8),
                     lambda p, i: (_s32(p, i), i + 4))
        items = tree.items()
        if [h for h, _ in items] != sorted(h for h, _ in items):
            raise FormatError("|CONTEXT is not sorted by hash")
        return items

    def find_context(self, name):
        tree = BTree(self.file("|CONTEXT"), lambda p, i: (_s32(p, i), _u32(p, i + 4), i + 8),
                     lambda p, i: (_s32(p, i), i + 4))
        offset = tree.find(context_hash(name))
        return None if offset is None else self.topic_at(offset)

    def context_map(self):
        if "|CTXOMAP" not in self.files:
            return []
        m = self.file("|CTXOMAP")
        n = _u16(m, 0)
        if len(m) != 2 + 8 * n:
            raise FormatError("|CTXOMAP size does not match its count")
        return [(_s32(m, 2 + 8 * k), _u32(m, 6 + 8 * k)) for k in range(n)]

    def topic_for_map(self, number):
        for n, offset in self.context_map():
            if n == number:
                return self.topic_at(offset)
        return None

    def keywords(self):
        """(keyword, [topic offsets]) in stored order."""
        if "|KWBTREE" not in self.files:
            return []
        data = self.file("|KWDATA")

        def leaf(p, i):
            word, i = _cstr(p, i)
            return word, (_u16(p, i), _u32(p, i + 2)), i + 6

        out = []
        for word, (count, where) in BTree(self.file("|KWBTREE"), leaf, _name_index).items():
            if where + 4 * count > len(data):
                raise FormatError("keyword data runs past |KWDATA")
            out.append((self.text(word), [_u32(data, where + 4 * k) for k in range(count)]))
        return out

    def find_keyword(self, word):
        def leaf(p, i):
            w, i = _cstr(p, i)
            return w, (_u16(p, i), _u32(p, i + 2)), i + 6
        return BTree(self.file("|KWBTREE"), leaf, _name_index).find(word.encode(self.codec))

    def titles(self):
        if "|TTLBTREE" not in self.files:
            return []

        def leaf(p, i):
            title, j = _cstr(p, i + 4)
            return _u32(p, i), self.text(title), j
        return BTree(self.file("|TTLBTREE"), leaf, lambda p, i: (_u32(p, i), i + 4)).items()


def load(path):
    with open(path, "rb") as f:
        return HelpFile(f.read())


def main(argv=None):
    parser = argparse.ArgumentParser(description="Show what a WinHelp file holds.")
    parser.add_argument("file")
    parser.add_argument("--text", action="store_true", help="print every topic's text")
    parser.add_argument("--map", type=int, help="show the topic of a context number")
    parser.add_argument("--context", help="show the topic of a context name")
    args = parser.parse_args(argv)
    try:
        hf = load(args.file)
        if args.map is not None or args.context:
            t = hf.topic_for_map(args.map) if args.map is not None else hf.find_context(args.context)
            if t is None:
                print("not found", file=sys.stderr)
                return 1
            print(t.title)
            return 0
        print(f"title: {hf.title}")
        print(f"caption: {hf.caption}")
        print(f"format: 1.{hf.minor} flags {hf.flags} charset {hf.charset} lcid {hf.lcid:#06x}"
              if hf.lcid is not None else f"format: 1.{hf.minor} flags {hf.flags} charset {hf.charset}")
        contents = hf.topic_at(hf.contents) if hf.contents is not None else None
        print(f"contents: {contents.title if contents else '-'}")
        print(f"files: {' '.join(sorted(hf.files))}")
        print("topics:")
        for t in hf.topics:
            print(f"  {t.number:3} {t.offset:#010x} {t.title}")
            if args.text:
                for _, para in t.paragraphs:
                    for line in para.split("\n"):
                        print(f"        {line}")
        print("contexts:")
        for h, offset in hf.contexts():
            t = hf.topic_at(offset)
            print(f"  {h & 0xFFFFFFFF:08x} -> {t.title if t else '?'}")
        print("context numbers:")
        for n, offset in hf.context_map():
            t = hf.topic_at(offset)
            print(f"  {n} -> {t.title if t else '?'}")
        print("keywords:")
        for word, offsets in hf.keywords():
            print(f"  {word}: " + ", ".join(hf.topic_at(o).title for o in offsets))
    except FormatError as e:
        print(f"hlpread: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
