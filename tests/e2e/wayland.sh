#!/usr/bin/env bash
# The built program in a Wayland session: a real compositor (weston) with XWayland. Started
# with the session's WAYLAND_DISPLAY and DISPLAY and no platform chosen, the program must come
# up on XWayland, and Ctrl+C typed into it must put the 35x35 picture on the clipboard. Weston
# runs in a window of its own X server, whose keyboard and mouse drive it: headless, weston
# has no input devices, and XWayland then cannot take typed keys.
# Usage: wayland.sh BUILD_DIR ARTIFACTS_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
# shellcheck source=tests/support/common.sh
source "$(dirname "$0")/../support/common.sh"
chmod 700 "$work"
start_x --no-wm -nolisten tcp
outer=$DISPLAY
printf '[shell]\npanel-position=none\n' >"$work/weston.ini"
socket=quorvane-$$
XDG_RUNTIME_DIR=$work weston --config="$work/weston.ini" --backend=x11-backend.so --use-pixman \
    --xwayland --socket="$socket" --width=1024 --height=768 --log="$work/weston.log" &
pids+=($!)
for _ in $(seq 100); do
    display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" 2>/dev/null || true)
    display=${display%%$'\n'*}
    [ -n "$display" ] && break
    sleep 0.1
done
[ -n "$display" ] || { cat "$work/weston.log" >&2; fail "weston did not start XWayland"; }
export DISPLAY=$display

# The program sees the session as a desktop shows it: Wayland first, XWayland beside it.
XDG_SESSION_TYPE=wayland XDG_RUNTIME_DIR="$work" WAYLAND_DISPLAY="$socket" "$build/bin/quorvane" >"$work/program.log" 2>&1 &
pids+=($!)
main=$(window --name '^Quorvane$') || { cat "$work/program.log" >&2; fail "no window on XWayland"; }
sleep 1
# Weston's output fills its window at the outer screen's corner: a place on XWayland's screen
# is the same place on the outer one. A click in the client area gives the window the focus.
read -r x y <<<"$(xwininfo -id "$main" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} END {print x, y}')"
DISPLAY=$outer xdotool mousemove $((x + 10)) $((y + 60)) click 1
sleep 0.5
copied() { xclip -selection clipboard -t image/png -o >"$work/clip.png" 2>/dev/null &&
    [ "$(identify -format '%wx%h' "$work/clip.png" 2>/dev/null)" = 35x35 ]; }
DISPLAY=$outer xdotool key ctrl+c
eventually copied || copy_failed=1
DISPLAY=$outer import -window root "$2/wayland.png" # before any verdict, for the artifacts
[ -z "${copy_failed:-}" ] || fail "Ctrl+C put no 35x35 picture on the clipboard"
[ "$(magick "$work/clip.png" -format '%[fx:minima]' info:)" = 1 ] || fail "the copied picture is not all white"
echo "wayland: 1 passed, 0 failed"
