#!/usr/bin/env bash
# Takes the screenshots in docs/ from the built program on a virtual X server with a window
# manager, driven with real keyboard input, and a folder of program files in Thunar with the
# thumbnails that the installed thumbnailer entry makes through tumbler, and through GNOME's
# thumbnail factory.
# Usage: tools/dev/take-screenshots.sh [BUILD_DIR [thumbnails|help]]   (those pictures only)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
only=${2:-}
display=:77
Xvfb $display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
# A home of its own: the help viewer opens as it does the first time.
HOME=$(mktemp -d)
export HOME
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$HOME"' EXIT
sleep 1
openbox >/dev/null 2>&1 &
sleep 1
# ImageMagick 7 names its command magick; version 6 has convert.
if ! command -v magick >/dev/null; then magick() { convert "$@"; }; fi

# Saves the window that xdotool finds with the given search options, with the frame the
# window manager draws. Usage: shoot OUT.png SEARCH-OPTION…
shoot() {
    local out=$1
    shift
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible "$@" | head -n 1)
    sleep 0.5
    import -window "$id" -frame "$out"
}

# A folder of Windows program files in Thunar, on a private session bus whose thumbnail service
# (tumbler, started on demand) finds the entry installed with a prefix of its own.
shoot_thumbnails() {
    local home=$HOME user=() wine=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
    # As an ordinary user when run as root (Thunar warns the root account), in a home of its own.
    if [ "$(id -u)" = 0 ]; then
        home=/tmp/quorvane-screenshots
        rm -rf "$home"
        user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    fi
    local prefix=$home/prefix folder=$home/Programs
    cmake --install "$build" --prefix "$prefix" >/dev/null
    mkdir -p "$folder"
    cp "$wine"/{notepad,winemine,regedit,wordpad,taskmgr,winecfg}.exe "$wine"/{shell32,comdlg32}.dll \
        "$wine"/joy.cpl /usr/share/nsis/Stubs/zlib-x86-unicode "$folder"/
    mv "$folder/zlib-x86-unicode" "$folder/installer-stub.exe"
    [ ${#user[@]} = 0 ] || chown -R nobody "$home"
    # In a session of its own, so that Thunar, its bus and the thumbnail service end together.
    setsid "${user[@]}" env HOME="$home" XDG_DATA_DIRS="$prefix/share:/usr/share" XDG_CACHE_HOME="$home/cache" \
        XDG_CONFIG_HOME="$home/config" dbus-run-session -- thunar "$folder" >/dev/null 2>&1 &
    local thunar=$!
    timeout 20 xdotool search --sync --onlyvisible --class thunar >/dev/null
    xdotool search --onlyvisible --class thunar windowsize --sync 760 420
    # Until every file's thumbnail is in the cache. Thunar asks for the visible files twice, and
    # can miss a thumbnail that the second request makes while it loads the first; a reload
    # then shows each from the cache.
    for _ in $(seq 60); do
        [ "$(find "$home/cache/thumbnails/normal" -name '*.png' 2>/dev/null | wc -l)" -ge 10 ] && break
        sleep 0.5
    done
    xdotool key ctrl+r
    sleep 2
    shoot docs/thumbnails-in-thunar.png --class thunar
    kill -- -$thunar 2>/dev/null || true
    sleep 1 # for the session's services to end before their files go
    [ "$home" = "$HOME" ] || rm -rf "$home"
}
# The thumbnails that GNOME's thumbnail factory (GNOME Files') makes of the same programs, through
# its sandbox, with the build installed under /usr: a montage like a folder's icon view.
shoot_gnome_factory() {
    local wine=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows folder
    folder=$(mktemp -d)
    cp "$wine"/{notepad,winemine,regedit,wordpad,taskmgr,winecfg}.exe "$wine"/{shell32,comdlg32}.dll \
        "$wine"/joy.cpl "$folder"/
    cp /usr/share/nsis/Stubs/zlib-x86-unicode "$folder/installer-stub.exe"
    tools/dev/over-usr.sh "$build" env HOME="$folder" /usr/bin/python3 -c '
import glob, sys, gi
gi.require_version("GnomeDesktop", "4.0")
from gi.repository import Gio, GnomeDesktop
factory = GnomeDesktop.DesktopThumbnailFactory.new(GnomeDesktop.DesktopThumbnailSize.LARGE)
for path in sorted(glob.glob(sys.argv[1] + "/*.*")):
    kind = Gio.File.new_for_path(path).query_info("standard::content-type", 0, None).get_content_type()
    factory.generate_thumbnail("file://" + path, kind, None).savev(path + ".png", "png", [], [])
' "$folder" 2>/dev/null
    montage -background white -fill '#303030' -pointsize 13 -label '%t' -geometry '128x128>+18+10' -depth 8 \
        -tile 5x "$folder"/*.png docs/thumbnails-gnome-factory.png
    rm -rf "$folder"
}
if [ "$only" = thumbnails ]; then
    shoot_thumbnails
    shoot_gnome_factory
    exit 0
fi

# Starts the program, with the environment given, and opens FILE (in Wine's folder) with the
# dialog. Usage: start_with FILE [NAME=VALUE...]
start_with() {
    local file=$1
    shift
    env "$@" "$build/bin/quorvane" 2>/dev/null &
    program=$!
    timeout 20 xdotool search --sync --onlyvisible --name '^Quorvane$' >/dev/null
    sleep 0.5
    xdotool key alt+o
    timeout 20 xdotool search --sync --onlyvisible --name 'ファイルを開く' >/dev/null
    sleep 0.5
    xdotool type --delay 10 "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/$file"
    xdotool key Return
    sleep 1
}

# The help's picture of the main window, both arrows showing, its parts numbered as the help's
# list numbers them: the menu bar and the picture area from the left, the arrows from below, the
# buttons from the right. Places are in the window's pixels, frame included.
shoot_parts() {
    local shot callouts=(
        "1 20,32 45,32" "2 20,106 107,106" "3 61,196 61,166" "4 191,196 191,166"
        "5 298,67 271,67" "6 298,107 271,107" "7 298,147 271,147")
    shot=$(mktemp --suffix=.png)
    start_with regedit.exe
    xdotool key Tab Tab Tab space # the focus to the forward arrow, which it presses
    sleep 0.5
    shoot "$shot" --name '^Quorvane$'
    xdotool key alt+x
    wait $program || true
    local draw=(-bordercolor white -border 40x0 -gravity south -splice 0x34 -gravity northwest
        -font DejaVu-Sans-Bold -pointsize 12 -strokewidth 1)
    local callout number at to
    for callout in "${callouts[@]}"; do
        read -r number at to <<<"$callout"
        draw+=(-stroke '#c00000' -draw "line $at $to" -fill '#c00000'
            -draw "circle $at ${at%,*},$((${at#*,} + 9))"
            -stroke none -fill white -annotate "+$((${at%,*} - 4))+$((${at#*,} - 8))" "$number")
    done
    magick "$shot" "${draw[@]}" docs/help/main-window.png
    rm -f "$shot"
}

shoot_parts
[ "$only" = help ] && exit 0
start_with winecfg.exe
shoot docs/main-window.png --name '^Quorvane$'
xdotool key alt+h
sleep 0.3
xdotool key a
shoot docs/about-window.png --name 'Quorvane.+'
xdotool key Escape
sleep 0.5
xdotool search --onlyvisible --name '^Quorvane$' windowactivate --sync
xdotool key alt+h
sleep 0.3
xdotool key c
sleep 3
# (xdotool cannot match the viewer's Japanese title in the C locale: it is found by class.)
shoot docs/help-viewer.png --class assistant
# Closing the main window quits the help viewer too.
main=$(xdotool search --onlyvisible --name '^Quorvane$' | head -n 1)
xdotool windowactivate --sync "$main"
xdotool key alt+F4
wait $program || true
sleep 1
if pgrep -f 'assistant -collectionFile' >/dev/null; then
    echo "the help viewer is still running" >&2
    exit 1
fi
# The same window on a screen of twice the density, as GNOME and KDE scale for dense screens.
start_with winecfg.exe QT_SCALE_FACTOR=2
shoot docs/main-window-2x.png --name '^Quorvane$'
xdotool key alt+x
wait $program || true
shoot_thumbnails
shoot_gnome_factory
