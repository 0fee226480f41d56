#!/usr/bin/python3
"""The user's documents against the programs they describe.

Readme.txt, Manual.txt and the help source name menus, dialogs and
controls in ［…］ brackets, list the files an installation leaves, and map
help topics to the dialogs' help buttons. Each of these is read here from
the programs' own sources (resource scripts, string literals, the shipped
script), so that a renamed control, a new file or a changed context number
shows up as a document that no longer tells the truth.
"""

import os
import re
import sys
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, os.path.join(ROOT, "tools", "hlp"))

import cp932text  # noqa: E402
import hlpsource  # noqa: E402

README = os.path.join(ROOT, "docs", "Readme.txt.in")
MANUAL = os.path.join(ROOT, "docs", "Manual.txt.in")
HELP = os.path.join(ROOT, "docs", "help", "klvo.hlpsrc")
DOCUMENTS = [README, MANUAL, HELP]
SCRIPT = os.path.join(ROOT, "setup", "script", "klvo.ost")
MAX_LINE_BYTES = 78

# Names the documents bracket that belong to Windows itself, not to the
# programs: the Start menu and its items, the Control Panel and its
# Add/Remove Programs sheet, the Sound applet, a window's close button and
# the task list's end-task button.
SHELL_NAMES = {
    "スタート", "ﾌﾟﾛｸﾞﾗﾑ", "設定", "ｺﾝﾄﾛｰﾙ ﾊﾟﾈﾙ",
    "ｱﾌﾟﾘｹｰｼｮﾝの追加と削除", "インストールと削除", "追加と削除",
    "サウンド", "閉じる", "タスクの終了",
}

BRACKETED = re.compile(r"［([^［］]*)］")
LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def rel(path):
    return os.path.relpath(path, ROOT)


def normalise(name):
    """A control's text as a reader names it: no access key, no trailing
    '...' or colon."""
    name = re.sub(r"\(&.\)", "", name).replace("&", "")
    name = re.sub(r"(\.\.\.|:|：)$", "", name.strip())
    return name.strip()


def spoken_forms(text):
    """The names a resource text may be cited by: the whole text, and the
    text without a trailing remark in parentheses ("登録する(...)")."""
    name = normalise(text)
    forms = {name}
    short = re.sub(r"\([^()]*\)$", "", name).strip()
    if short:
        forms.add(short)
    return forms


def program_texts():
    """Every text the two programs can show: the strings of their resource
    scripts, the string literals of their code, and the shipped script's
    quoted words (group and item names, descriptions)."""
    texts = set()
    for top in ("klvo", "setup"):
        for folder, _, files in os.walk(os.path.join(ROOT, top)):
            for name in files:
                if name.endswith((".rc", ".cpp", ".h")):
                    for literal in LITERAL.findall(read(os.path.join(folder, name))):
                        texts |= spoken_forms(literal)
    for literal in LITERAL.findall(read(SCRIPT)):
        texts |= spoken_forms(literal)
    return texts


def defines(path):
    return {m.group(1): int(m.group(2), 0)
            for m in re.finditer(r"^#define\s+(\w+)\s+(\w+)", read(path), re.M)
            if re.fullmatch(r"0x[0-9A-Fa-f]+|\d+", m.group(2))}


def dialog_captions(path):
    captions = {}
    for m in re.finditer(r"^(\w+)\s+DIALOG\b.*?^CAPTION\s+\"([^\"]*)\"", read(path), re.M | re.S):
        captions[m.group(1)] = m.group(2)
    return captions


def help_contexts():
    """{context number: dialog name} for every dialog whose help button asks
    the help engine for a context: the WinHelpA call in the file of a dialog
    procedure, and the line that opens that procedure's dialog."""
    numbers = defines(os.path.join(ROOT, "klvo", "klvodlg.h"))
    sources = {}
    for name in os.listdir(os.path.join(ROOT, "klvo")):
        if name.endswith(".cpp"):
            sources[name] = read(os.path.join(ROOT, "klvo", name))
    result = {}
    for name, text in sources.items():
        for m in re.finditer(r"WinHelpA\([^;]*?HELP_CONTEXT\s*,\s*(\w+)\s*\)", text):
            procedures = re.findall(r"CALLBACK\s+(\w+DlgProc)\s*\(", text)
            if len(procedures) != 1:
                raise AssertionError(f"klvo/{name}: a help context outside one dialog procedure")
            opener = re.compile(r"(IDD_\w+)[^;\n]*\b%s\b" % procedures[0])
            dialogs = {d for t in sources.values() for d in opener.findall(t)}
            if len(dialogs) != 1:
                raise AssertionError(f"{procedures[0]} is opened for {sorted(dialogs) or 'no dialog'}")
            context = m.group(1)
            result[numbers[context] if context in numbers else int(context, 0)] = dialogs.pop()
    return result


def script_destinations():
    """Destinations of the copy and move lines of the install section, as
    folder-relative names."""
    names = []
    in_install = False
    for line in read(SCRIPT).splitlines():
        words = re.findall(r'"[^"]*"|\S+', line)
        if not words or words[0].startswith(("#", ";")):
            continue
        if words[0] == "startinstall":
            in_install = True
        elif words[0] == "endinstall":
            in_install = False
        elif in_install and words[0] in ("copy", "move"):
            destination = words[2].strip('"')
            if not destination.startswith("%DEFDIR%"):
                raise AssertionError(f"{line.strip()}: a destination outside the installation folder")
            names.append(destination[len("%DEFDIR%"):])
    return names


def readme_installed_files():
    """The first word of each line of the Readme's list that follows the
    sentence naming the files copied into the installation folder."""
    lines = read(README).splitlines()
    for i, line in enumerate(lines):
        if line.startswith("インストール先のフォルダには、次のファイルが"):
            break
    else:
        raise AssertionError("Readme: the list of installed files is missing")
    names = []
    for line in lines[i + 2:]:
        if not line.strip():
            break
        names.append(line.split()[0])
    return names


class BracketedNames(unittest.TestCase):
    """A name in ［…］ is what the user sees on the screen."""

    def test_every_name_is_a_text_of_the_programs_or_of_windows(self):
        known = program_texts() | SHELL_NAMES
        unknown = []
        for path in DOCUMENTS:
            for number, line in enumerate(read(path).splitlines(), 1):
                for name in BRACKETED.findall(line):
                    if normalise(name) not in known:
                        unknown.append(f"{rel(path)}:{number}: ［{name}］")
        if unknown:
            self.fail("names that no program shows:\n" + "\n".join(unknown))

    def test_no_name_is_split_over_two_lines(self):
        split = []
        for path in DOCUMENTS:
            for number, line in enumerate(read(path).splitlines(), 1):
                if line.count("［") != line.count("］"):
                    split.append(f"{rel(path)}:{number}: {line.strip()}")
        if split:
            self.fail("names split over two lines:\n" + "\n".join(split))

    def test_names_are_matched_as_the_reader_spells_them(self):
        # The matching itself: access keys, dots and colons go, a remark in
        # parentheses may be left out, anything else must be spelt alike.
        forms = spoken_forms("登録する(通常はこちらをおすすめします)(&R)")
        self.assertIn("登録する", forms)
        self.assertIn("登録する(通常はこちらをおすすめします)", forms)
        self.assertEqual(spoken_forms("参照(&B)..."), {"参照"})
        self.assertEqual(spoken_forms("キー(&K):"), {"キー"})
        self.assertNotIn("Kelvo の終了", spoken_forms("Kelvoの終了(&X)"))
        self.assertIn("インストール(組み込み)をする", spoken_forms("インストール(組み込み)をする(&I)"))


class HelpContexts(unittest.TestCase):
    """The help buttons of the dialogs open the topics written for them."""

    def setUp(self):
        self.help = hlpsource.parse(read(HELP), HELP)
        self.contexts = help_contexts()
        self.captions = dialog_captions(os.path.join(ROOT, "klvo", "dialogs.rc"))

    def test_context_map_equals_the_contexts_the_dialogs_ask_for(self):
        self.assertTrue(self.contexts, "no dialog asks for a help context")
        mapped = {t.map for t in self.help.topics if t.map is not None}
        self.assertEqual(mapped, set(self.contexts))

    def test_each_mapped_topic_is_titled_like_its_dialog(self):
        for topic in self.help.topics:
            if topic.map in self.contexts:
                dialog = self.contexts[topic.map]
                self.assertEqual(topic.title, self.captions[dialog],
                                 f"topic {topic.context} (map {topic.map}) and dialog {dialog}")


class InstalledFiles(unittest.TestCase):
    def test_readme_lists_what_the_script_puts_in_the_folder(self):
        expected = script_destinations()
        self.assertTrue(expected, "the shipped script copies and moves nothing")
        self.assertEqual(sorted(readme_installed_files(), key=str.lower), sorted(expected, key=str.lower))


class Encoding(unittest.TestCase):
    """The documents are read in code page 932 on screens and printers of
    80 columns; the help source is wrapped the same way."""

    def test_every_document_converts_with_short_lines(self):
        long_lines = []
        for path in DOCUMENTS:
            text = read(path)
            try:
                data = cp932text.encode(text)
            except UnicodeEncodeError as e:
                self.fail(f"{rel(path)}:{text[:e.start].count(chr(10)) + 1}: "
                          f"{text[e.start]!r} has no code page 932 form")
            for number, line in enumerate(data.split(b"\r\n"), 1):
                if len(line) > MAX_LINE_BYTES:
                    long_lines.append(f"{rel(path)}:{number}: {len(line)} bytes")
        if long_lines:
            self.fail(f"lines over {MAX_LINE_BYTES} bytes:\n" + "\n".join(long_lines))


if __name__ == "__main__":
    unittest.main(verbosity=2)
