# Checks the help against the program and against itself:
# - the prepared pages keep their sources' text, with no source line break left next to a
#   Japanese character (it would show as a space; where lines break, help-pages.sh sees);
# - every caption and message in the program's code appears in the help, as the screen shows
#   it (the access key's "&" dropped);
# - every keyword of the index leads to an anchor on a page of the help.
# usage: check_help.py SOURCE_ROOT PREPARED_DIR PAGE...
import glob
import re
import sys

root, prepared_dir, pages = sys.argv[1], sys.argv[2], sys.argv[3:]
sys.path.insert(0, root + "/docs/help")
prepare = __import__("prepare-page")
# Design-time captions that the load step replaces before the window shows.
NOT_SHOWN = {"ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ", "ﾊﾞｰｼﾞｮﾝ", "ｱﾌﾟﾘｹｰｼｮﾝの説明", "警告: ..."}
failures = []


def read(path):
    return open(path, encoding="utf-8").read()


# The text a reader sees: the body without tags, spaces or the search words' separators.
def text_of(html):
    body = html[html.find("<body") :].replace(prepare.ZERO_WIDTH_SPACE, "")
    return re.sub(r"\s+", "", re.sub(r"<[^>]*>", "", body))


prepared = {page: read(f"{prepared_dir}/{page}") for page in pages}
for page, html in prepared.items():
    for part in re.split(r"<[^>]*>", html[html.find("<body") :]):
        for pair in re.findall(r"(\S)[ \t]*\n\s*(\S)", part):
            if any(map(prepare.japanese, pair)):
                failures.append(f"{page}: a source line break between {pair}")
    if text_of(html) != text_of(read(f"{root}/docs/help/{page}")):
        failures.append(f"{page}: the text differs from its source")

shown = "".join(map(text_of, prepared.values()))
for path in sorted(glob.glob(f"{root}/*/**/*.cpp", recursive=True)):
    folder = path[len(root) + 1 :].split("/")[0]
    if folder not in ("app", "browser", "about", "platform"):
        continue
    code = re.sub(r"//[^\n]*", "", read(path))
    for literal in re.findall(r'"((?:[^"\\\n]|\\.)*)"', code):
        for piece in re.split(r"%\d|\\[nr]", literal.replace("&", "")):
            piece = re.sub(r"\s+", "", piece)
            if (
                any(map(prepare.japanese, piece))
                and piece not in shown
                and literal not in NOT_SHOWN
            ):
                failures.append(f"{path}: {piece!r} is not in the help")

index = read(f"{root}/docs/help/quorvane.qhp.in")
# name, page and anchor
keyword = r'<keyword name="([^"]*)" ref="([^"#]*)#([^"]*)"/>'
keywords = re.findall(keyword, index)
if len(keywords) != index.count("<keyword ") or len(keywords) < 50:
    failures.append(f"the index's keywords are not all read: {len(keywords)} found")
for name, page, anchor in keywords:
    if f'id="{anchor}"' not in prepared.get(page, ""):
        failures.append(f"keyword {name!r}: no anchor {anchor!r} on page {page!r}")

print("\n".join(f"FAILED: {failure}" for failure in failures))
sys.exit(1 if failures else 0)
