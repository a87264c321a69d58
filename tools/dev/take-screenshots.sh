#!/usr/bin/env bash
# Takes the screenshots in docs/ from the built program on a virtual X server with a window
# manager, driven with real keyboard input. Usage: tools/dev/take-screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
display=:77
Xvfb $display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1
openbox >/dev/null 2>&1 &
sleep 1

# Saves the window with the given title, with the frame the window manager draws.
shoot() {
    local title=$1 out=$2
    local id
    id=$(xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1)
    sleep 0.5
    import -window "$id" -frame "$out"
}

"$build/bin/quorvane" 2>/dev/null &
program=$!
xdotool search --sync --onlyvisible --name '^Quorvane$' >/dev/null
sleep 0.5
xdotool key alt+o
xdotool search --sync --onlyvisible --name 'ファイルを開く' >/dev/null
sleep 0.5
xdotool type --delay 10 /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/winecfg.exe
xdotool key Return
sleep 1
shoot Quorvane docs/main-window.png
xdotool key alt+x
wait $program || true
