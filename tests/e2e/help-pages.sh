#!/usr/bin/env bash
# Every help page in the real viewer (Qt Assistant with the built help file), at the size the
# viewer first opens at on a 1024x768 screen, and in a viewer 500 px wide with its contents
# tree closed, so that the page is 500 px wide less the viewer's own edges (with the tree
# open, the tree keeps some 330 px of that). Through AT-SPI, no horizontal scroll bar may
# show: no line runs past the right edge. The screenshots stay in ARTIFACTS. Runs in a D-Bus
# session of its own, with the accessibility bus up before the viewer starts.
# Usage: help-pages.sh BUILD_DIR ARTIFACTS_DIR PAGE...
set -euo pipefail
if [ -z "${QUORVANE_PRIVATE_BUS:-}" ]; then
    exec dbus-run-session -- env QUORVANE_PRIVATE_BUS=1 bash "$0" "$@"
fi
build=$(cd "$1" && pwd)
artifacts=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$artifacts"
# shellcheck source=tests/support/common.sh
source "$here/../support/common.sh"
start_x -nolisten tcp
export HOME=$work/home QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LANGUAGE=ja
mkdir -p "$HOME"
/usr/bin/python3 -c "import pyatspi; pyatspi.Registry.getDesktop(0)"
passed=0 failed=0
for size in 900x652+62+58 500x652+262+58; do
    docks="show contents"
    [ "${size%%x*}" = 500 ] && docks="hide contents;hide index;hide bookmarks;hide search"
    mkfifo "$work/remote"
    /usr/lib/qt6/bin/assistant -collectionFile "$build/bin/Quorvane.hlp" -enableRemoteControl \
        -geometry "$size" <"$work/remote" >/dev/null 2>&1 &
    viewer=$!
    exec 4>"$work/remote"
    window --class assistant >/dev/null
    echo "$docks" >&4
    for page in "$@"; do
        echo "setSource qthelp://org.quorvane.help/doc/$page" >&4
        sleep 1.5
        if /usr/bin/python3 "$here/help_scroll_bars.py"; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1)) && echo "FAILED: $page at $size runs past the right edge" >&2
        fi
        import -window root "$artifacts/help-${size%%x*}-${page%.html}.png"
    done
    exec 4>&-
    kill "$viewer"
    wait "$viewer" 2>/dev/null || true
    rm -f "$work/remote"
done
echo "help pages: $passed passed, $failed failed"
[ "$failed" = 0 ]
