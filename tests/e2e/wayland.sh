#!/usr/bin/env bash
# The built program in a Wayland session: a real compositor (weston) with XWayland. Started
# with the session's WAYLAND_DISPLAY and DISPLAY and no platform chosen, the program must come
# up on XWayland, and Ctrl+C typed into it must put the 35x35 picture on the clipboard. Weston
# runs in a window of its own X server, whose keyboard and mouse drive it: headless, weston
# has no input devices, and XWayland then cannot take typed keys.
# Usage: wayland.sh BUILD_DIR ARTIFACTS_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
artifacts=$2
mkdir -p "$artifacts"
work=$(mktemp -d)
chmod 700 "$work"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
outer=:$(cat "$work/display")
printf '[shell]\npanel-position=none\n' >"$work/weston.ini"
socket=quorvane-$$
DISPLAY=$outer XDG_RUNTIME_DIR=$work weston --config="$work/weston.ini" --backend=x11-backend.so \
    --use-pixman --xwayland --socket="$socket" --width=1024 --height=768 --log="$work/weston.log" &
pids+=($!)
for _ in $(seq 100); do
    # (The log may not exist yet.)
    display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" 2>/dev/null || true)
    display=${display%%$'\n'*}
    [ -n "$display" ] && break
    sleep 0.1
done
[ -n "$display" ] || { cat "$work/weston.log" >&2; fail "weston did not start XWayland"; }

# The program sees the session as a desktop shows it: Wayland first, XWayland beside it.
env -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland XDG_RUNTIME_DIR="$work" WAYLAND_DISPLAY="$socket" DISPLAY="$display" \
    "$build/bin/quorvane" >"$work/program.log" 2>&1 &
pids+=($!)
main=$(DISPLAY=$display timeout 20 xdotool search --sync --onlyvisible --name '^Quorvane$' | head -n 1) ||
    { cat "$work/program.log" >&2; fail "no window on XWayland"; }
sleep 1
# Weston's output fills its window at the outer screen's corner: a place on XWayland's screen
# is the same place on the outer one. A click in the client area gives the window the focus.
read -r x y <<<"$(DISPLAY=$display xwininfo -id "$main" |
    awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} END {print x, y}')"
DISPLAY=$outer xdotool mousemove $((x + 10)) $((y + 60)) click 1
sleep 0.5
DISPLAY=$outer xdotool key ctrl+c
for _ in $(seq 40); do
    sleep 0.25
    DISPLAY=$display xclip -selection clipboard -t image/png -o >"$work/clip.png" 2>/dev/null || continue
    [ "$(identify -format '%wx%h' "$work/clip.png" 2>/dev/null)" = 35x35 ] && break
done
DISPLAY=$outer import -window root "$artifacts/wayland.png"
[ "$(identify -format '%wx%h' "$work/clip.png" 2>/dev/null)" = 35x35 ] ||
    fail "Ctrl+C put no 35x35 picture on the clipboard"
[ "$(convert "$work/clip.png" -format '%[fx:minima]' info:)" = 1 ] || fail "the copied picture is not all white"
echo "wayland: 1 passed, 0 failed"
