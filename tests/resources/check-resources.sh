#!/usr/bin/env bash
# The generated Windows resource script, compiled by the MinGW resource compiler into a
# resource-only PE, read back with icoutils' wrestool: one icon group holding the program
# icon's image, and the version block with the strings of app/version-info.txt, all in Japanese.
# Usage: check-resources.sh RESOURCES.dll SOURCE_DIR
set -euo pipefail
dll=$1
# shellcheck source=tests/support/common.sh
source "$(dirname "$0")/../support/common.sh"
raw() {
    wrestool -x --raw --type="$1" "$dll"
}
# An icon, a group and the version block, each in Japanese.
[ "$(wrestool -l "$dll" | grep -c -- '--language=1041')" = 3 ] || fail "the resources"
# The group names image 30001, which is the program icon's image byte for byte (after the
# icon file's 22-byte directory).
[ "$(raw 14 | od -An -tx1 -j18 | tr -d ' \n')" = 3175 ] || fail "the icon group"
raw 3 | cmp -s - <(tail -c +23 "$2/app/Quorvane.ico") || fail "the icon image"
# VS_FIXEDFILEINFO's signature, then the strings: each key of version-info.txt and its value.
[ "$(raw 16 | od -An -tx4 -j40 -N4 | tr -d ' ')" = feef04bd ] || fail "the version block"
raw 16 | iconv -f UTF-16LE -t UTF-8 | tr '\0' '\n' | grep -a . >"$work/strings"
keys='^[A-Z][a-zA-Z]*Name=\|Version=\|Copyright='
grep "$keys" "$2/app/version-info.txt" | while IFS='=' read -r key value; do
    [ "$(grep -a -A1 "$key\$" "$work/strings" | tail -n 1)" = "$value" ] ||
        fail "$key is not '$value'"
done
