#!/usr/bin/env bash
# End-to-end test of the built program on a real X server: real keyboard and mouse input
# (xdotool), the real clipboard (xclip), the real help viewer. Each check looks at what the
# screen (the picture area and the arrows' places), the clipboard or the window list shows;
# the screenshots are kept in ARTIFACTS.
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
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset QT_QPA_PLATFORM
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
    if [ -n "${viewer_pid:-}" ]; then kill "$viewer_pid" 2>/dev/null || true; fi
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
help_contents() { xdotool key alt+h && sleep 0.3 && xdotool key c; }
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
gone_within() { for _ in $(seq 40); do xdotool search --onlyvisible "$@" >/dev/null 2>&1 || return 0; sleep 0.25; done; return 1; }
# Waits up to ten seconds for process PID to end.
ends_within() { for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done; return 1; }
clear_clipboard() { echo -n none | xclip -selection clipboard; }

# The screen place of the client area below the menu bar, in X and Y. xwininfo gives the
# window's absolute place (xdotool would add the frame again); the client area is 128 high.
client_origin() {
    local info height
    info=$(xwininfo -id "$main")
    X=$(echo "$info" | sed -n 's/.*Absolute upper-left X: *//p')
    height=$(echo "$info" | sed -n 's/^ *Height: *//p')
    Y=$(($(echo "$info" | sed -n 's/.*Absolute upper-left Y: *//p') + height - 128))
}
# Places in the client area: the picture area's 35x35 inside, and the two arrows.
picture_at=(70 46)
arrow_at=("2 91" "132 91")
# Copies a rectangle of the client area, as the screen shows it now, to OUT.
screen_crop() { # screen_crop LEFT TOP WIDTH HEIGHT OUT
    client_origin
    import -window root -crop "$3x$4+$((X + $1))+$((Y + $2))" +repage "$5"
}
# The screen's picture area against a picture, pixel for pixel; waits up to ten seconds.
screen_shows() {
    for _ in $(seq 40); do
        screen_crop "${picture_at[@]}" 35 35 "$work/screen.png"
        [ "$(compare -metric AE "$work/screen.png" "$1" null: 2>&1)" = 0 ] && return 0
        sleep 0.25
    done
    return 1
}
# Whether the screen draws the arrows (0 back, 1 forward): a shown arrow has its black
# glyph, a hidden one leaves only the frame's light background at its place.
# Usage: arrows BACK FORWARD, each "shown" or "hidden".
arrows() {
    local i darkest want
    for i in 0 1; do
        read -r left top <<<"${arrow_at[$i]}"
        screen_crop "$left" "$top" 34 34 "$work/arrow.png"
        darkest=$(convert "$work/arrow.png" -colorspace Gray -format "%[fx:minima < 0.5]" info:)
        want=$([ $i = 0 ] && echo "$1" || echo "$2")
        [ "$darkest" = "$([ "$want" = shown ] && echo 1 || echo 0)" ] || return 1
    done
}
# Clicks an arrow (0 back, 1 forward) at its middle.
click_arrow() {
    client_origin
    read -r left top <<<"${arrow_at[$1]}"
    xdotool mousemove $((X + left + 17)) $((Y + top + 17)) click 1
    sleep 0.3
}
copy() { clear_clipboard; xdotool key ctrl+c; }
# Whether window W's outer frame (as the window manager draws it, _NET_FRAME_EXTENTS) has its
# top-left corner within 1 px of the designed place: horizontally centred, its middle at
# FACTOR times the screen's height. Usage: placed WINDOW FACTOR
placed() {
    local info l r t b
    read -r l r t b <<<"$(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
    info=$(xwininfo -id "$1")
    awk -v x="$(echo "$info" | sed -n 's/.*Absolute upper-left X: *//p')" \
        -v y="$(echo "$info" | sed -n 's/.*Absolute upper-left Y: *//p')" \
        -v w="$(echo "$info" | sed -n 's/^ *Width: *//p')" -v h="$(echo "$info" | sed -n 's/^ *Height: *//p')" \
        -v l="$l" -v r="$r" -v t="$t" -v b="$b" -v f="$2" 'BEGIN {
            dx = (x - l) - (1024 - (w + l + r)) / 2; dy = (y - t) - (f * 768 - (h + t + b) / 2)
            exit !(dx * dx <= 1 && dy * dy <= 1 && t > 0)
        }'
}

start
check "the main window's frame sits slightly above the centre" placed "$main" 0.425
clear_clipboard
xdotool key alt+c
check "copy before any file gives a blank picture" clipboard_is "$(blank)"
check "the picture area starts blank" screen_shows "$(blank)"
check "no arrows before any file" arrows hidden hidden
shot start

# Open a real DLL through the dialog: Alt+N puts the focus in its file name field, the path is
# pasted there, and Enter opens it. (Typed keys can land in the file list while the dialog
# still reads the folder; an Enter that only closes the name completer's list is repeated.)
xdotool key alt+o
dialog=$(window --name 'ファイルを開く')
check "the open dialog appears" test -n "$dialog"
sleep 0.5
printf %s "$dll" | xclip -selection clipboard
xdotool key alt+n ctrl+a ctrl+v
for _ in 1 2 3; do
    sleep 0.5
    xdotool key Return
    gone_within --name 'ファイルを開く' && break
done
check "the dialog closes" gone_within --name 'ファイルを開く'
check "the screen shows the first icon at (2, 2)" screen_shows "$(expected "$dll" 0)"
check "only the forward arrow at the first icon" arrows hidden shown
shot opened
copy
check "the first icon is copied as drawn" clipboard_is "$(expected "$dll" 0)"

# Forward to the end, then back to the start.
for i in 1 2 3 4 5 6; do
    click_arrow 1
    check "forward to icon $i on the screen" screen_shows "$(expected "$dll" $i)"
done
check "only the back arrow at the last icon" arrows shown hidden
shot last
click_arrow 1 # the forward arrow is hidden now: nothing changes
copy
check "no step past the last icon" clipboard_is "$(expected "$dll" 6)"
for i in 5 4 3 2 1 0; do
    click_arrow 0
    check "back to icon $i on the screen" screen_shows "$(expected "$dll" $i)"
done
check "both arrows' places as at the first icon again" arrows hidden shown
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
check "cancel leaves the picture" screen_shows "$(expected "$dll" 0)"

# The about window: Alt+H and the item, closed with Esc, then with Enter.
for key in Escape Return; do
    xdotool key alt+h
    sleep 0.3
    xdotool key a
    about=$(window --name 'Quorvane.+')
    check "the about window opens" test -n "$about"
    check "the about window's frame sits in the centre" placed "$about" 0.5
    shot "about-$key"
    xdotool key "$key"
    check "the about window closes with $key" gone_within --name 'Quorvane.+'
done

# Help contents, then closing the window ends the program and the viewer.
help_contents
viewer=$(window --class assistant)
check "the help viewer shows the contents" test -n "$viewer"
viewer_pid=$(xdotool getwindowpid "$viewer")
shot help
xdotool windowactivate --sync "$main"
xdotool key alt+F4
check "closing the window ends the program" ends_within "$pid"
check "closing the window ends the help viewer" ends_within "$viewer_pid"

# Exit with Alt+X: the program ends at once and leaves the help viewer it started running.
start
help_contents
viewer=$(window --class assistant)
viewer_pid=$(xdotool getwindowpid "$viewer")
xdotool windowactivate --sync "$main"
xdotool key alt+x
check "Alt+X ends the program" ends_within "$pid"
pid=
sleep 1
check "Alt+X leaves the help viewer running" kill -0 "$viewer_pid"
check "the help viewer still shows its window" test -n "$(window --class assistant)"

echo "end-to-end: $passed passed, $failed failed"
[ "$failed" = 0 ]
