#!/usr/bin/env bash
# End-to-end test of the built program on a real X server: real keyboard and mouse input
# (xdotool), the real clipboard (xclip), the real help viewer. Each check looks at what the
# clipboard or the window list shows; the screenshots are kept in ARTIFACTS.
# Usage: e2e.sh BUILD_DIR ARTIFACTS_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
artifacts=$2
program=$build/bin/quorvane
tool=$build/bin/quorvane-icons
dll=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/user32.dll # 7 icons
rm -rf "$artifacts"
mkdir -p "$artifacts"
work=$(mktemp -d)

# A display of our own, with a window manager.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
unset QT_QPA_PLATFORM
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    [ -n "${viewer_pid:-}" ] && kill "$viewer_pid" 2>/dev/null || true
    kill $wm $xvfb 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() { # check NAME COMMAND…: runs a check and counts it
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $name" >&2
    fi
}
shot() { import -window root "$artifacts/$1.png"; }
window() { timeout 10 xdotool search --sync --onlyvisible "$@" | head -n 1; }

start() {
    "$program" >/dev/null 2>&1 &
    pid=$!
    main=$(window --name '^Quorvane$')
    [ -n "$main" ] || { echo "FAILED: the program's window did not appear" >&2; exit 1; }
    xdotool windowactivate --sync "$main"
    sleep 0.3
}

# The picture that icon N of FILE must leave in the 35x35 picture area: white, the icon at (2, 2).
expected() {
    "$tool" render "$1" "$2" "$work/icon.png"
    convert -size 35x35 xc:white "$work/icon.png" -geometry +2+2 -composite "$work/expected-$2.png"
    echo "$work/expected-$2.png"
}
blank() { convert -size 35x35 xc:white "$work/blank.png"; echo "$work/blank.png"; }

# The clipboard's image against a picture, pixel for pixel.
# Waits up to ten seconds for it: a sanitizer build on a busy machine is slow.
clipboard_is() {
    for _ in $(seq 40); do
        sleep 0.25
        xclip -selection clipboard -t image/png -o >"$work/clip.png" 2>/dev/null || continue
        [ "$(compare -metric AE "$work/clip.png" "$1" null: 2>&1)" = 0 ] && return 0
    done
    return 1
}
# Waits up to ten seconds for no visible window to match.
gone_within() {
    for _ in $(seq 40); do
        xdotool search --onlyvisible "$@" >/dev/null 2>&1 || return 0
        sleep 0.25
    done
    return 1
}
clear_clipboard() { echo -n none | xclip -selection clipboard; }

# Clicks an arrow (0 back, 1 forward) at its place in the client area.
click_arrow() {
    # xwininfo gives the client window's absolute place (xdotool adds the frame again).
    local info X Y HEIGHT
    info=$(xwininfo -id "$main")
    X=$(echo "$info" | sed -n 's/.*Absolute upper-left X: *//p')
    Y=$(echo "$info" | sed -n 's/.*Absolute upper-left Y: *//p')
    HEIGHT=$(echo "$info" | sed -n 's/^ *Height: *//p')
    local menu=$((HEIGHT - 128))
    local x=$((X + (${1} == 1 ? 132 : 2) + 17)) y=$((Y + menu + 95 + 17))
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
}
copy() { clear_clipboard; xdotool key ctrl+c; }

start
clear_clipboard
xdotool key alt+c
check "copy before any file gives a blank picture" clipboard_is "$(blank)"
shot start

# Open a real DLL through the dialog by typing its path.
xdotool key alt+o
dialog=$(window --name 'ファイルを開く')
check "the open dialog appears" test -n "$dialog"
xdotool type --delay 5 "$dll"
xdotool key Return
check "the dialog closes" gone_within --name 'ファイルを開く'
shot opened
copy
check "the first icon is drawn at (2, 2)" clipboard_is "$(expected "$dll" 0)"

# Forward to the end, then back to the start.
for i in 1 2 3 4 5 6; do
    click_arrow 1
    copy
    check "forward to icon $i" clipboard_is "$(expected "$dll" $i)"
done
shot last
click_arrow 1 # the forward arrow is hidden now: nothing changes
copy
check "no step past the last icon" clipboard_is "$(expected "$dll" 6)"
for i in 5 4 3 2 1 0; do
    click_arrow 0
    copy
    check "back to icon $i" clipboard_is "$(expected "$dll" $i)"
done

# Copy with the button and with the menu.
clear_clipboard
xdotool key alt+c
check "copy with the button" clipboard_is "$(expected "$dll" 0)"
clear_clipboard
xdotool key alt+e
sleep 0.3
xdotool key c
check "copy with the menu" clipboard_is "$(expected "$dll" 0)"

# Cancel the dialog: nothing changes.
xdotool key alt+o
window --name 'ファイルを開く' >/dev/null
xdotool key Escape
gone_within --name 'ファイルを開く' || true
copy
check "cancel changes nothing" clipboard_is "$(expected "$dll" 0)"

# The about window: Alt+H and the item, closed with Esc, then with Enter.
for key in Escape Return; do
    xdotool key alt+h
    sleep 0.3
    xdotool key a
    about=$(window --name 'Quorvane.+')
    check "the about window opens" test -n "$about"
    shot "about-$key"
    xdotool key "$key"
    check "the about window closes with $key" gone_within --name 'Quorvane.+'
done

# Help contents, then closing the window ends the program and the viewer.
xdotool key alt+h
sleep 0.3
xdotool key c
viewer=$(window --class assistant)
check "the help viewer shows the contents" test -n "$viewer"
viewer_pid=$(xdotool getwindowpid "$viewer")
shot help
xdotool windowactivate --sync "$main"
xdotool key alt+F4
check "closing the window ends the program" bash -c "for _ in \$(seq 100); do kill -0 $pid 2>/dev/null || exit 0; sleep 0.1; done; exit 1"
check "closing the window ends the help viewer" bash -c "for _ in \$(seq 100); do kill -0 $viewer_pid 2>/dev/null || exit 0; sleep 0.1; done; exit 1"

# Exit with Alt+X.
start
xdotool key alt+x
check "Alt+X ends the program" bash -c "for _ in \$(seq 100); do kill -0 $pid 2>/dev/null || exit 0; sleep 0.1; done; exit 1"
pid=

echo "end-to-end: $passed passed, $failed failed"
[ "$failed" = 0 ]
