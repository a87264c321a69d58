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
# The installed tool runs from its new place.
[ "$("$root/usr/bin/quorvane-icons" count "$root/usr/lib/quorvane/quorvane")" = 0 ] || fail "quorvane-icons does not run"
# The installed program starts through the link and keeps running until it is ended.
QT_QPA_PLATFORM=offscreen "$root/usr/bin/quorvane" >/dev/null 2>&1 &
program=$!
sleep 2
kill -0 $program 2>/dev/null || fail "the installed program did not stay up"
kill $program
echo "installed layout: 1 passed, 0 failed"
