#!/usr/bin/env bash
# Installs the build into a temporary root and checks the layout: the program directory with
# the executable and its help file side by side, the commands in bin/, the desktop files.
set -euo pipefail
build=$1
# shellcheck source=tests/support/common.sh
source "$(dirname "$0")/../support/common.sh"
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
check_program_dir "$root"
# The desktop entry and the AppStream metainfo are valid; the icon is in the hicolor theme.
entry=$root/usr/share/applications/org.quorvane.Quorvane.desktop
desktop-file-validate "$entry" || fail "desktop entry"
{ grep -q "^Name\[ja\]=" "$entry" && grep -q "^Categories=Utility;" "$entry"; } || fail "no Japanese name, or not in Utility"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.quorvane.Quorvane.metainfo.xml" >/dev/null ||
    fail "metainfo"
[ "$(identify -format '%wx%h' "$root/usr/share/icons/hicolor/32x32/apps/org.quorvane.Quorvane.png")" = 32x32 ] ||
    fail "the theme icon is not 32x32"
# The installed tool runs from its new place.
[ "$("$root/usr/bin/quorvane-icons" count "$root/usr/lib/quorvane/quorvane")" = 0 ] || fail "quorvane-icons does not run"
# The program, started through its link, stays up.
QT_QPA_PLATFORM=offscreen "$root/usr/bin/quorvane" >/dev/null 2>&1 &
pids+=($!)
sleep 2
kill -0 "${pids[-1]}" 2>/dev/null || fail "the installed program did not stay up"
echo "installed layout: 1 passed, 0 failed"
