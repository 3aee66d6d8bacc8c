#!/usr/bin/env python3
"""Every message the program can show has a line in the user's guide.

    check_guide_messages.py SOURCE_DIR

Reads the wide string literals of the program's code (acquisition, common, network, platform,
settings, ui) and the quoted texts of its resource script, keeps those that read as messages
(a Japanese sentence, or an English failure text), and looks for each in the message table of
docs/guide/index.md: the table rows under the heading "## メッセージ一覧". printf conversions
(%ls, %08x, ...) and line breaks in a text stand for any text there. Exits 1 and names every
message without a line.
"""

import pathlib
import re
import sys

CODE_DIRS = ["acquisition", "common", "network", "platform", "settings", "ui"]
TABLE_HEADING = "## メッセージ一覧"

# A C or C++ string literal, wide or narrow, possibly one of several written in a row.
LITERAL = re.compile(r'L?"((?:[^"\\\n]|\\.)*)"')
ADJACENT = re.compile(r'(L?"(?:[^"\\\n]|\\.)*"(?:\s*L?"(?:[^"\\\n]|\\.)*")*)')
CONVERSION = re.compile(r"%[-+ #0]*\d*(?:\.\d+)?(?:hh|h|ll|l|z)?[diouxXsScp]")
JAPANESE = re.compile(r"[\u3040-\u30ff\u3400-\u9fff\uff00-\uffef]")
SENTENCE_END = re.compile(r"(。|？|！|ください|ました|ません|です)\s*$")
ENGLISH_FAILURE = re.compile(r"Failed|failed|problem|CONNMGR_STATUS|Status =|TIMEOUT|ERROR_")


def unescape(text):
    return (
        text.replace(r"\r", "\r").replace(r"\n", "\n").replace(r"\t", "\t").replace(r"\"", '"').replace(r"\\", "\\")
    )


def literals(path):
    """The texts of the file's literals; literals written in a row are joined, as the compiler does."""
    source = path.read_text(encoding="utf-8")
    # Comments hold no texts the program shows.
    if path.suffix != ".rc":
        source = re.sub(r"//[^\n]*", "", source)
    for run in ADJACENT.finditer(source):
        yield "".join(unescape(part) for part in LITERAL.findall(run.group(1)))


def is_message(text):
    lines = [line.strip() for line in text.split("\n") if line.strip()]
    if not lines:
        return False
    if JAPANESE.search(text):
        return any(SENTENCE_END.search(line) for line in lines)
    return bool(ENGLISH_FAILURE.search(text))


def pattern(text):
    """A message as a pattern: conversions and line breaks match any text."""
    pieces = re.split(r"(%%|" + CONVERSION.pattern + r"|\r?\n)", text)
    out = []
    for piece in pieces:
        if not piece:
            continue
        if piece == "%%":
            out.append(re.escape("%"))
        elif CONVERSION.fullmatch(piece) or piece in ("\n", "\r\n"):
            out.append(".*?")
        else:
            out.append(re.escape(piece.strip()))
    return re.compile("".join(out))


def table_rows(guide):
    text = guide.read_text(encoding="utf-8")
    start = text.find(TABLE_HEADING)
    if start < 0:
        return []
    end = text.find("\n## ", start + len(TABLE_HEADING))
    section = text[start : end if end >= 0 else len(text)]
    rows = []
    for line in section.splitlines():
        if line.startswith("|"):
            # What the reader sees: no code marks, table bars unescaped, breaks as spaces.
            rows.append(line.replace("`", "").replace(r"\|", "|").replace("<br>", " "))
    return rows


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    sources = [p for d in CODE_DIRS for p in sorted((root / d).glob("*.cpp")) + sorted((root / d).glob("*.h"))]
    sources.append(root / "resources" / "tavrin.rc")
    rows = table_rows(root / "docs" / "guide" / "index.md")
    if not rows:
        print(f"docs/guide/index.md: no table under {TABLE_HEADING}")
        return 1
    missing = {}
    count = 0
    for path in sources:
        for text in literals(path):
            # Filter lists of the file dialogs hold their parts NUL-separated.
            for part in text.split("\\0"):
                if not is_message(part):
                    continue
                count += 1
                if not any(pattern(part).search(row) for row in rows):
                    missing.setdefault(part, path.relative_to(root))
    for text, path in sorted(missing.items(), key=lambda item: str(item[1])):
        print(f"{path}: no line in the guide's message table for {text!r}")
    print(f"{count} message texts, {len(missing)} without a line in the guide")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
