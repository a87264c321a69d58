#!/usr/bin/env bash
# Every help page in the real viewer (Qt Assistant with the built help file), at the size the
# viewer first opens at on a 1024x768 screen, and in a viewer 500 px wide with its contents
# tree closed, so that the page is 500 px wide less the viewer's own edges (with the tree
# open, the tree keeps some 330 px of that). Through AT-SPI, no horizontal scroll bar may
# show: no line runs past the right edge. The screenshots stay in ARTIFACTS.
# Usage: help-pages.sh BUILD_DIR ARTIFACTS_DIR PAGE...
set -euo pipefail
build=$(cd "$1" && pwd)
artifacts=$2
shift 2
pages="$*"
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$artifacts"
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset QT_QPA_PLATFORM
openbox >/dev/null 2>&1 &
pids+=($!)

export HOME=$work/home QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LANGUAGE=ja here build artifacts pages
mkdir -p "$HOME"
# In a D-Bus session of its own, with the accessibility bus up before the viewer starts.
# shellcheck disable=SC2016 # the inner script expands its own variables
dbus-run-session -- bash -c '
    set -euo pipefail
    /usr/bin/python3 -c "import pyatspi; pyatspi.Registry.getDesktop(0)"
    passed=0 failed=0
    for size in 900x652+62+58 500x652+262+58; do
        docks="show contents"
        [ "${size%%x*}" = 500 ] && docks="hide contents;hide index;hide bookmarks;hide search"
        mkfifo "$HOME/remote"
        /usr/lib/qt6/bin/assistant -collectionFile "$build/bin/Quorvane.hlp" -enableRemoteControl \
            -geometry "$size" <"$HOME/remote" >/dev/null 2>&1 &
        viewer=$!
        exec 4>"$HOME/remote"
        timeout 20 xdotool search --sync --onlyvisible --class assistant >/dev/null
        echo "$docks" >&4
        for page in $pages; do
            echo "setSource qthelp://org.quorvane.help/doc/$page" >&4
            sleep 1.5
            if /usr/bin/python3 "$here/help_scroll_bars.py"; then
                passed=$((passed + 1))
            else
                failed=$((failed + 1))
                echo "FAILED: $page at $size runs past the right edge" >&2
            fi
            import -window root "$artifacts/help-${size%%x*}-${page%.html}.png"
        done
        exec 4>&-
        kill "$viewer"
        wait "$viewer" 2>/dev/null || true
        rm -f "$HOME/remote"
    done
    echo "help pages: $passed passed, $failed failed"
    [ "$failed" = 0 ]
' 2>&1 | grep -v -e '^dbus-daemon' -e 'SpiRegistry daemon'
