"""Checks the prepared help pages against their sources: the text is the same but for the
joined source lines, no <wbr> stands where Japanese line breaking forbids a break, and no
source line break is left next to a Japanese character.
Usage: check_prepared_pages.py SOURCE_DIR PREPARED_DIR PAGE..."""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "docs", "help"))
prepare = __import__("prepare-page")

failures = []
source_dir, prepared_dir, pages = sys.argv[1], sys.argv[2], sys.argv[3:]
for page in pages:
    source = open(os.path.join(source_dir, page), encoding="utf-8").read()
    prepared = open(os.path.join(prepared_dir, page), encoding="utf-8").read()
    body = prepared[prepared.find("<body") :]
    text = re.sub(r"<[^>]*>", "", body.replace("<wbr>", "\0"))
    for before, after in re.findall(r"(.)\0(.)", text, re.S):
        if after in prepare.NO_BREAK_BEFORE or before in prepare.NO_BREAK_AFTER:
            failures.append(f"{page}: a break between {before!r} and {after!r}")
    for part in re.split(r"<[^>]*>", body):
        for before, after in re.findall(r"(\S)[ \t]*\n\s*(\S)", part):
            if prepare.japanese(before) or prepare.japanese(after):
                failures.append(f"{page}: a source line break between {before!r} and {after!r}")
    if "<wbr>" not in body:
        failures.append(f"{page}: no break opportunity at all")

    def words(html):
        return re.sub(r"\s+", "", re.sub(r"<[^>]*>", "", html.replace("<wbr>", "")))

    if words(prepared) != words(source):
        failures.append(f"{page}: the text differs from its source")
for failure in failures:
    print("FAILED:", failure)
print(f"prepared pages: {len(pages) - len({f.split(':')[0] for f in failures})} passed, "
      f"{len({f.split(':')[0] for f in failures})} failed")
sys.exit(1 if failures else 0)
