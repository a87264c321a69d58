#!/usr/bin/env bash
# Builds the Debian package, checks that every package it depends on exists (and is installed
# here), unpacks it into a clean root and starts the program and the tool from there.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/common.sh"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null) || fail "cpack"
deb=$(ls "$work"/quorvane_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for alternatives in $(echo "$depends" | sed 's/([^)]*)//g; s/ //g' | tr ',' ' '); do
    ok=no
    for name in $(echo "$alternatives" | tr '|' ' '); do
        dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' && ok=yes
    done
    [ $ok = yes ] || fail "dependency $alternatives is not an installed package"
done
for needed in libqt6widgets6 libpng16-16 assistant-qt6 fonts-noto-cjk; do
    echo "$depends" | grep -q "$needed" || fail "the package does not depend on $needed"
done
root=$work/root
dpkg-deb -x "$deb" "$root"
check_program_dir "$root"
[ "$("$root/usr/bin/quorvane-icons" count /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll)" = 184 ] ||
    fail "the packaged tool"
check_program_stays_up "$root"
echo "debian package: 1 passed, 0 failed"
