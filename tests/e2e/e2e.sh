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
dll=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/user32.dll
rm -rf "$artifacts"
mkdir -p "$artifacts"
# shellcheck source=tests/support/common.sh
source "$(dirname "$0")/../support/common.sh"
# the help viewer's first session, and its size kept for the next
export HOME=$work/home
mkdir -p "$HOME"
start_x -nolisten tcp
last=$(($(icon_groups "$dll") - 1))

passed=0 failed=0
# check NAME COMMAND…: runs a check and counts it
check() {
    local name=$1
    shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)) && echo "FAILED: $name" >&2; fi
}
shot() { import -window root "$artifacts/$1.png"; }
menu() { xdotool key "alt+$1" && sleep 0.3 && xdotool key "$2"; }
# the screen's device pixels per pixel of the program's layout (QT_SCALE_FACTOR)
scale=1
# Pixels of the layout in the screen's pixels, rounded.
px() {
    awk -v v="$1" -v r="$scale" 'BEGIN { printf "%d", v * r + 0.5 }'
}
start() {
    QT_SCALE_FACTOR=$scale "$program" >/dev/null 2>&1 &
    pid=$!
    pids+=("$pid")
    main=$(window --name '^Quorvane$')
    [ -n "$main" ] || fail "the program's window did not appear"
    xdotool windowactivate --sync "$main"
    sleep 0.3
}

# Ends the program with Alt+X.
quit() {
    xdotool windowactivate --sync "$main" key alt+x
    ends "$pid" || fail "Alt+X did not end the program"
}

# The picture that icon N of FILE must leave in the 35x35 picture area: white, the icon at
# (2, 2), in the screen's pixels: the icon as render draws it at 32 times the scale.
expected() {
    "$build/bin/quorvane-icons" render --size "$(px 32)" "$1" "$2" "$work/icon.png"
    magick -size "$(px 35)x$(px 35)" xc:white "$work/icon.png" -geometry "+$(px 2)+$(px 2)" \
        -composite "$work/expected-$2.png"
    echo "$work/expected-$2.png"
}
blank() { magick -size 35x35 xc:white "$work/blank.png" && echo "$work/blank.png"; }
# The clipboard's image against a picture, pixel for pixel. The checks wait up to ten seconds
# for it: a sanitizer build on a busy machine is slow.
clipboard_has() {
    xclip -selection clipboard -t image/png -o >"$work/clip.png" 2>/dev/null && same "$work/clip.png" "$1"
}
clipboard_is() {
    eventually clipboard_has "$1"
}
copy() {
    echo -n none | xclip -selection clipboard && xdotool windowactivate --sync "$main" key ctrl+c
}

# The absolute place and size of window W's client area, as xwininfo gives them (xdotool would
# add the frame again): X Y WIDTH HEIGHT.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
        /^ *Width/ {w = $2} /^ *Height/ {h = $2} END {print x, y, w, h}'
}
# Sets X and Y to the screen place of the client area below the menu bar, which is 128 high.
client_origin() {
    read -r X Y _ H <<<"$(geometry "$main")"
    Y=$((Y + H - $(px 128)))
}
# Copies a rectangle of the client area, as the screen shows it now, to OUT; in the layout's
# pixels.
# screen_crop LEFT TOP WIDTH HEIGHT OUT
screen_crop() {
    client_origin
    import -window root -crop "$(px "$3")x$(px "$4")+$((X + $(px "$1")))+$((Y + $(px "$2")))" +repage "$5"
}
# The screen's picture area (35x35 at (70, 46)) against a picture; waits up to ten seconds.
screen_has() {
    screen_crop 70 46 35 35 "$work/screen.png" && same "$work/screen.png" "$1"
}
screen_shows() {
    eventually screen_has "$1"
}
arrow_at=("2 91" "132 91")
# Whether the screen draws the arrows: a shown arrow has its black glyph, a hidden one leaves
# only the frame's light background at its place. Usage: arrows BACK FORWARD (shown|hidden).
arrows() {
    local i want=("$1" "$2")
    for i in 0 1; do
        # shellcheck disable=SC2086 # the place is two words
        screen_crop ${arrow_at[$i]} 34 34 "$work/arrow.png"
        [ "$(magick "$work/arrow.png" -colorspace Gray -format "%[fx:minima < 0.5]" info:)" = \
            "$([ "${want[$i]}" = shown ] && echo 1 || echo 0)" ] || return 1
    done
}
# Drags data from another program's window onto the main window's picture area, with the
# mouse, through the X server's drag-and-drop protocol. Usage: drag --urls URL... | --text TEXT
drag() {
    # The last drag's source goes first, so that the press cannot reach it.
    if [ -n "${source_pid:-}" ]; then
        kill "$source_pid"
        wait "$source_pid" || true
    fi
    "$build/tests/drag_source" "$@" >/dev/null 2>&1 &
    source_pid=$!
    pids+=("$source_pid")
    local from_x from_y
    xdotool mousemove --window "$(window --name '^drag source$')" 40 30 mousedown 1
    read -r from_x from_y <<<"$(xdotool getmouselocation | tr -c '0-9\n' ' ' | cut -d' ' -f3,6)"
    client_origin
    for _ in $(seq 10); do
        xdotool mousemove_relative -- $(((X + $(px 88) - from_x) / 10)) $(((Y + $(px 64) - from_y) / 10))
        sleep 0.05
    done
    sleep 0.3
    xdotool mouseup 1
    sleep 0.5
}
# Whether window W is framed as a dialog of window OWNER: it asks for a close button and the
# window menu only (_MOTIF_WM_HINTS: functions MOVE and CLOSE; decorations BORDER, TITLE and
# MENU) and for no taskbar entry, stays above its owner, and the window manager offers neither
# maximising nor resizing. Usage: dialog_frame W OWNER
dialog_frame() {
    local props
    props=$(xprop -id "$1" _MOTIF_WM_HINTS _NET_WM_STATE WM_TRANSIENT_FOR _NET_WM_ALLOWED_ACTIONS)
    grep -q '_MOTIF_WM_HINTS) = 0x3, 0x24, 0x1a,' <<<"$props" &&
        grep -q _NET_WM_STATE_SKIP_TASKBAR <<<"$props" &&
        grep -q "window id # $(printf '0x%x' "$2")$" <<<"$props" &&
        ! grep -q 'MAXIMIZE\|ACTION_RESIZE' <<<"$props"
}
# The first visible window named NAME other than window W, waiting up to ten seconds.
# other_window NAME W
other_window() {
    local found
    for _ in $(seq 40); do
        found=$(xdotool search --onlyvisible --name "$1" | grep -vx "$2" | head -n 1)
        [ -n "$found" ] && echo "$found" && return 0
        sleep 0.25
    done
}
# Whether the help viewer's full-text index, as the viewer built it, finds the page that
# explains each word.
searches() {
    local word page
    for word in \
        コピー:copy \
        クリップボード:copy \
        アイコン:browse \
        メモリ:about \
        終了:menus; do
        page=${word#*:} word=${word%:*}
        sqlite3 -readonly "$HOME/.local/share/Quorvane/help/.Quorvane.hlp/fts" \
            "SELECT url FROM contents WHERE contents MATCH '\"$word\"'" | grep -q "/$page.html$" || return 1
    done
}
# size_is WINDOW WIDTH HEIGHT
size_is() {
    [ "$(geometry "$1" | cut -d' ' -f3,4)" = "$2 $3" ]
}
# 0 back, 1 forward, at its middle
click_arrow() {
    read -r left top <<<"${arrow_at[$1]}"
    client_origin
    xdotool mousemove $((X + left + 17)) $((Y + top + 17)) click 1
    sleep 0.3
}
# Whether window W's outer frame (_NET_FRAME_EXTENTS, as the window manager draws it) has its
# top-left corner within 1 px of the designed place: horizontally centred, its middle at
# FACTOR times the screen's height. Usage: placed WINDOW FACTOR
placed() {
    read -r l r t b <<<"$(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
    geometry "$1" | awk -v l="$l" -v r="$r" -v t="$t" -v b="$b" -v f="$2" '
        { dx = ($1 - l) - (1024 - ($3 + l + r)) / 2; dy = ($2 - t) - (f * 768 - ($4 + t + b) / 2)
          exit !(dx * dx <= 1 && dy * dy <= 1 && t > 0) }'
}

start
check "the main window's place" placed "$main" 0.425
check "a blank start" screen_shows "$(blank)"
check "no arrows at the start" arrows hidden hidden
shot start

# Open a real DLL through the dialog: Alt+N puts the focus in its file name field, the path is
# pasted there, and Enter opens it. (Typed keys can land in the file list while the dialog
# still reads the folder; an Enter that only closes the name completer's list is repeated.)
xdotool key alt+o
window --name 'ファイルを開く' >/dev/null
sleep 0.5
printf %s "$dll" | xclip -selection clipboard
xdotool key alt+n ctrl+a ctrl+v
for _ in 1 2 3; do
    sleep 0.5
    xdotool key Return
    gone --name 'ファイルを開く' && break
done
check "the dialog closes" gone --name 'ファイルを開く'
check "the first icon" screen_shows "$(expected "$dll" 0)"
check "the forward arrow at the first icon" arrows hidden shown
shot opened
copy
check "the first icon copied" clipboard_is "$(expected "$dll" 0)"

# Forward to the end, then back to the start.
[ "$last" -gt 1 ] || fail "$dll has fewer than three icons"
for i in $(seq 1 "$last"); do
    click_arrow 1
    check "forward to icon $i" screen_shows "$(expected "$dll" "$i")"
done
check "the back arrow at the last icon" arrows shown hidden
shot last
for i in $(seq $((last - 1)) -1 0); do
    click_arrow 0
    check "back to icon $i" screen_shows "$(expected "$dll" "$i")"
done

# The about window: Alt+H and the item, closed with Esc, then with Enter.
for key in Escape Return; do
    menu h a
    about=$(window --name 'Quorvane.+')
    check "the about window opens" test -n "$about"
    check "the about window's place" placed "$about" 0.5
    check "the about window's frame" dialog_frame "$about" "$main"
    shot "about-$key"
    xdotool key "$key"
    check "the about window closes with $key" gone --name 'Quorvane.+'
done

# Help contents, then the index in the same viewer; closing the window ends the program and
# the viewer.
menu h c
viewer=$(window --class assistant)
viewer_pid=$(xdotool getwindowpid "$viewer")
pids+=("$viewer_pid")
xdotool windowactivate --sync "$main"
menu h s
sleep 1
check "the index goes to the same viewer" test "$(xdotool search --onlyvisible --class assistant | wc -l)" = 1
check "the viewer's first size" size_is "$viewer" 900 652
shot help
check "the help's search" eventually searches
xdotool windowsize "$viewer" 760 560
xdotool windowactivate --sync "$main"
xdotool key alt+F4
check "closing the window ends the program" ends "$pid"
check "closing the window ends the help viewer" ends "$viewer_pid"

# ﾌｧｲﾙ → 終了, as the 終了 button (Alt+X, which quit() uses): the program ends at once and
# leaves the help viewer it started running.
start
menu h c
viewer=$(window --class assistant)
check "the viewer's size kept" size_is "$viewer" 760 560
viewer_pid=$(xdotool getwindowpid "$viewer")
pids+=("$viewer_pid")
xdotool windowactivate --sync "$main"
menu f x
check "ﾌｧｲﾙ → 終了 ends the program" ends "$pid"
sleep 1
check "and leaves the help viewer" test -n "$(window --class assistant)"

# Dropping onto the window: text and a URL that is not a local file change nothing; of local
# files, the first opens, as the dialog would open it.
start
winecfg=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/winecfg.exe
drag --text "$winecfg"
drag --urls "http://localhost/winecfg.exe"
check "what is not a local file is not taken" screen_shows "$(blank)"
drag --urls "file://$program"
box=$(other_window '^Quorvane$' "$main")
check "the message box's frame" dialog_frame "$box" "$main"
xdotool windowactivate --sync "$box" key Return
drag --urls "file://$winecfg" "file://$dll"
check "a dropped file shows its first icon" screen_shows "$(expected "$winecfg" 0)"
check "and the forward arrow" arrows hidden shown
quit

# On screens of high density, the picture area has the screen's pixels and the icon comes from
# the image that best fits 32 times the scale, on the screen and on the clipboard.
for scale in 2 1.5; do
    start
    drag --urls "file://$winecfg"
    check "at $scale x, the screen" screen_shows "$(expected "$winecfg" 0)"
    copy
    check "at $scale x, the clipboard" clipboard_is "$(expected "$winecfg" 0)"
    shot "scaled-$scale"
    quit
done

echo "end-to-end: $passed passed, $failed failed"
[ "$failed" = 0 ]
