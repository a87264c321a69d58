#!/usr/bin/env bash
# Runs the README's two commands, exactly as the README writes them, on a fresh Debian machine
# of the given release: a minimal root made with debootstrap, holding the committed tree (git
# archive HEAD). The first command must build the program and show its window on an X server
# of the host's (which the check then ends with Alt+X); the second must build and pass every
# test. Prints the time each command took. Needs root and Debian's package archive; takes half
# an hour or more.
# Usage: tools/dev/check-fresh-machine.sh RELEASE [WORK_DIR]
#   RELEASE: bookworm (Debian 12) or trixie (Debian 13).
#   WORK_DIR keeps the root and the logs (default: a new temporary folder).
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
usage() {
    echo "usage: check-fresh-machine.sh bookworm|trixie [WORK_DIR]" >&2
    exit 2
}
release=${1:-}
case "$release" in bookworm | trixie) ;; *) usage ;; esac
[ "$(id -u)" = 0 ] || {
    echo "check-fresh-machine: needs root (debootstrap, mount namespaces)" >&2
    exit 2
}
work=${2:-$(mktemp -d)}
mkdir -p "$work"
root=$work/root
mirror=${QUORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# The README's commands: the first two lines of its first code block.
mapfile -t commands < <(awk '/^```sh$/ {inside = 1; next} /^```$/ {exit} inside' "$repo/README.md" | head -n 2)
[ ${#commands[@]} = 2 ] || fail "the README does not start with two commands"

echo "== a fresh $release root in $root"
[ -d "$root" ] && fail "$root exists already; give an empty WORK_DIR"
debootstrap --variant=minbase "$release" "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    {
        tail -n 20 "$work/debootstrap.log" >&2
        fail "debootstrap"
    }
cp /etc/resolv.conf "$root/etc/resolv.conf"
mkdir -p "$root/src/quorvane"
git -C "$repo" archive HEAD | tar -x -C "$root/src/quorvane"

# An X server on the host that the root reaches over loopback TCP, with a window manager.
exec 3>"$work/display"
Xvfb -displayfd 3 -listen tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
DISPLAY=:$(cat "$work/display")
export DISPLAY
openbox >/dev/null 2>&1 &
pids+=($!)

# Runs COMMAND in the root's copy of the tree, as a user's shell would, logging to LOG.
in_root() {
    "$repo/tools/dev/in-root.sh" "$root" env -i HOME=/root \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 TERM=dumb DISPLAY="127.0.0.1${DISPLAY}" bash -c "cd /src/quorvane && $1" >"$2" 2>&1
}

echo "== 1: ${commands[0]}"
start=$(date +%s)
in_root "${commands[0]}" "$work/first.log" &
first=$!
pids+=("$first")
window=$(timeout 1800 xdotool search --sync --onlyvisible --name '^Quorvane$' | head -n 1) ||
    {
        tail -n 30 "$work/first.log" >&2
        fail "no window from the first command"
    }
first_seconds=$(($(date +%s) - start))
sleep 1
import -window "$window" "$work/first-window.png"
xdotool windowactivate --sync "$window" key alt+x
wait "$first" || {
    tail -n 30 "$work/first.log" >&2
    fail "the first command ended with an error"
}
echo "the window showed after ${first_seconds} s; Alt+X ended the program (screenshot: $work/first-window.png)"

echo "== 2: ${commands[1]}"
start=$(date +%s)
in_root "${commands[1]}" "$work/second.log" || {
    tail -n 40 "$work/second.log" >&2
    fail "the second command"
}
second_seconds=$(($(date +%s) - start))
grep -E 'tests passed|passed, [0-9]+ failed|clang-tidy:|stat::' "$work/second.log" || true
echo "the second command passed in ${second_seconds} s (log: $work/second.log)"
echo "fresh $release machine: 2 passed, 0 failed"
