#!/usr/bin/env python3
"""Prepares a help page for the viewer: Japanese text gets its line-break opportunities.

The viewer's HTML engine breaks lines only at spaces and between kanji, so a run of kana or
katakana would run past the right edge, and every line break in the source would show as a
space in the middle of a sentence. In the text between tags (not in the head, nor inside
<pre>), this removes a source line break next to a Japanese character, with the indentation
around it, and puts <wbr> where Japanese line breaking allows a break: between two characters
of which one is Japanese, unless the second may not begin a line (closing punctuation,
small kana, the long-vowel mark) or the first may not end one (opening brackets).

Usage: prepare-page.py IN.html OUT.html
"""
import re
import sys

NO_BREAK_BEFORE = set(
    "、。，．・：；？！ー—…‥）」』】〕〉》］｝"
    "ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶゝゞヽヾ々"
    "｡｣､･ｰｧｨｩｪｫｬｭｮｯﾞﾟ"
    ")]},.:;!?%"
)
NO_BREAK_AFTER = set("（「『【〔〈《［｛｢([{")


def japanese(c):
    o = ord(c)
    return (
        0x3000 <= o <= 0x30FF  # punctuation, hiragana, katakana
        or 0x3400 <= o <= 0x9FFF  # kanji
        or 0xF900 <= o <= 0xFAFF
        or 0xFF00 <= o <= 0xFFEF  # full-width forms, half-width katakana
    )


def join_lines(text):
    def joined(m):
        before, after = m.group(1), m.group(2)
        return before + ("" if japanese(before) or japanese(after) else " ") + after

    return re.sub(r"(\S)[ \t]*\n\s*(\S)", joined, text)


def add_breaks(text):
    out = []
    for i, c in enumerate(text):
        if i > 0:
            a = text[i - 1]
            if (
                (japanese(a) or japanese(c))
                and not a.isspace()
                and not c.isspace()
                and c not in NO_BREAK_BEFORE
                and a not in NO_BREAK_AFTER
            ):
                out.append("<wbr>")
        out.append(c)
    return "".join(out)


def prepare(html):
    body_at = html.find("<body")
    head, body = html[:body_at], html[body_at:]
    parts = re.split(r"(<[^>]*>)", body)
    in_pre = False
    for i, part in enumerate(parts):
        if part.startswith("<"):
            tag = part.lower()
            if tag.startswith("<pre"):
                in_pre = True
            elif tag.startswith("</pre"):
                in_pre = False
        elif not in_pre:
            parts[i] = add_breaks(join_lines(part))
    return head + "".join(parts)


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        html = f.read()
    with open(target, "w", encoding="utf-8") as f:
        f.write(prepare(html))


if __name__ == "__main__":
    main()
