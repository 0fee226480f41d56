#!/usr/bin/python3
"""The script reference (docs/orvalt-script.md) against the engine:

- every command word of the engine's table has a heading of its own, whose
  part holds an example that uses it;
- every macro the engine expands is in the macro table;
- every example block passes orvalt-check, as a script of its own with an
  end line added when it has none, against a folder of the shipped
  product's files; a block marked `orvalt fails <reason>` must fail with
  that reason, and its text must say so;
- every Japanese text quoted as code outside the examples is a text of the
  installer or of the shipped script, as it stands there.

    script_reference_test.py ORVALT_CHECK REFERENCE SOURCE_ROOT
"""
import glob
import os
import re
import subprocess
import sys
import tempfile

# The distribution folder the examples are checked against.
EXAMPLE_FILES = ["Klvo.exe", "Klvo.hlp", "Readme.txt", "Manual.txt"]
JAPANESE = re.compile(r"[\u3000-\u30ff\u4e00-\u9fff\uff61-\uff9f]")


def blocks(text):
    """(info string, body, text before it) of each fenced block."""
    found = []
    for m in re.finditer(r"^```([^\n]*)\n(.*?)^```$", text, re.MULTILINE | re.DOTALL):
        before = text[:m.start()].rstrip().rsplit("\n\n", 1)[-1]
        found.append((m.group(1).strip(), m.group(2), before))
    return found


def sections(text, marker):
    """{heading: its text up to the next heading of that level or above}."""
    level = len(marker)
    parts = {}
    current = None
    for line in text.splitlines():
        m = re.match(r"^(#+) ", line)
        if m and len(m.group(1)) <= level:
            current = line if len(m.group(1)) == level else None
            if current is not None:
                parts[current] = ""
            continue
        if current is not None:
            parts[current] += line + "\n"
    return parts


def check_words(text, words, macros, fail):
    commands = sections(text, "###")
    for word in words:
        heading = [h for h in commands if f"`{word}`" in h]
        if not heading:
            fail(f"command word {word!r} has no heading of its own")
            continue
        used = any(info.startswith("orvalt") and re.search(rf"^\s*{word}\b", body, re.MULTILINE | re.IGNORECASE)
                   for info, body, _ in blocks(commands[heading[0]]))
        if not used:
            fail(f"the part of {word!r} has no example that uses it")
    table = next((body for h, body in sections(text, "##").items() if "Macros" in h), "")
    for macro in macros:
        if not re.search(rf"^\| `{re.escape(macro)}` \|", table, re.MULTILINE):
            fail(f"macro {macro} is not in the macro table")


def check_examples(text, tool, fail):
    work = tempfile.mkdtemp(prefix="orvalt-reference-")
    dist = os.path.join(work, "dist")
    os.makedirs(dist)
    for name in EXAMPLE_FILES:
        with open(os.path.join(dist, name), "wb") as f:
            f.write(b"example\r\n")
    count = 0
    for n, (info, body, before) in enumerate(blocks(text)):
        if not info.startswith("orvalt"):
            continue
        count += 1
        reason = info[len("orvalt"):].strip()
        expect_fail = reason.startswith("fails ")
        reason = reason[len("fails "):] if expect_fail else ""
        lines = [line.split() for line in body.splitlines()]
        if not expect_fail and not any(words and words[0].lower() == "end" for words in lines):
            body += "end\n"
        script = os.path.join(work, f"example{n}.ost")
        with open(script, "w", encoding="utf-8") as f:
            f.write(body)
        r = subprocess.run([tool, script, dist], capture_output=True, text=True)
        first = body.splitlines()[0] if body.strip() else "(empty)"
        if expect_fail:
            if r.returncode != 1 or f"error: {reason}" not in r.stdout:
                fail(f"example {first!r} should fail with {reason!r}:\n{r.stdout}{r.stderr}")
            if "meant to fail" not in before or " ".join(reason.split()) not in " ".join(before.split()):
                fail(f"the text above example {first!r} does not say it fails with {reason!r}")
        elif r.returncode != 0 or r.stdout.strip():
            fail(f"example {first!r} does not pass orvalt-check cleanly:\n{r.stdout}{r.stderr}")
    return count


def check_texts(text, root, fail):
    sources = ""
    for pattern in ("setup/*.cpp", "setup/*.h", "setup/*.rc", "setup/script/*.ost"):
        for path in sorted(glob.glob(os.path.join(root, pattern))):
            with open(path, encoding="utf-8") as f:
                sources += f.read()
    prose = re.sub(r"^```.*?^```$", "", text, flags=re.MULTILINE | re.DOTALL)
    for span in re.findall(r"`([^`]+)`", prose):
        quoted = " ".join(span.split()) if "\n" in span else span.strip()
        if JAPANESE.search(quoted) and quoted not in sources:
            fail(f"the quoted text {quoted!r} is not a text of the installer")


def main():
    tool, reference, root = sys.argv[1:4]
    with open(reference, encoding="utf-8") as f:
        text = f.read()
    words = subprocess.run([tool, "--words"], capture_output=True, text=True, check=True).stdout.split()
    commands = [w for w in words if not w.startswith("%")]
    macros = [w for w in words if w.startswith("%")]
    failures = []

    def fail(what):
        failures.append(what)
        print("FAIL " + what, flush=True)

    if len(commands) < 28 or len(macros) < 4:
        fail(f"orvalt-check --words listed {len(commands)} commands and {len(macros)} macros")
    check_words(text, commands, macros, fail)
    examples = check_examples(text, tool, fail)
    check_texts(text, root, fail)
    print(f"{len(commands)} command words, {len(macros)} macros, {examples} examples: "
          f"{len(failures)} failure(s)")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
