# shellcheck shell=bash
# Helpers shared by the shell tests; sourced, not run. Sourcing makes a work directory ($work)
# and a list of processes ($pids) that end, with the directory, when the script ends; a script
# may define on_exit for more.

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
# ImageMagick 7 names its command magick; version 6 has convert.
if ! command -v magick >/dev/null; then magick() { convert "$@"; }; fi
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    if declare -F on_exit >/dev/null; then on_exit; fi
    rm -rf "$work"
}
trap cleanup EXIT

# An X server of our own, 1024x768 unless $screen says otherwise, given these options, with
# openbox unless the first is --no-wm; exports its DISPLAY and sets $display_number.
start_x() {
    local wm=openbox
    if [ "${1:-}" = --no-wm ]; then
        wm=
        shift
    fi
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 "${screen:-1024x768x24}" "$@" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    display_number=$(cat "$work/display")
    export DISPLAY=:$display_number
    unset QT_QPA_PLATFORM
    if [ -n "$wm" ]; then
        openbox >/dev/null 2>&1 &
        pids+=($!)
        sleep 1
    fi
}
# Whether COMMAND… succeeds (or with "!" first, fails) within ten seconds, tried every quarter
# of a second.
eventually() {
    local want=0
    [ "$1" = ! ] && want=1 && shift
    for _ in $(seq 40); do
        [ "$("$@" >/dev/null 2>&1 && echo 0 || echo 1)" = $want ] && return 0
        sleep 0.25
    done
    return 1
}
# The first visible window that matches, waiting up to 20 s.
window() {
    timeout 20 xdotool search --sync --onlyvisible "$@" | head -n 1
}
# Whether no visible window matches within ten seconds.
gone() {
    eventually ! xdotool search --onlyvisible "$@"
}
# Whether process PID ends within ten seconds.
ends() {
    eventually ! kill -0 "$1"
}

# Whether the pictures A and B have the same pixels.
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }

# How many icon groups icoutils' wrestool finds in FILE (it lists a group once a language).
icon_groups() {
    wrestool -l --type=14 "$1" | awk '{print $2}' | sort -u | wc -l
}
