"""Checks the help against the program and against itself:
- the prepared pages keep their sources' text, with no break where Japanese line breaking
  forbids one and no source line break left next to a Japanese character;
- every caption and message that the program's code holds appears in the help, as the screen
  shows it (the access key's "&" dropped);
- every keyword of the index leads to a page of the help and to an anchor on it.
Usage: check_help.py SOURCE_ROOT PREPARED_DIR PAGE..."""
import os
import re
import sys

root, prepared_dir, pages = sys.argv[1], sys.argv[2], sys.argv[3:]
help_dir = os.path.join(root, "docs", "help")
sys.path.insert(0, help_dir)
prepare = __import__("prepare-page")
# Design-time captions that the load step replaces before the window shows.
NOT_SHOWN = {"ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ", "ﾊﾞｰｼﾞｮﾝ", "ｱﾌﾟﾘｹｰｼｮﾝの説明", "警告: ..."}
failures = []


def text_of(html):
    """The text a reader sees: the body without tags, spaces or the search words' separators."""
    body = html[html.find("<body") :].replace(prepare.ZERO_WIDTH_SPACE, "")
    return re.sub(r"\s+", "", re.sub(r"<[^>]*>", "", body))


prepared = {}
for page in pages:
    source = open(os.path.join(help_dir, page), encoding="utf-8").read()
    html = open(os.path.join(prepared_dir, page), encoding="utf-8").read()
    prepared[page] = html
    body = html[html.find("<body"):]
    marked = re.sub(r"<[^>]*>", "", body.replace("<wbr>", "\0"))
    for before, after in re.findall(r"(.)\0(.)", marked, re.S):
        if after in prepare.NO_BREAK_BEFORE or before in prepare.NO_BREAK_AFTER:
            failures.append(f"{page}: a break between {before!r} and {after!r}")
    for part in re.split(r"<[^>]*>", body):
        for before, after in re.findall(r"(\S)[ \t]*\n\s*(\S)", part):
            if prepare.japanese(before) or prepare.japanese(after):
                failures.append(f"{page}: a source line break between {before!r} and {after!r}")
    if text_of(html) != text_of(source):
        failures.append(f"{page}: the text differs from its source")

shown = "".join(text_of(html) for html in prepared.values())
for folder in ("app", "browser", "about", "platform"):
    for directory, _, files in os.walk(os.path.join(root, folder)):
        for name in sorted(f for f in files if f.endswith(".cpp")):
            code = open(os.path.join(directory, name), encoding="utf-8").read()
            code = re.sub(r"//[^\n]*", "", code)
            for literal in re.findall(r'"((?:[^"\\\n]|\\.)*)"', code):
                if not any(prepare.japanese(c) for c in literal) or literal in NOT_SHOWN:
                    continue
                for piece in re.split(r"%\d|\\[nr]", literal.replace("&", "")):
                    piece = re.sub(r"\s+", "", piece)
                    if any(prepare.japanese(c) for c in piece) and piece not in shown:
                        failures.append(f"{name}: {piece!r} is not in the help")

index = open(os.path.join(help_dir, "quorvane.qhp.in"), encoding="utf-8").read()
for name, ref in re.findall(r'<keyword name="([^"]*)" ref="([^"]*)"', index):
    page, _, anchor = ref.partition("#")
    if page not in prepared:
        failures.append(f"keyword {name!r}: no page {page}")
    elif not anchor or f'id="{anchor}"' not in prepared[page]:
        failures.append(f"keyword {name!r}: no anchor {anchor!r} on {page}")

for failure in failures:
    print("FAILED:", failure)
print(f"help: {0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)
