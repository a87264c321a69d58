#!/usr/bin/env bash
# The generated Windows resource script, compiled by the MinGW resource compiler into a
# resource-only PE, read back with icoutils' wrestool: one icon group holding the program
# icon's image, and the version block, all in Japanese.
# Usage: check-resources.sh RESOURCES.dll PROGRAM.ico
set -euo pipefail
dll=$1
# shellcheck source=tests/support/common.sh
source "$(dirname "$0")/../support/common.sh"
raw() { wrestool -x --raw --type="$1" "$dll"; }
[ "$(wrestool -l "$dll" | cut -d' ' -f1-3 | tr '\n' ' ')" = "--type=3 --name=30001 --language=1041 \
--type=14 --name=1 --language=1041 --type=16 --name=1 --language=1041 " ] || fail "the resources and their languages"
# The group: one entry, 32x32, 16 colours, 1 plane, 4 bits, 744 bytes, image 30001; the image is
# the program icon's, byte for byte.
[ "$(raw 14 | od -An -tx1 | tr -d ' \n')" = 0000010001002020100001000400e80200003175 ] || fail "the icon group"
raw 3 | cmp -s - <(tail -c +23 "$2") || fail "the icon image"
# VS_FIXEDFILEINFO: its signature, file and product version 1.0.0.0, the flags, 32-bit Windows,
# an application.
[ "$(raw 16 | od -An -tx4 -j40 -N40 | tr -s ' \n' '  ')" = " feef04bd 00010000 00010000 00000000 00010000 \
00000000 00000000 00000000 00000004 00000001 " ] || fail "the version block's fixed part"
raw 16 | iconv -f UTF-16LE -t UTF-8 | tr '\0' '\n' | grep -a . >"$work/strings"
while IFS='|' read -r key value; do
    [ "$(grep -a -A1 "$key\$" "$work/strings" | tail -n 1)" = "$value" ] || fail "$key is not '$value'"
done <<'END'
CompanyName|Quorvane developers
LegalCopyright|Copyright (C) 2026 Quorvane developers
ProductName|Quorvane
FileVersion|1.00
ProductVersion|1.00
InternalName|Quorvane
OriginalFilename|Quorvane.exe
END
echo "windows resources: 1 passed, 0 failed"
