#!/usr/bin/env bash
# The installed quorvane-icons on the Windows files of Debian's nsis package, against icoutils:
# each installer stub has the icon groups that wrestool finds, and its thumbnail and picture
# have the pixels that icotool decodes; each .ico file is listed with the images icotool finds.
set -euo pipefail
# shellcheck source=tests/support/common.sh
source "$(dirname "$0")/../support/common.sh"
nsis=/usr/share/nsis
cd "$work"
for f in "$nsis"/Stubs/*-*; do
    [ "$(quorvane-icons count "$f")" = "$(icon_groups "$f")" ] || fail "count of $f"
    wrestool -x --type=14 "$f" >group.ico
    icotool -x -o icotool.png group.ico
    quorvane-icons thumbnail -s 32 "$f" thumbnail.png
    same icotool.png thumbnail.png || fail "thumbnail of $f"
    quorvane-icons render "$f" 0 render.png
    magick icotool.png -background white -flatten on-white.png
    same render.png on-white.png || fail "render of $f"
done
for f in "$nsis"/Contrib/Graphics/Icons/*.ico; do
    images=$(icotool -l "$f" | wc -l)
    [ "$(quorvane-icons list "$f" | grep -o ' bytes' | wc -l)" = "$images" ] || fail "list of $f"
done
echo "quorvane-icons: every file of nsis as icoutils reads it"
