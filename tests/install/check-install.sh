#!/usr/bin/env bash
# Installs the build into a temporary root and checks the layout: the program directory with
# the executable and its help file side by side, and the commands in bin/.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
fail() { echo "FAILED: $*" >&2; exit 1; }
for f in usr/lib/quorvane/quorvane usr/lib/quorvane/Quorvane.hlp usr/lib/quorvane/Quorvane.qch usr/bin/quorvane-icons; do
    [ -f "$root/$f" ] || fail "$f is not installed"
done
[ "$(readlink "$root/usr/bin/quorvane")" = ../lib/quorvane/quorvane ] || fail "bin/quorvane is not a link to the program"
[ -x "$root/usr/bin/quorvane" ] || fail "bin/quorvane does not lead to an executable"
# The desktop entry and the AppStream metainfo are valid; the icon is in the hicolor theme.
desktop-file-validate "$root/usr/share/applications/org.quorvane.Quorvane.desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.quorvane.Quorvane.metainfo.xml" >/dev/null ||
    fail "metainfo"
[ "$(identify -format '%wx%h' "$root/usr/share/icons/hicolor/32x32/apps/org.quorvane.Quorvane.png")" = 32x32 ] ||
    fail "the theme icon is not 32x32"
grep -q '^Name\[ja\]=' "$root/usr/share/applications/org.quorvane.Quorvane.desktop" || fail "no Japanese name"
grep -q '^Categories=Utility;' "$root/usr/share/applications/org.quorvane.Quorvane.desktop" || fail "not in Utility"
# The installed tool runs from its new place.
[ "$("$root/usr/bin/quorvane-icons" count "$root/usr/lib/quorvane/quorvane")" = 0 ] || fail "quorvane-icons does not run"
# The installed program starts through the link and keeps running until it is ended.
QT_QPA_PLATFORM=offscreen "$root/usr/bin/quorvane" >/dev/null 2>&1 &
program=$!
sleep 2
kill -0 $program 2>/dev/null || fail "the installed program did not stay up"
kill $program
echo "installed layout: 1 passed, 0 failed"
