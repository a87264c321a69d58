#!/usr/bin/env bash
# The thumbnailer entry under a real thumbnail service: tumbler on a private D-Bus session finds
# the installed entry, runs the installed tool for real program files, and stores the
# thumbnails where the thumbnail standard says; a file without icons gets an error, not a
# thumbnail, and the service goes on.
# usage: tumbler.sh BUILD_DIR
set -euo pipefail
if [ -z "${QUORVANE_PRIVATE_BUS:-}" ]; then
    exec dbus-run-session -- env QUORVANE_PRIVATE_BUS=1 bash "$0" "$@"
fi
build=$(realpath "$1")
# shellcheck source=tests/support/common.sh
source "$(dirname "$0")/../support/common.sh"
cmake --install "$build" --prefix "$work/usr" >/dev/null
export XDG_DATA_DIRS="$work/usr/share:/usr/share" XDG_CACHE_HOME="$work/cache"

# Windows programs and DLLs of wine, and an NSIS installer stub (a 32-bit program).
wine=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
with_icons=("$wine/notepad.exe" "$wine/shell32.dll" "$wine/winemine.exe"
    /usr/share/nsis/Stubs/zlib-x86-unicode)
without_icons=/usr/share/wine/fonts/coure.fon # an NE font: the same MIME type, no icons

/usr/lib/x86_64-linux-gnu/tumbler-1/tumblerd >"$work/tumblerd.log" 2>&1 &
service=$!
pids+=("$service")
# Waiting on the name without activating it, so that no second service starts.
gdbus wait --session --timeout 20 org.freedesktop.thumbnails.Thumbnailer1
# The service sends its signals to the caller alone: a bus monitor sees them.
dbus-monitor --session "type=signal,interface=org.freedesktop.thumbnails.Thumbnailer1" \
    >"$work/signals.log" 2>&1 &
pids+=($!)
sleep 0.5
uri() { printf "file://%s" "$1"; }
finished() { grep -c "member=Finished" "$work/signals.log" || true; }

# One flavour after the other: the service drops a waiting request for a file when another
# request names the same file.
requests=0
for flavour in normal large; do
    uris="" types=""
    for f in "${with_icons[@]}" "$without_icons"; do
        uris+="${uris:+,}\"$(uri "$f")\""
        types+="${types:+,}\"application/x-ms-dos-executable\""
    done
    gdbus call --session --dest org.freedesktop.thumbnails.Thumbnailer1 \
        --object-path /org/freedesktop/thumbnails/Thumbnailer1 \
        --method org.freedesktop.thumbnails.Thumbnailer1.Queue "[$uris]" "[$types]" \
        "$flavour" default 0 >/dev/null
    requests=$((requests + 1))
    for _ in $(seq 300); do [ "$(finished)" -ge $requests ] && break; sleep 0.1; done
    [ "$(finished)" -ge $requests ] || fail "the $flavour request did not finish"
done

for flavour in normal:128 large:256; do
    dir=$work/cache/thumbnails/${flavour%%:*}
    size=${flavour##*:}
    for f in "${with_icons[@]}"; do
        thumb=$dir/$(uri "$f" | md5sum | cut -d" " -f1).png
        [ -f "$thumb" ] || fail "no ${flavour%%:*} thumbnail for $f"
        read -r w h uri_field <<<"$(identify -format "%w %h %[Thumb::URI]" "$thumb")"
        if [ "$w" -gt "$size" ] || [ "$h" -gt "$size" ] || [ "$w" -lt 16 ]; then fail "$thumb is ${w}x$h"; fi
        [ "$uri_field" = "$(uri "$f")" ] || fail "$thumb names $uri_field"
    done
    [ ! -e "$dir/$(uri "$without_icons" | md5sum | cut -d" " -f1).png" ] ||
        fail "a thumbnail for a file without icons"
done
grep -A6 "member=Error" "$work/signals.log" | grep -q "$(uri "$without_icons")" ||
    fail "no error reported for $without_icons"
kill -0 $service 2>/dev/null || fail "the service did not keep running"
echo "tumbler: ${#with_icons[@]} files with icons in two flavours, 1 without: passed"
