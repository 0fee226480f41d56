#!/usr/bin/python3
"""Tests of the help file writer: what it writes must read back through an
independent reader that follows the help engine's own lookups (B+ tree
search, topic offsets, context numbers, keywords)."""

import io
import os
import struct
import sys
import tempfile
import unittest
from contextlib import redirect_stderr, redirect_stdout

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "hlp"))

import hlpread  # noqa: E402
import hlpsource  # noqa: E402
import hlpwrite  # noqa: E402

SAMPLE = """\
# sample
[file]
title: テスト ヘルプ
caption: テストの窓
font: ＭＳ Ｐゴシック
charset: 128
lcid: 0x0411
contents: start
macro: BrowseButtons()

[topic first]
title: 最初の項目
keywords: 共通; いちばん

最初の段落です。
二行目は続きます。

= 見出し
- 項目その一

一行目 \\
二行目
{二番目へ|start}へ移ります。

[topic start]
title: 目次
map: 100
keywords: 共通; Zeta; alpha

{最初の項目|first}と{第三|third}。

[topic third]
title: 第三
map: 101
keywords: 第三の語

Latin
words join with spaces.
"""


def build(text):
    return hlpwrite.build(hlpsource.parse(text, "test.hlpsrc"))


def read(text):
    return hlpread.HelpFile(build(text))


def many_topics(count, paragraph_chars=0, keywords_per_topic=0):
    lines = ["[file]", "title: Big", "charset: 128", ""]
    for n in range(count):
        lines += [f"[topic t{n}]", f"title: 項目{n}", f"map: {1000 + n}"]
        if keywords_per_topic:
            lines.append("keywords: " + "; ".join(f"語{n}_{k}" for k in range(keywords_per_topic)))
        lines.append("")
        if paragraph_chars:
            lines += ["本文" * (paragraph_chars // 2), ""]
        lines.append(f"番号{n}の終わり。")
        lines.append("")
    return "\n".join(lines)


class RoundTrip(unittest.TestCase):
    """A small file: everything the help engine looks up must be found."""

    @classmethod
    def setUpClass(cls):
        cls.hf = read(SAMPLE)
        cls.by_title = {t.title: t for t in cls.hf.topics}

    def test_file_settings(self):
        hf = self.hf
        self.assertEqual(hf.title, "テスト ヘルプ")
        self.assertEqual(hf.caption, "テストの窓")
        self.assertEqual((hf.charset, hf.lcid), (128, 0x0411))
        self.assertEqual((hf.minor, hf.flags), (33, 4))
        self.assertEqual(hf.faces, ["ＭＳ Ｐゴシック"])
        self.assertEqual([m.rstrip(b"\0") for m in hf.macros_raw], [b"BrowseButtons()"])
        self.assertEqual(hf.topic_at(hf.contents).title, "目次")

    def test_topics_in_source_order_with_browse_sequence(self):
        hf = self.hf
        self.assertEqual([t.title for t in hf.topics], ["最初の項目", "目次", "第三"])
        self.assertEqual([t.number for t in hf.topics], [0, 1, 2])
        first, start, third = hf.topics
        self.assertEqual(first.browse, (0xFFFFFFFF, start.offset))
        self.assertEqual(start.browse, (first.offset, third.offset))
        self.assertEqual(third.browse, (start.offset, 0xFFFFFFFF))

    def test_context_names_and_numbers_reach_their_topics(self):
        hf = self.hf
        for name, title in [("first", "最初の項目"), ("START", "目次"), ("third", "第三")]:
            self.assertEqual(hf.find_context(name).title, title, name)
        self.assertIsNone(hf.find_context("missing"))
        self.assertEqual(hf.topic_for_map(100).title, "目次")
        self.assertEqual(hf.topic_for_map(101).title, "第三")
        self.assertIsNone(hf.topic_for_map(102))
        self.assertEqual(len(hf.contexts()), 3)
        # Lookups land on the topic's first position, not somewhere inside it.
        starts = {t.offset for t in hf.topics}
        pointed = [o for _, o in hf.contexts()] + [o for _, o in hf.context_map()]
        pointed += [o for _, offs in hf.keywords() for o in offs]
        self.assertTrue(set(pointed) <= starts, pointed)

    def test_keywords_sorted_and_pointing_at_topics(self):
        words = self.hf.keywords()
        names = [w for w, _ in words]
        self.assertEqual(names[:2], ["alpha", "Zeta"])
        targets = {w: sorted(self.hf.topic_at(o).title for o in offs) for w, offs in words}
        self.assertEqual(targets["共通"], ["最初の項目", "目次"])
        self.assertEqual(targets["第三の語"], ["第三"])
        count, where = self.hf.find_keyword("いちばん")
        self.assertEqual(count, 1)
        self.assertIsNone(self.hf.find_keyword("ない"))

    def test_titles_tree_matches_topics(self):
        self.assertEqual([(o, t) for o, t in self.hf.titles()],
                         [(t.offset, t.title) for t in self.hf.topics])

    def test_paragraph_text_fonts_and_links(self):
        first = self.by_title["最初の項目"]
        texts = [p for _, p in first.paragraphs]
        self.assertEqual(texts[0], "最初の項目")
        self.assertEqual(texts[1], "最初の段落です。二行目は続きます。")
        self.assertEqual(texts[2], "見出し")
        self.assertEqual(texts[3], "・項目その一")
        self.assertEqual(texts[4], "一行目\n二行目二番目へへ移ります。")
        fonts = [f for f, _ in first.paragraphs]
        self.assertEqual(fonts[:4], [[hlpwrite.FONT_TITLE], [hlpwrite.FONT_TEXT],
                                     [hlpwrite.FONT_HEADING], [hlpwrite.FONT_TEXT]])
        self.assertTrue(self.hf.fonts[hlpwrite.FONT_TITLE]["bold"])
        self.assertFalse(self.hf.fonts[hlpwrite.FONT_TEXT]["bold"])
        self.assertEqual(first.links, [hlpread.context_hash("start")])
        start = self.by_title["目次"]
        self.assertEqual(start.links, [hlpread.context_hash("first"), hlpread.context_hash("third")])
        third = self.by_title["第三"]
        self.assertEqual(third.paragraphs[1][1], "Latin words join with spaces.")


class Layout(unittest.TestCase):
    """Files large enough to need several topic blocks and B+ tree pages."""

    def test_internal_files_and_block_structure(self):
        data = build(many_topics(60, paragraph_chars=400))
        hf = hlpread.HelpFile(data)
        topic = hf.file("|TOPIC")
        self.assertEqual(len(topic) % 4096, 0)
        self.assertGreater(len(topic) // 4096, 3)
        positions = {t.pos for t in hf.topics}
        for n in range(len(topic) // 4096):
            block = topic[n * 4096:(n + 1) * 4096]
            self.assertLessEqual(len(hlpread.lz77_expand(block[12:])), 0x4000)
            last_link, first_link, last_header = struct.unpack_from("<III", block)
            self.assertEqual((first_link - 12) >> 14, n, "first link lies in its block")
            if n == 0:
                self.assertEqual((last_link, first_link), (0xFFFFFFFF, 12))
            self.assertIn(last_header, positions)

    def test_every_topic_found_by_offset_name_and_number(self):
        hf = read(many_topics(60, paragraph_chars=400))
        self.assertEqual(len(hf.topics), 60)
        for n, t in enumerate(hf.topics):
            self.assertEqual(t.title, f"項目{n}")
            self.assertIs(hf.topic_at(t.offset), t)
            self.assertEqual(hf.find_context(f"t{n}").title, t.title)
            self.assertEqual(hf.topic_for_map(1000 + n).title, t.title)
            self.assertEqual(t.paragraphs[-1][1], f"番号{n}の終わり。")
        blocks = {t.offset >> 15 for t in hf.topics}
        self.assertGreater(len(blocks), 3, "topics spread over several blocks")

    def test_multi_level_trees_are_searchable(self):
        hf = read(many_topics(300, keywords_per_topic=3))
        contexts = hlpread.BTree(hf.file("|CONTEXT"), lambda p, i: (0, 0, i + 8), None)
        self.assertGreater(contexts.levels, 1)
        kw = hlpread.BTree(hf.file("|KWBTREE"), lambda p, i: (0, 0, i), None)
        self.assertGreater(kw.levels, 1)
        for n in range(0, 300, 7):
            self.assertEqual(hf.find_context(f"t{n}").title, f"項目{n}")
            count, where = hf.find_keyword(f"語{n}_2")
            self.assertEqual(count, 1)
            offset = struct.unpack_from("<I", hf.file("|KWDATA"), where)[0]
            self.assertEqual(hf.topic_at(offset).title, f"項目{n}")
        self.assertEqual(len(hf.keywords()), 900)
        kwmap = hf.file("|KWMAP")
        pages = struct.unpack_from("<H", kwmap)[0]
        self.assertEqual(len(kwmap), 2 + 6 * pages)
        firsts = [struct.unpack_from("<I", kwmap, 2 + 6 * k)[0] for k in range(pages)]
        self.assertEqual(firsts[0], 0)
        self.assertEqual(firsts, sorted(firsts))

    def test_paragraph_too_long_for_a_block_is_refused(self):
        with self.assertRaises(hlpwrite.WriteError):
            build(many_topics(1, paragraph_chars=4000))


class Numbers(unittest.TestCase):
    def test_compressed_numbers_read_back_at_their_boundaries(self):
        cases = [
            (hlpwrite.comp_short, hlpread.read_comp_short, [-64, -1, 0, 63, 64, 127, 16383], {63: 1, 64: 2}),
            (hlpwrite.comp_ushort, hlpread.read_comp_ushort, [0, 127, 128, 32767], {127: 1, 128: 2}),
            (hlpwrite.comp_long, hlpread.read_comp_long, [-16384, 0, 16383, 16384, 0x3FFFFFFF],
             {16383: 2, 16384: 4}),
            (hlpwrite.comp_ulong, hlpread.read_comp_ulong, [0, 32767, 32768, 0x7FFFFFFF], {32767: 2, 32768: 4}),
        ]
        for write, read_back, values, sizes in cases:
            for v in values:
                data = write(v) + b"\xAA"
                got, end = read_back(data, 0)
                self.assertEqual(got, v, (write.__name__, v))
                self.assertEqual(end, len(data) - 1, (write.__name__, v))
                if v in sizes:
                    self.assertEqual(end, sizes[v], (write.__name__, v))
            with self.assertRaises(hlpwrite.WriteError):
                write(max(values) + 1)

    def test_lz77(self):
        data = bytes(range(256)) * 3 + b"tail"
        self.assertEqual(hlpread.lz77_expand(hlpwrite.lz77_literals(data)), data)
        # A back reference: three literals, then copy 4 bytes from 3 back.
        stream = bytes([0b1000, ord("a"), ord("b"), ord("c")]) + struct.pack("<H", (1 << 12) | 2)
        self.assertEqual(hlpread.lz77_expand(stream), b"abcabca")

    def test_context_hash(self):
        self.assertEqual(hlpsource.context_hash("a"), 17)
        self.assertEqual(hlpsource.context_hash("A1"), 17 * 43 + 1)
        self.assertEqual(hlpsource.context_hash("_.0"), (13 * 43 + 12) * 43 + 10)
        # Values from the help engine's 32-bit arithmetic, wrapping included.
        for name, value in [("key_settings", 802187645), ("main_window", -2041870328),
                            ("popup_sound", -1332036898), ("zzzzzzzz", 1594265184)]:
            self.assertEqual(hlpsource.context_hash(name), value, name)
            self.assertEqual(hlpread.context_hash(name), value, name)


class SourceErrors(unittest.TestCase):
    def error_line(self, text):
        with self.assertRaises(hlpsource.SourceError) as cm:
            hlpsource.parse(text, "x")
        return cm.exception.line, str(cm.exception)

    def test_faults_name_their_line(self):
        head = "[file]\ncharset: 128\n\n[topic a]\ntitle: A\n\n"
        cases = [
            (head + "{link|nowhere}\n", 7, "unknown context"),
            (head + "[topic a]\ntitle: B\n", 7, "used twice"),
            (head + "[topic b-c]\ntitle: B\n", 7, "context name"),
            (head + "text ♥ here\n", 7, "code page"),
            (head + "unbalanced {brace\n", 7, "unbalanced"),
            ("[file]\ncharset: 128\n\n[topic a]\ntitle: A\nmap: 5\n\n[topic b]\ntitle: B\nmap: 5\n", 10, "map number"),
            ("[file]\nbogus: 1\n", 2, "unknown file setting"),
            ("[file]\ncontents: nothere\n\n[topic a]\ntitle: A\n", 2, "contents topic"),
            ("[topic a]\n\ntext\n", 1, "no title"),
            ("stray\n", 1, "before the first section"),
            ("[file]\ncharset: 999\n", 2, "out of range"),
            (head + "", None, None),
        ]
        for text, line, words in cases:
            if line is None:
                hlpsource.parse(text, "x")
                continue
            got_line, message = self.error_line(text)
            self.assertEqual(got_line, line, message)
            self.assertIn(words, message)

    def test_context_names_are_compared_as_the_hash_sees_them(self):
        # The hash ignores case: two spellings name one context.
        line, message = self.error_line("[topic Same]\ntitle: A\n\n[topic same]\ntitle: B\n")
        self.assertEqual(line, 4)
        self.assertIn("used twice", message)
        # Two different names whose 32-bit hashes collide cannot both be found.
        line, message = self.error_line("[topic sffke0cm]\ntitle: A\n\n[topic ocw7syq2]\ntitle: B\n")
        self.assertEqual(line, 4)
        self.assertIn("same hash", message)


class Reader(unittest.TestCase):
    """The reader must reject damage, or the round trips above prove nothing."""

    def test_damage_is_detected(self):
        good = build(SAMPLE)
        damaged = [
            good[:-1],                                   # size field no longer matches
            b"\0\0\0\0" + good[4:],                      # magic
            good[:16] + b"\xff" * 4 + good[20:],         # |CONTEXT header sizes
        ]
        for data in damaged:
            with self.assertRaises(hlpread.FormatError):
                hlpread.HelpFile(data)


class ShippedHelp(unittest.TestCase):
    """Klvo.hlp as the product ships it."""

    @classmethod
    def setUpClass(cls):
        path = os.path.join(ROOT, "docs", "help", "klvo.hlpsrc")
        with open(path, encoding="utf-8") as f:
            cls.source = hlpsource.parse(f.read(), path)
        cls.hf = hlpread.HelpFile(hlpwrite.build(cls.source))

    def test_dialog_contexts_and_contents(self):
        hf = self.hf
        self.assertEqual(hf.topic_for_map(100).title, "日本語入力システムの選択")
        self.assertEqual(hf.topic_for_map(101).title, "キーの設定")
        self.assertEqual(hf.topic_at(hf.contents).title, "Kelvo ヘルプの目次")
        self.assertEqual((hf.charset, hf.lcid, hf.caption), (128, 0x0411, "Kelvo ヘルプ"))
        titles = [t.title for t in hf.topics]
        for title in ("Kelvoのウィンドウとメニュー", "ポップアップとサウンド"):
            self.assertIn(title, titles)

    def test_every_topic_has_keywords_and_each_keyword_one_topic(self):
        owners = {}
        for word, offsets in self.hf.keywords():
            owners[word] = offsets
            self.assertEqual(len(offsets), 1, f"keyword {word} is shared")
        reached = {self.hf.topic_at(o[0]).title for o in owners.values()}
        self.assertEqual(reached, {t.title for t in self.hf.topics})

    def test_no_space_between_japanese_and_latin_text(self):
        # The help viewer breaks lines at spaces, so "Kelvo は" wraps badly.
        import re
        for topic in self.source.topics:
            for p in topic.paragraphs:
                text = p.plain_text()
                self.assertIsNone(re.search(r"[^\x00-\x7f] \S|\S [^\x00-\x7f]", text), text)


class HelpOnHelpStandIn(unittest.TestCase):
    def test_builds_with_its_contents_topic(self):
        with open(os.path.join(ROOT, "tools", "hlp", "winhelp.hlpsrc"), encoding="utf-8") as f:
            hf = read(f.read())
        self.assertEqual(hf.topic_at(hf.contents).title, "ヘルプの使い方")
        self.assertEqual(hf.caption, "ヘルプの使い方")


class Documents(unittest.TestCase):
    """Readme.txt and Manual.txt: shipped in code page 932 and read in an
    editor window without line wrapping."""

    def test_encodable_and_narrow(self):
        import unicodedata
        for name, facts in [("Readme.txt.in", ["Setup.exe", "アンインストール", "F2", "［変換］", "Klvo.hlp"]),
                            ("Manual.txt.in", ["キーの設定", "日本語入力システムの選択", "ポップアップ"])]:
            with open(os.path.join(ROOT, "docs", name), encoding="utf-8") as f:
                text = f.read()
            text.encode("cp932")
            for fact in facts:
                self.assertIn(fact, text, name)
            for n, line in enumerate(text.splitlines(), 1):
                width = sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in line)
                self.assertLessEqual(width, 76, f"{name}:{n}")
                self.assertNotIn("\t", line, f"{name}:{n}")


class CommandLine(unittest.TestCase):
    def test_write_then_read(self):
        with tempfile.TemporaryDirectory() as d:
            src = os.path.join(d, "s.hlpsrc")
            out = os.path.join(d, "S.hlp")
            with open(src, "w", encoding="utf-8") as f:
                f.write(SAMPLE)
            self.assertEqual(hlpwrite.main([src, "-o", out]), 0)
            buf = io.StringIO()
            with redirect_stdout(buf):
                self.assertEqual(hlpread.main([out, "--map", "101"]), 0)
            self.assertEqual(buf.getvalue().strip(), "第三")
            with open(src, "a", encoding="utf-8") as f:
                f.write("{bad|none}\n")
            err = io.StringIO()
            with redirect_stderr(err):
                self.assertEqual(hlpwrite.main([src, "-o", out]), 1)
            self.assertIn("unknown context", err.getvalue())


if __name__ == "__main__":
    unittest.main()
