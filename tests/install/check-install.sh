#!/usr/bin/env bash
# Installs the build into a temporary root and checks the layout: the program directory with
# the executable and its help file side by side, and the commands in bin/.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
# shellcheck source=tests/install/common.sh
source "$(dirname "$0")/common.sh"

# Starts ROOT/usr/bin/quorvane through its link and checks that it keeps running until ended.
check_program_stays_up() {
    local root=$1 program
    QT_QPA_PLATFORM=offscreen "$root/usr/bin/quorvane" >/dev/null 2>&1 &
    program=$!
    sleep 2
    kill -0 $program 2>/dev/null || fail "the program from $root did not stay up"
    kill $program
}

check_program_dir "$root"
# The desktop entry and the AppStream metainfo are valid; the icon is in the hicolor theme.
desktop-file-validate "$root/usr/share/applications/org.quorvane.Quorvane.desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.quorvane.Quorvane.metainfo.xml" >/dev/null ||
    fail "metainfo"
[ "$(identify -format '%wx%h' "$root/usr/share/icons/hicolor/32x32/apps/org.quorvane.Quorvane.png")" = 32x32 ] ||
    fail "the theme icon is not 32x32"
grep -q '^Name\[ja\]=' "$root/usr/share/applications/org.quorvane.Quorvane.desktop" || fail "no Japanese name"
grep -q '^Categories=Utility;' "$root/usr/share/applications/org.quorvane.Quorvane.desktop" || fail "not in Utility"
# The thumbnailer entry runs the installed tool.
grep -qx 'Exec=/usr/bin/quorvane-icons thumbnail -s %s %i %o' "$root/usr/share/thumbnailers/quorvane.thumbnailer" ||
    fail "thumbnailer entry"
# The installed tool runs from its new place.
[ "$("$root/usr/bin/quorvane-icons" count "$root/usr/lib/quorvane/quorvane")" = 0 ] || fail "quorvane-icons does not run"
check_program_stays_up "$root"
echo "installed layout: 1 passed, 0 failed"
