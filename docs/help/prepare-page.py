#!/usr/bin/env python3
"""Prepares a help page for the viewer, so that its Japanese text is set as Japanese is set and
its words can be searched for.

The viewer's HTML engine breaks lines at spaces and on both sides of every kanji, whatever
<wbr> marks say, and never inside a run of kana unless <wbr> allows it. So, in the text between
tags (not in the head, nor inside <pre>):
- a source line break next to a Japanese character goes, with the indentation around it: it
  would show as a space in the middle of a sentence (outside a parenthesis it stays a space,
  as within a line);
- the text is cut into units at the places where Japanese line breaking allows a break:
  between two characters of which one is Japanese, unless the second may not begin a line
  (closing brackets and punctuation, small kana, the long-vowel mark, an access key such as
  "(O)" after its caption) or the first may not end one (opening brackets); <wbr> marks each
  such place. A unit of more than one character that holds Japanese or a bracket is set as an
  inline block, which the engine never breaks ("white-space: nowrap" does not hold there);
- a space between a number and its counter or unit (1 つ, 32 ビット, 32 × 32) becomes a no-break
  space inside one unit;
- the words that readers search for get a zero-width space on either side: the viewer's
  full-text index cuts text into words only at spaces and punctuation, and Japanese writes
  none between words;
- the text of an element marked class="keep" (a caption the page explains) is one unit.

With --mark, the page is coloured for the rendered check: a character that may not begin a
line red, one that may not end a line blue, everything else black on an ivory page. With --plain as well, the units, no-break spaces and search separators are left
out: the page is broken as the marks alone would have it.

Usage: prepare-page.py [--mark [--plain]] IN.html OUT.html
"""
import re
import sys

NO_BREAK_BEFORE = set(
    # closing brackets and punctuation, the long-vowel mark
    "、。，．・：；？！ー—…‥）」』】〕〉》］｝"
    # small kana and the repetition marks
    "ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶゝゞヽヾ々"
    # their half-width forms
    "｡｣､･ｰｧｨｩｪｫｬｭｮｯﾞﾟ"
    # and in Latin text
    ")]},.:;!?%"
)
NO_BREAK_AFTER = set("（「『【〔〈《［｛｢([{")
# The engine may also break after an opening bracket in a run of Latin letters, as in "(Alt+S)".
BRACKETS = NO_BREAK_AFTER | NO_BREAK_BEFORE
# Words readers look for, longest first where one holds another.
SEARCH_WORDS = sorted(
    [
        "クリップボード",
        "コピー",
        "アイコン",
        "メモリ",
        "物理メモリ",
        "終了",
        "ファイル",
        "フォルダー",
        "ヘルプ",
        "ビューア",
        "キーワード",
        "インデックス",
        "メニュー",
        "ボタン",
        "バージョン",
        "システム情報",
        "拡張子",
        "表示枠",
        "矢印",
        "画像",
        "キー",
        "メッセージ",
        "検索",
        "目次",
    ],
    key=len,
    reverse=True,
)
ZERO_WIDTH_SPACE = "\u200b"
NO_BREAK_SPACE = "\u00a0"
# A caption kept whole, on one line.
UNIT_STYLE = "<style>.u { display: inline-block } .keep { white-space: nowrap }</style>"
# (The viewer paints the body's background only when the root element has one too.)
MARK_STYLE = (
    "<style>html, body { background-color: #fffff0 } body { color: black; margin: 0; padding: 8px }"
    " a { color: black; text-decoration: none }</style>"
)
RED, BLUE = "#e00000", "#0000e0"


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
        # A parenthesis has a space outside it, as it has within a line.
        space = after == "(" or before == ")" or not (japanese(before) or japanese(after))
        return before + (" " if space else "") + after

    return re.sub(r"(\S)[ \t]*\n\s*(\S)", joined, text)


def access_key_at(text, i):
    """Whether an access key such as "(O)" starts at i, right after its caption."""
    return (
        re.match(r"\([A-Z]\)", text[i : i + 3]) is not None and i > 0 and not text[i - 1].isspace()
    )


def glue_space_at(text, i):
    """Whether the space at i joins a number to its counter or unit, or to a "×"."""
    if text[i] != " " or i == 0 or i + 1 >= len(text):
        return False
    before, after = text[i - 1], text[i + 1]
    return (before.isdigit() and (japanese(after) or after == "×")) or (
        before == "×" and after.isdigit()
    )


def may_break(text, i):
    """Whether a line may break between characters i - 1 and i, neither a space."""
    a, c = text[i - 1], text[i]
    return (
        (japanese(a) or japanese(c))
        and c not in NO_BREAK_BEFORE
        and a not in NO_BREAK_AFTER
        and not access_key_at(text, i)
    )


def must_not_start(text, i):
    """Whether a line may not begin at i: after a space it may, unless the space is glue."""
    if i == 0 or text[i - 1] == " ":
        return i > 0 and glue_space_at(text, i - 1)
    return text[i] in NO_BREAK_BEFORE or access_key_at(text, i)


def search_cuts(text):
    """Places where a zero-width space sets a search word apart."""
    cuts, i = set(), 0
    while i < len(text):
        word = next((w for w in SEARCH_WORDS if text.startswith(w, i)), None)
        if word:
            cuts.update({i, i + len(word)})
            i += len(word)
        else:
            i += 1
    return {
        c for c in cuts if 0 < c < len(text) and not text[c - 1].isspace() and not text[c].isspace()
    }


def units(text, keep):
    """The text cut where a line may break, as (unit, separator) pairs: the separator that
    follows the unit is a space, "<wbr>" or, at the end, nothing."""
    if keep:
        return [(text, "")]
    out, start = [], 0
    for i, c in enumerate(text):
        if c == " " and not glue_space_at(text, i):
            out.append((text[start:i], " "))
            start = i + 1
        elif i > start and c != " " and text[i - 1] != " " and may_break(text, i):
            out.append((text[start:i], "<wbr>"))
            start = i
    out.append((text[start:], ""))
    return out


def set_text(text, keep, mark, plain):
    cuts = set() if plain else search_cuts(text)
    out, at = [], 0
    for unit, separator in units(text, keep):
        chars = []
        for i, c in enumerate(unit, start=at):
            if i in cuts:
                chars.append(ZERO_WIDTH_SPACE)
            colour = RED if must_not_start(text, i) else BLUE if c in NO_BREAK_AFTER else None
            if c == " " and not plain:
                c = NO_BREAK_SPACE
            chars.append(f'<span style="color: {colour}">{c}</span>' if mark and colour else c)
        boxed = not plain and len(unit) > 1 and any(japanese(c) or c in BRACKETS for c in unit)
        out.append(f'<span class="u">{"".join(chars)}</span>' if boxed else "".join(chars))
        out.append(separator)
        at += len(unit) + (separator == " ")
    return "".join(out)


def prepare(html, mark=False, plain=False):
    body_at = html.find("<body")
    head, body = html[:body_at], html[body_at:]
    styles = ("" if plain else UNIT_STYLE) + (MARK_STYLE if mark else "")
    head = head.replace("</head>", styles + "</head>")
    parts = re.split(r"(<[^>]*>)", body)
    in_pre = keep = False
    for i, part in enumerate(parts):
        if part.startswith("<"):
            tag = part.lower()
            in_pre = tag.startswith("<pre") or (in_pre and not tag.startswith("</pre"))
            keep = 'class="keep"' in tag
        elif not in_pre and part.strip():
            text = re.sub(r"\s+", " ", join_lines(part))
            parts[i] = set_text(text, keep, mark, plain)
    return head + "".join(parts)


def main():
    flags = [a for a in sys.argv[1:] if a.startswith("--")]
    source, target = [a for a in sys.argv[1:] if not a.startswith("--")]
    with open(source, encoding="utf-8") as f:
        html = f.read()
    with open(target, "w", encoding="utf-8") as f:
        f.write(prepare(html, "--mark" in flags, "--plain" in flags))


if __name__ == "__main__":
    main()
