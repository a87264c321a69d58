#!/usr/bin/env bash
# Every help page in the real viewer (Qt Assistant), its lines broken as the viewer breaks them
# at many widths: 500 and 586 px, and 600 to 1000 px in steps of 25, its side panels closed, on
# a screen tall enough for the longest page. The pages are prepared with colour marks
# (prepare-page.py --mark) into a help file of their own, and help_line_ends reads each
# screenshot: no line may begin with a character that may not begin one (、。」）, an access
# key, a counter after its number) nor end with one that may not end one (「（), nor run into
# the right edge. Pages with the marks alone (--plain) must fail somewhere: the check sees what
# the preparation prevents. The screenshots of faults stay in ARTIFACTS.
# Usage: help-pages.sh SOURCE_DIR BUILD_DIR ARTIFACTS_DIR PAGE...
set -euo pipefail
source_dir=$1
build=$(cd "$2" && pwd)
artifacts=$3
shift 3
rm -rf "$artifacts"
mkdir -p "$artifacts"
# shellcheck source=tests/support/common.sh
source "$(dirname "$0")/../support/common.sh"
screen=1100x4000x24 start_x -nolisten tcp
export LANGUAGE=ja
widths="500 586 $(seq 600 25 1000)"

# Builds the help file $work/NAME/Quorvane.hlp of the pages prepared with the marks and OPTIONS.
# marked_help NAME OPTIONS...
marked_help() {
    local folder=$work/$1 page
    shift
    mkdir -p "$folder/home"
    cp "$build"/docs/help/{quorvane.qhp,quorvane.qhcp,main-window.png} "$folder"
    for page in "${pages[@]}"; do
        python3 "$source_dir/docs/help/prepare-page.py" "$@" "$source_dir/docs/help/$page" "$folder/$page"
    done
    /usr/lib/qt6/libexec/qhelpgenerator -s "$folder/quorvane.qhcp" -o "$folder/Quorvane.hlp" >/dev/null
}

# Shows each page of help file NAME in a viewer of each width (a viewer of its own, with a home
# of its own); prints a line for each page and width at which help_line_ends finds a fault.
# Usage: sweep NAME WIDTH...
sweep() {
    local name=$1 remote=$work/$1/remote viewer win width page
    shift
    mkfifo "$remote"
    HOME=$work/$name/home /usr/lib/qt6/bin/assistant -collectionFile "$work/$name/Quorvane.hlp" \
        -enableRemoteControl -geometry 500x3900+0+0 <"$remote" >/dev/null 2>&1 &
    viewer=$!
    exec 4>"$remote"
    echo "hide contents;hide index;hide bookmarks;hide search" >&4
    win=$(window --class assistant)
    for width in "$@"; do
        xdotool windowsize --sync "$win" "$width" 3900
        for page in "${pages[@]}"; do
            echo "setSource qthelp://org.quorvane.help/doc/$page" >&4
            sleep 0.6
            import -window "$win" "$work/shot.png"
            if ! "$build/tests/help_line_ends" "$work/shot.png" >"$work/faults"; then
                echo "$page at $width px: $(head -n 1 "$work/faults")"
                cp "$work/shot.png" "$artifacts/$name-$width-${page%.html}.png"
            fi
        done
    done
    exec 4>&-
    kill "$viewer"
    wait "$viewer" || true
}

pages=("$@")
marked_help prepared --mark
marked_help plain --mark --plain
# shellcheck disable=SC2086 # the widths are words
sweep prepared $widths >"$work/prepared.faults"
sweep plain 500 586 900 >"$work/plain.faults"
failed=0
if [ -s "$work/prepared.faults" ]; then
    sed 's/^/FAILED: /' "$work/prepared.faults" >&2
    failed=1
fi
if [ ! -s "$work/plain.faults" ]; then
    echo "FAILED: the pages prepared with the marks alone show no fault" >&2
    failed=1
fi
echo "help pages: $(wc -l <"$work/prepared.faults") faults, $(wc -l <"$work/plain.faults") unprepared"
exit $failed
