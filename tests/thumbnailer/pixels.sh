#!/usr/bin/env bash
# Thumbnails of real files against ImageMagick: for every wine file whose first icon holds a
# 256x256 PNG, the 256 px thumbnail must be that PNG's pixels exactly, and the 128 px one its
# 2:1 area average (ImageMagick's box filter, which weights colour by alpha), within 1 level
# in premultiplied alpha.
# usage: pixels.sh BUILD_DIR
set -euo pipefail
tool=$1/bin/quorvane-icons
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "thumbnail pixels: $*" >&2; exit 1; }

compare() { # OURS.png THEIRS.png TOLERANCE
    convert "$1" -depth 8 rgba:"$work/ours.rgba"
    convert "$2" -depth 8 rgba:"$work/theirs.rgba"
    /usr/bin/python3 - "$work/ours.rgba" "$work/theirs.rgba" "$3" <<'PY'
import sys
ours, theirs = (open(p, "rb").read() for p in sys.argv[1:3])
tolerance = int(sys.argv[3])
assert len(ours) == len(theirs) and ours, "sizes differ"
def premultiplied(px):
    return [px[i] * px[3] // 255 for i in range(3)] + [px[3]]
worst = max(abs(a - b) for i in range(0, len(ours), 4)
            for a, b in zip(premultiplied(ours[i:i + 4]), premultiplied(theirs[i:i + 4])))
sys.exit(0 if worst <= tolerance else f"worst difference {worst}")
PY
}

checked=0
for file in /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/*.{dll,exe,cpl}; do
    first=$("$tool" list --json "$file" | sed -n 2p)
    [[ $first == *'"width": 256, "height": 256, "bits": 32, "format": "PNG"'* ]] || continue
    # The position of the first 256x256 PNG in the group, as ImageMagick numbers the .ico's images.
    index=$(/usr/bin/python3 -c 'import json,sys; images=json.loads(sys.argv[1].rstrip(",").strip())["images"]
print(next(i for i, m in enumerate(images) if m["width"] == 256 and m.get("format") == "PNG"))' "$first")
    "$tool" extract "$file" 0 "$work/group.ico"
    convert "$work/group.ico[$index]" "$work/png256.png"
    "$tool" thumbnail -s 256 "$file" "$work/ours256.png"
    compare "$work/ours256.png" "$work/png256.png" 0 || fail "$file at 256"
    convert "$work/png256.png" -filter box -resize 128x128 "$work/box128.png"
    "$tool" thumbnail -s 128 "$file" "$work/ours128.png"
    compare "$work/ours128.png" "$work/box128.png" 1 || fail "$file at 128"
    checked=$((checked + 1))
done
[ "$checked" -ge 10 ] || fail "only $checked files with a 256x256 PNG"
echo "thumbnail pixels: $checked real files agree with ImageMagick"
