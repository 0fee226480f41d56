#!/usr/bin/python3
"""Writes a WinHelp 4.0 (.hlp) file from readable help source.

    hlpwrite.py SOURCE -o OUTPUT.hlp

The file holds: |SYSTEM (title, contents topic, main window, language and
character set), |FONT, |TOPIC (topic blocks of 4096 bytes whose data is an
LZ77 stream made of literals only), |CONTEXT (hash of each context name to
its topic), |CTXOMAP (context numbers to topics), |KWBTREE, |KWDATA and
|KWMAP (keyword index), |TTLBTREE (topic titles), and the internal
directory that lists them.
"""

import argparse
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hlpsource  # noqa: E402
from hlpsource import LineBreak, Link, Text  # noqa: E402

FILE_MAGIC = 0x00035F3F
BTREE_MAGIC = 0x293B
SYSTEM_MAGIC = 0x036C
SYSTEM_MINOR = 33              # format of the Windows 95 help compiler
SYSTEM_FLAGS_LZ77_4K = 4       # topic blocks of 4096 bytes, LZ77 data
TOPIC_BLOCK = 4096
TOPIC_BLOCK_HEADER = 12
DECOMPRESS_SIZE = 0x4000       # a TOPICPOS addresses 16 KB per block
# Literal-only LZ77: each flag byte 0 is followed by eight plain bytes.
BLOCK_DATA = (TOPIC_BLOCK - TOPIC_BLOCK_HEADER) // 9 * 8
FACE_NAME_SIZE = 32
TOPICLINK_HEADER = 21

TL_TOPICHDR = 0x02
TL_DISPLAY = 0x20

# Font descriptor numbers used by the paragraphs.
FONT_TEXT, FONT_TITLE, FONT_HEADING = 0, 1, 2
FONTS = [  # (attributes: 1 bold, half points)
    (0, 18),
    (1, 26),
    (1, 20),
]

# Paragraph spacing, in half points.
SPACE_AFTER_TITLE = 12
SPACE_BEFORE_HEADING = 10
SPACE_AFTER = 6
ITEM_INDENT = 24


class WriteError(Exception):
    pass


# ---------------------------------------------------------------- numbers

def u8(v):
    return struct.pack("<B", v)


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def comp_short(v):
    """Compressed signed short: one byte for -64..63, else two."""
    if -64 <= v < 64:
        return u8(2 * v + 128)
    if not 0 <= v < 16384:
        raise WriteError(f"value {v} does not fit a compressed short")
    return u16(2 * v + 0x8000 + 1)


def comp_ushort(v):
    """Compressed unsigned short: one byte below 128, else two."""
    if not 0 <= v < 32768:
        raise WriteError(f"value {v} does not fit a compressed unsigned short")
    return u8(2 * v) if v < 128 else u16(2 * v + 1)


def comp_long(v):
    """Compressed signed long: two bytes for -16384..16383, else four."""
    if -16384 <= v < 16384:
        return u16(2 * v + 0x8000)
    if not 0 <= v < 0x40000000:
        raise WriteError(f"value {v} does not fit a compressed long")
    return u32(2 * v + 0x80000000 + 1)


def comp_ulong(v):
    """Compressed unsigned long: two bytes below 32768, else four."""
    if not 0 <= v < 0x80000000:
        raise WriteError(f"value {v} does not fit a compressed unsigned long")
    return u16(2 * v) if v < 32768 else u32(2 * v + 1)


def lz77_literals(data):
    """An LZ77 stream that reproduces data with literals only."""
    out = bytearray()
    for i in range(0, len(data), 8):
        out.append(0)
        out += data[i:i + 8]
    return bytes(out)


# ----------------------------------------------------------------- B+ trees

def btree(entries, page_size, structure, flags=0x0002):
    """A B+ tree of sorted entries: (index key bytes, leaf entry bytes).
    The index key is what an index page stores for the first entry of a
    page; the leaf entry is the whole record. Returns the tree bytes and
    the leaf pages as lists of entry numbers (for |KWMAP)."""
    leaves = [[]]
    used = 8
    for n, (_, leaf) in enumerate(entries):
        if len(leaf) + 8 > page_size:
            raise WriteError("B+ tree entry larger than a page")
        if used + len(leaf) > page_size:
            leaves.append([])
            used = 8
        leaves[-1].append(n)
        used += len(leaf)

    pages = []
    for i, members in enumerate(leaves):
        body = b"".join(entries[n][1] for n in members)
        head = u16(page_size - 8 - len(body)) + u16(len(members))
        head += u16(i - 1 if i > 0 else 0xFFFF) + u16(i + 1 if i + 1 < len(leaves) else 0xFFFF)
        pages.append(head + body + bytes(page_size - 8 - len(body)))

    # Each level: (first key of the subtree, page number).
    level = [(entries[m[0]][0] if m else b"", i) for i, m in enumerate(leaves)]
    levels = 1
    while len(level) > 1:
        parents = []
        group = [level[0]]
        used = 6
        for child in level[1:]:
            size = len(child[0]) + 2
            if used + size > page_size:
                parents.append(group)
                group = [child]
                used = 6
            else:
                group.append(child)
                used += size
        parents.append(group)
        next_level = []
        for group in parents:
            body = b"".join(key + u16(page) for key, page in group[1:])
            head = u16(page_size - 6 - len(body)) + u16(len(group) - 1) + u16(group[0][1])
            next_level.append((group[0][0], len(pages)))
            pages.append(head + body + bytes(page_size - 6 - len(body)))
        level = next_level
        levels += 1

    name = structure.encode("ascii")
    header = u16(BTREE_MAGIC) + u16(flags) + u16(page_size) + name + bytes(16 - len(name))
    header += u16(0) + u16(0) + u16(level[0][1]) + u16(0xFFFF) + u16(len(pages))
    header += u16(levels) + u32(len(entries))
    return header + b"".join(pages), leaves


def internal_file(data):
    """An internal file: its header (reserved space, used space, flags)
    and its bytes."""
    return u32(len(data) + 9) + u32(len(data)) + u8(4) + data


# ------------------------------------------------------------------ topics

class Record:
    def __init__(self, kind, data1, data2, length=0, topic=None):
        self.kind = kind          # TL_TOPICHDR or TL_DISPLAY
        self.data1 = data1        # LinkData1 (for a topic header: filled later)
        self.data2 = data2        # LinkData2
        self.length = length      # characters counted in topic offsets
        self.topic = topic        # the Topic of a topic header
        self.pos = 0              # TOPICPOS
        self.block = 0

    def size(self):
        return TOPICLINK_HEADER + len(self.data1) + len(self.data2)


class Encoder:
    def __init__(self, hf):
        self.hf = hf
        self.codec = "cp932" if hf.charset == 128 else "cp1252"

    def text(self, s):
        return s.encode(self.codec)

    def paragraph(self, p):
        """LinkData1 and LinkData2 of a displayable text record."""
        font = {"title": FONT_TITLE, "heading": FONT_HEADING}.get(p.kind, FONT_TEXT)
        strings = []
        commands = []
        current = bytearray()

        def emit(command):
            nonlocal current
            strings.append(bytes(current))
            commands.append(command)
            current = bytearray()

        emit(b"\x80" + u16(font))
        if p.kind == "item":
            current += self.text("・" if self.codec == "cp932" else "\u2022 ")
        for run in p.runs:
            if isinstance(run, Text):
                current += self.text(run.text)
            elif isinstance(run, Link):
                emit(b"\xE3" + u32(hlpsource.context_hash(run.target)))
                current += self.text(run.text)
                emit(b"\x89")
            elif isinstance(run, LineBreak):
                emit(b"\x81")
        emit(b"\x82")
        emit(b"\xFF")

        data2 = b"".join(s + b"\0" for s in strings)
        bits = 0
        fields = b""
        if p.kind == "heading":
            bits |= 0x0002
            fields += comp_short(SPACE_BEFORE_HEADING)
        bits |= 0x0004
        fields += comp_short(SPACE_AFTER_TITLE if p.kind == "title" else SPACE_AFTER)
        if p.kind == "item":
            bits |= 0x0010
            fields += comp_short(ITEM_INDENT)
        info = b"\x00\x80" + u16(0) + u16(bits) + fields
        data1 = comp_long(len(data2)) + comp_ushort(len(data2)) + info + b"".join(commands)
        return data1, data2

    def records(self):
        out = []
        for topic in self.hf.topics:
            title = self.text(topic.title) + b"\0"
            out.append(Record(TL_TOPICHDR, bytes(28), title, topic=topic))
            paragraphs = [hlpsource.Paragraph("title", [Text(topic.title)], topic.line)]
            for p in paragraphs + topic.paragraphs:
                data1, data2 = self.paragraph(p)
                out.append(Record(TL_DISPLAY, data1, data2, length=len(data2)))
        return out


def layout(records):
    """Places the records in topic blocks (a record never crosses a block),
    sets every TOPICPOS, and returns the number of blocks and each topic's
    TOPICOFFSET."""
    block, used, chars = 0, 0, 0
    offsets = {}
    for r in records:
        if r.size() > BLOCK_DATA:
            raise WriteError("a paragraph is too long for one topic block; split it")
        if used + r.size() > BLOCK_DATA:
            block, used, chars = block + 1, 0, 0
        r.block = block
        r.pos = (block * DECOMPRESS_SIZE) + used + TOPIC_BLOCK_HEADER
        if r.kind == TL_TOPICHDR:
            offsets[r.topic.context] = block * 0x8000 + chars
        used += r.size()
        chars += r.length
        if chars >= 0x8000:
            raise WriteError("too many characters in one topic block")
    return block + 1, offsets


def topic_file(hf, records, nblocks, offsets):
    headers = [i for i, r in enumerate(records) if r.kind == TL_TOPICHDR]
    for n, i in enumerate(headers):
        r = records[i]
        end = headers[n + 1] if n + 1 < len(headers) else len(records)
        size = sum(x.size() for x in records[i:end])
        prev_t = hf.topics[n - 1].context if n > 0 else None
        next_t = hf.topics[n + 1].context if n + 1 < len(hf.topics) else None
        scroll = records[i + 1].pos if i + 1 < end else 0xFFFFFFFF
        next_hdr = records[end].pos if end < len(records) else 0xFFFFFFFF
        r.data1 = (u32(size)
                   + u32(offsets[prev_t] if prev_t else 0xFFFFFFFF)
                   + u32(offsets[next_t] if next_t else 0xFFFFFFFF)
                   + u32(n) + u32(0xFFFFFFFF) + u32(scroll) + u32(next_hdr))

    streams = [bytearray() for _ in range(nblocks)]
    for i, r in enumerate(records):
        prev = records[i - 1].pos if i > 0 else 0xFFFFFFFF
        nxt = records[i + 1].pos if i + 1 < len(records) else 0xFFFFFFFF
        head = u32(r.size()) + u32(len(r.data2)) + u32(prev) + u32(nxt)
        head += u32(TOPICLINK_HEADER + len(r.data1)) + u8(r.kind)
        streams[r.block] += head + r.data1 + r.data2

    out = bytearray()
    last_link = 0xFFFFFFFF
    last_header = 0xFFFFFFFF
    for b in range(nblocks):
        in_block = [r for r in records if r.block == b]
        first = in_block[0].pos
        for r in in_block:
            if r.kind == TL_TOPICHDR and r.pos == first:
                last_header = r.pos
        block = u32(last_link) + u32(first) + u32(last_header)
        block += lz77_literals(bytes(streams[b]))
        out += block + bytes(TOPIC_BLOCK - len(block))
        last_link = in_block[-1].pos
        for r in in_block:
            if r.kind == TL_TOPICHDR:
                last_header = r.pos
    return bytes(out)


# ------------------------------------------------------------ other files

def system_file(hf, offsets, enc):
    out = u16(SYSTEM_MAGIC) + u16(SYSTEM_MINOR) + u16(1) + u32(0) + u16(SYSTEM_FLAGS_LZ77_4K)

    def record(kind, data):
        return u16(kind) + u16(len(data)) + data

    out += record(1, enc.text(hf.title) + b"\0")
    if hf.copyright:
        out += record(2, enc.text(hf.copyright) + b"\0")
    out += record(3, u32(offsets[hf.topic(hf.contents).context]))
    for macro in hf.macros:
        out += record(4, enc.text(macro) + b"\0")
    if hf.caption:
        caption = enc.text(hf.caption)
        if len(caption) > 50:
            raise WriteError("caption longer than 50 bytes")
        window = u16(0x0001 | 0x0002 | 0x0004)
        window += b"primary".ljust(10, b"\0") + b"main".ljust(9, b"\0") + caption.ljust(51, b"\0")
        window += u16(0) * 5 + u32(0xFFFFFF) + u32(0xFFFFFF)
        out += record(6, window)
    if hf.lcid is not None:
        out += record(9, u16(0) * 4 + u16(hf.lcid))
    out += record(11, u16(hf.charset))
    out += record(12, u8(FONTS[FONT_TEXT][1] // 2) + u8(hf.charset) + enc.text(hf.font) + b"\0")
    return out


def font_file(hf, enc):
    face = enc.text(hf.font)
    if len(face) >= FACE_NAME_SIZE:
        raise WriteError("font face name too long")
    faces = face.ljust(FACE_NAME_SIZE, b"\0")
    out = u16(1) + u16(len(FONTS)) + u16(8) + u16(8 + len(faces))
    out += faces
    for attributes, half_points in FONTS:
        out += u8(attributes) + u8(half_points) + u8(3) + u16(0) + bytes(3) + b"\xff\xff\xff"
    return out


def keyword_sort_key(word):
    return bytes(c + 32 if 0x41 <= c <= 0x5A else c for c in word), word


def keyword_files(hf, offsets, enc):
    index = {}
    for topic in hf.topics:
        for word in topic.keywords:
            key = enc.text(word)
            if len(key) > 255:
                raise WriteError(f"keyword {word!r} too long")
            index.setdefault(key, set()).add(offsets[topic.context])
    words = sorted(index, key=keyword_sort_key)
    data = b""
    entries = []
    for word in words:
        topics = sorted(index[word])
        entries.append((word + b"\0", word + b"\0" + u16(len(topics)) + u32(len(data))))
        data += b"".join(u32(t) for t in topics)
    tree, leaves = btree(entries, 0x800, "i24")
    kwmap = u16(len(leaves))
    first = 0
    for page, members in enumerate(leaves):
        kwmap += u32(first) + u16(page)
        first += len(members)
    return tree, data, kwmap


def build(hf):
    """The bytes of the help file for a parsed help source."""
    enc = Encoder(hf)
    records = enc.records()
    nblocks, offsets = layout(records)
    files = {
        "|SYSTEM": system_file(hf, offsets, enc),
        "|FONT": font_file(hf, enc),
        "|TOPIC": topic_file(hf, records, nblocks, offsets),
    }
    contexts = sorted((hlpsource.context_hash(t.context), offsets[t.context]) for t in hf.topics)
    files["|CONTEXT"] = btree([(struct.pack("<i", h), struct.pack("<i", h) + u32(o)) for h, o in contexts],
                              0x800, "L4")[0]
    maps = sorted((t.map, offsets[t.context]) for t in hf.topics if t.map is not None)
    files["|CTXOMAP"] = u16(len(maps)) + b"".join(struct.pack("<i", m) + u32(o) for m, o in maps)
    if any(t.keywords for t in hf.topics):
        files["|KWBTREE"], files["|KWDATA"], files["|KWMAP"] = keyword_files(hf, offsets, enc)
    titles = sorted((offsets[t.context], enc.text(t.title)) for t in hf.topics)
    files["|TTLBTREE"] = btree([(u32(o), u32(o) + s + b"\0") for o, s in titles], 0x800, "Lz")[0]

    out = bytearray(16)
    places = {}
    for name in sorted(files, key=lambda n: n.encode("ascii")):
        places[name] = len(out)
        out += internal_file(files[name])
    directory = btree([(n.encode("ascii") + b"\0", n.encode("ascii") + b"\0" + u32(places[n]))
                       for n in sorted(files, key=lambda n: n.encode("ascii"))], 0x400, "z4", 0x0402)[0]
    directory_start = len(out)
    out += internal_file(directory)
    out[0:16] = u32(FILE_MAGIC) + u32(directory_start) + u32(0xFFFFFFFF) + u32(len(out))
    return bytes(out)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Write a WinHelp file from help source.")
    parser.add_argument("source")
    parser.add_argument("-o", "--output", required=True)
    args = parser.parse_args(argv)
    with open(args.source, encoding="utf-8") as f:
        text = f.read()
    try:
        data = build(hlpsource.parse(text, args.source))
    except (hlpsource.SourceError, WriteError) as e:
        print(f"hlpwrite: {e}", file=sys.stderr)
        return 1
    with open(args.output, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
