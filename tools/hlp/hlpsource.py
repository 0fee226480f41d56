"""Readable help source: parsing into a help model.

A source file is UTF-8 text. Lines starting with '#' are comments.

    [file]
    title: Kelvo ヘルプ           help file title
    caption: Kelvo ヘルプ         caption of the main help window
    copyright: ...
    font: ＭＳ Ｐゴシック          face name of every font
    charset: 128                  character set of the text (128: Shift-JIS)
    lcid: 0x0411                  language of the file
    contents: contents            context name of the contents topic
    macro: BrowseButtons()        macro run when the file opens (repeatable)

    [topic main_window]           a topic and its context name
    title: メインウィンドウ
    map: 100                      context number for HELP_CONTEXT (optional)
    keywords: メニュー; ステータスバー

    Body text. Lines of one paragraph are joined; a blank line ends it.
    = Heading                     a bold heading
    - item                        a bulleted item
    A line ending in " \\" breaks the line inside its paragraph.
    {link text|context_name}      a jump to another topic

The header of a section ends at its first blank line or at the first line
that is not "key: value".
"""

import re

CONTEXT_NAME = re.compile(r"^[A-Za-z0-9_.]+$")
LINK = re.compile(r"\{([^{}|]+)\|([^{}|]+)\}")


class SourceError(Exception):
    def __init__(self, path, line, message):
        super().__init__(f"{path}:{line}: {message}")
        self.line = line


class Text:
    def __init__(self, text):
        self.text = text

    def __repr__(self):
        return f"Text({self.text!r})"


class Link:
    def __init__(self, text, target, line):
        self.text = text
        self.target = target
        self.line = line

    def __repr__(self):
        return f"Link({self.text!r}, {self.target!r})"


class LineBreak:
    def __repr__(self):
        return "LineBreak()"


class Paragraph:
    """kind is 'title', 'heading', 'item' or 'text'; runs hold Text, Link and
    LineBreak pieces."""

    def __init__(self, kind, runs, line):
        self.kind = kind
        self.runs = runs
        self.line = line

    def plain_text(self):
        return "".join(r.text if not isinstance(r, LineBreak) else "\n" for r in self.runs)


class Topic:
    def __init__(self, context, line):
        self.context = context
        self.line = line
        self.title = None
        self.map = None
        self.keywords = []
        self.paragraphs = []


class HelpFile:
    def __init__(self):
        self.title = ""
        self.caption = None
        self.copyright = None
        self.font = "MS Sans Serif"
        self.charset = 0
        self.lcid = None
        self.contents = None
        self.macros = []
        self.topics = []

    def topic(self, context):
        for t in self.topics:
            if t.context.lower() == context.lower():
                return t
        return None


def _join(left, right):
    """Joins two source lines of a paragraph: Japanese runs on directly,
    two words of Latin script get a space between them."""
    if not left:
        return right
    if left[-1].isascii() and left[-1].isalnum() and right[:1].isascii() and right[:1].isalnum():
        return left + " " + right
    return left + right


def _runs(text, line, path):
    runs = []
    pos = 0
    for m in LINK.finditer(text):
        if m.start() > pos:
            runs.append(Text(text[pos:m.start()]))
        runs.append(Link(m.group(1), m.group(2).strip(), line))
        pos = m.end()
    if pos < len(text):
        runs.append(Text(text[pos:]))
    for r in runs:
        if isinstance(r, Text) and ("{" in r.text or "}" in r.text):
            raise SourceError(path, line, "unbalanced '{' or '}' (a link is {text|context})")
    return runs


def _check_encodable(text, path, line, charset):
    if charset != 128:
        codec = "cp1252"
    else:
        codec = "cp932"
    try:
        text.encode(codec)
    except UnicodeEncodeError as e:
        raise SourceError(path, line, f"character {text[e.start]!r} has no code page {codec[2:]} form")


class _BodyBuilder:
    def __init__(self, topic, path):
        self.topic = topic
        self.path = path
        self.kind = None
        self.runs = []
        self.text = ""
        self.start = 0

    def _flush_text(self, line):
        if self.text:
            self.runs.extend(_runs(self.text, line, self.path))
            self.text = ""

    def add_line(self, line_no, content):
        if content.startswith("= "):
            self.end()
            self.start = line_no
            self.kind = "heading"
            self.text = content[2:].strip()
            self.end()
            return
        if content.startswith("- "):
            self.end()
            self.start = line_no
            self.kind = "item"
            content = content[2:].strip()
        elif self.kind is None:
            self.start = line_no
            self.kind = "text"
        brk = content.endswith(" \\")
        if brk:
            content = content[:-2].rstrip()
        self.text = _join(self.text, content.strip())
        if brk:
            self._flush_text(line_no)
            self.runs.append(LineBreak())

    def end(self):
        if self.kind is None:
            return
        self._flush_text(self.start)
        while self.runs and isinstance(self.runs[-1], LineBreak):
            self.runs.pop()
        if self.runs:
            self.topic.paragraphs.append(Paragraph(self.kind, self.runs, self.start))
        self.kind = None
        self.runs = []


def parse(text, path="<help source>"):
    """Parses help source text; raises SourceError on the first fault."""
    hf = HelpFile()
    section = None          # 'file' or a Topic
    in_header = False
    body = None
    file_lines = {}
    seen_file = False

    def finish_topic():
        if body is not None:
            body.end()

    for line_no, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip()
        if line.startswith("#"):
            continue
        m = re.match(r"^\[(\w+)(?:\s+(\S+))?\]$", line)
        if m:
            finish_topic()
            body = None
            if m.group(1) == "file" and m.group(2) is None:
                if seen_file or hf.topics:
                    raise SourceError(path, line_no, "[file] must come once, before the topics")
                seen_file = True
                section = "file"
            elif m.group(1) == "topic" and m.group(2):
                name = m.group(2)
                if not CONTEXT_NAME.match(name):
                    raise SourceError(path, line_no, f"context name {name!r}: use letters, digits, '_' and '.'")
                if hf.topic(name):
                    raise SourceError(path, line_no, f"context name {name!r} is used twice")
                section = Topic(name, line_no)
                hf.topics.append(section)
                body = _BodyBuilder(section, path)
            else:
                raise SourceError(path, line_no, f"unknown section {line!r}")
            in_header = True
            continue
        if section is None:
            if line.strip():
                raise SourceError(path, line_no, "text before the first section")
            continue
        hm = re.match(r"^([a-z]+):\s*(.*)$", line)
        if section == "file":
            if hm:
                file_lines[hm.group(1)] = line_no
                _file_key(hf, hm.group(1), hm.group(2).strip(), path, line_no)
            elif line.strip():
                raise SourceError(path, line_no, "[file] holds only 'key: value' lines")
            continue
        if in_header:
            if hm:
                _topic_key(hf, section, hm.group(1), hm.group(2).strip(), path, line_no)
                continue
            in_header = False
            if not line.strip():
                continue
        if not line.strip():
            body.end()
            continue
        _check_encodable(line, path, line_no, hf.charset)
        body.add_line(line_no, line.strip())
    finish_topic()

    if not hf.topics:
        raise SourceError(path, 1, "no topic")
    for t in hf.topics:
        if not t.title:
            raise SourceError(path, t.line, f"topic {t.context!r} has no title")
        for p in t.paragraphs:
            for r in p.runs:
                if isinstance(r, Link) and not hf.topic(r.target):
                    raise SourceError(path, r.line, f"link to unknown context {r.target!r}")
    for key in ("title", "caption", "copyright", "font"):
        if key in file_lines:
            _check_encodable(getattr(hf, key), path, file_lines[key], hf.charset)
    if hf.contents is None:
        hf.contents = hf.topics[0].context
    elif not hf.topic(hf.contents):
        raise SourceError(path, file_lines["contents"], f"contents topic {hf.contents!r} does not exist")
    _check_hashes(hf, path)
    return hf


def _file_key(hf, key, value, path, line_no):
    if key == "title":
        hf.title = value
    elif key == "caption":
        hf.caption = value
    elif key == "copyright":
        hf.copyright = value
    elif key == "font":
        hf.font = value
    elif key == "charset":
        hf.charset = _number(value, path, line_no, 0, 255)
    elif key == "lcid":
        hf.lcid = _number(value, path, line_no, 0, 0xFFFF)
    elif key == "contents":
        hf.contents = value
    elif key == "macro":
        hf.macros.append(value)
    else:
        raise SourceError(path, line_no, f"unknown file setting {key!r}")


def _topic_key(hf, topic, key, value, path, line_no):
    _check_encodable(value, path, line_no, hf.charset)
    if key == "title":
        topic.title = value
    elif key == "map":
        number = _number(value, path, line_no, -0x80000000, 0x7FFFFFFF)
        for other in hf.topics:
            if other is not topic and other.map == number:
                raise SourceError(path, line_no, f"map number {number} is used by {other.context!r} too")
        topic.map = number
    elif key == "keywords":
        words = [w.strip() for w in value.split(";")]
        if any(not w for w in words):
            raise SourceError(path, line_no, "empty keyword")
        topic.keywords.extend(words)
    else:
        raise SourceError(path, line_no, f"unknown topic setting {key!r}")


def _number(value, path, line_no, low, high):
    try:
        n = int(value, 0)
    except ValueError:
        raise SourceError(path, line_no, f"{value!r} is not a number") from None
    if not low <= n <= high:
        raise SourceError(path, line_no, f"{n} is out of range")
    return n


def context_hash(name):
    """The help engine's hash of a context name, as a signed 32-bit value."""
    h = 0
    for c in name:
        if "A" <= c <= "Z" or "a" <= c <= "z":
            x = ord(c.lower()) - ord("a") + 17
        elif "1" <= c <= "9":
            x = ord(c) - ord("0")
        elif c == "0":
            x = 10
        elif c == ".":
            x = 12
        elif c == "_":
            x = 13
        else:
            raise ValueError(f"character {c!r} in context name")
        h = (h * 43 + x) & 0xFFFFFFFF
    return h - 0x100000000 if h & 0x80000000 else h


def _check_hashes(hf, path):
    seen = {}
    for t in hf.topics:
        h = context_hash(t.context)
        if h in seen:
            raise SourceError(path, t.line, f"context names {seen[h]!r} and {t.context!r} have the same hash")
        seen[h] = t.context
