#!/usr/bin/env bash
# Makes the Debian package from BUILD (the "package" preset's build) and checks it as Debian
# would: lintian finds no error and no warning, hardening-check passes on every binary, the
# AppStream metadata is valid. Then installs it with apt into a fresh minimal root of the Debian
# release it was built on (debootstrap), with the packages it depends on and nothing they only
# recommend, and starts it there on a real X server of the host's: its window must look
# exactly as the window of the program in BUILD, and its help must open in the viewer. Needs
# root (chroot) and Debian's package
# archive (QUORVANE_DEBIAN_MIRROR).
# Usage: tests/install/check-deb.sh BUILD
set -euo pipefail
if [ "$(id -u)" != 0 ]; then
    echo "debian package: skipped, installing into a root needs root"
    exit 77
fi
build=$(cd "$1" && pwd)
# shellcheck source=tests/support/common.sh
source "$(dirname "$0")/../support/common.sh"
root=$work/root
on_exit() {
    umount "$root/proc" 2>/dev/null || true
}
# Runs COMMAND in the root, its output kept in a log whose end shows when it fails.
in_root() {
    chroot "$root" /bin/sh -c "$1" >>"$work/apt.log" 2>&1 && return
    tail -n 20 "$work/apt.log" >&2
    fail "$1"
}

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null) ||
    fail "cpack"
deb=$(ls "$work"/quorvane_*.deb)
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >&2 || fail "lintian"
dpkg-deb -x "$deb" "$work/contents"
appstreamcli validate --no-net --pedantic "$work"/contents/usr/share/metainfo/*.xml >/dev/null ||
    fail "metainfo"
# Control-flow protection is left out: the C library start files of Debian 12 carry no IBT or
# SHSTK property, so the linker drops it from every program built there. quorvane-icons has no
# call that fortify can check at run time: every copy goes into a buffer whose size only our
# own bounds checks know. Debian 13's hardening-check asks every binary for AArch64's branch
# protection, which no amd64 program has.
skip=(--quiet --nocfprotection)
grep -q nobranchprotection "$(command -v hardening-check)" && skip+=(--nobranchprotection)
hardening-check "${skip[@]}" "$work/contents/usr/lib/quorvane/quorvane" ||
    fail "hardening"
hardening-check "${skip[@]}" --nofortify "$work/contents/usr/bin/quorvane-icons" ||
    fail "hardening"
# the package depends on its libraries
release=$(sed -n "s/^VERSION_CODENAME=//p" /etc/os-release)
mirror=${QUORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
debootstrap --variant=minbase "$release" "$root" "$mirror" >"$work/apt.log" 2>&1 ||
    fail "debootstrap"
cp "$deb" "$root/tmp/quorvane.deb"
in_root 'apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends /tmp/quorvane.deb'
# The program with its help file beside it, and the command in bin/ a link to it.
for f in lib/quorvane/Quorvane.hlp lib/quorvane/Quorvane.qch share/doc/quorvane/copyright; do
    [ -f "$root/usr/$f" ] || fail "$f is not there"
done
[ "$(readlink "$root/usr/bin/quorvane")" = ../lib/quorvane/quorvane ] ||
    fail "bin/quorvane is no link to the program"

# An X server on the host that the root reaches over loopback TCP, with a window manager. The
# program finds its own directory through /proc/self/exe.
mount -t proc proc "$root/proc"
start_x -listen tcp
# the window's menu bar and client area
snap() {
    import -window "$(window --name '^Quorvane$')" "$1"
}
# built here, for the picture to match
"$build/bin/quorvane" >/dev/null 2>&1 &
pids+=($!)
sleep 2
snap "$work/built.png"
kill "${pids[-1]}"
gone --name '^Quorvane$' || fail "the built program did not end"
display=127.0.0.1:$display_number
chroot "$root" env DISPLAY="$display" HOME=/root quorvane >"$work/program.log" 2>&1 &
program=$!
pids+=("$program")
[ -n "$(window --name '^Quorvane$')" ] ||
    fail "no window from the packaged program: $(cat "$work/program.log")"
sleep 1
snap "$work/packaged.png"
[ "$(compare -metric AE "$work/packaged.png" "$work/built.png" null: 2>&1)" = 0 ] ||
    fail "the packaged program's window differs from the built one's: fonts or styles missing"
xdotool windowactivate --sync "$(window --name '^Quorvane$')" key alt+h sleep 0.5 key c
[ -n "$(window --class assistant)" ] ||
    fail "the help viewer did not open from the packaged program"
xdotool windowactivate --sync "$(window --name '^Quorvane$')" key alt+F4
ends $program || fail "the packaged program did not end"
