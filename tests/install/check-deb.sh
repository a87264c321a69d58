#!/usr/bin/env bash
# Makes the Debian package from BUILD (the "package" preset's build) and checks it as Debian
# would: lintian finds no error and no warning, and hardening-check passes on every binary.
# Then installs it with apt into a fresh minimal root of the Debian release it was built on
# (debootstrap), with the packages it depends on and nothing they only recommend, and starts it there on a real X
# server of the host's: its window must look exactly as the window of the program in BUILD,
# its help must open in the viewer, the tool must read a real file and its manual page must
# show. Needs root (chroot) and Debian's package archive (QUORVANE_DEBIAN_MIRROR).
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
on_exit() { umount "$root/proc" 2>/dev/null || true; }
in_root() { chroot "$root" /bin/sh -c "$1" >>"$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log" >&2; fail "$1"; }; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null) || fail "cpack"
deb=$(ls "$work"/quorvane_*.deb)
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >&2 || fail "lintian finds errors or warnings in the package"
dpkg-deb -x "$deb" "$work/contents"
[ "$(find "$work/contents" -type f -exec file {} + | grep -c ELF)" = 2 ] || fail "the package holds other binaries"
# Control-flow protection is left out: the C library start files of Debian 12 (Scrt1.o, crti.o)
# carry no IBT/SHSTK property, so the linker drops it from every program built there.
# quorvane-icons has no call that fortify can check at run time: every copy and read in it is
# either proved safe by the compiler or goes into a buffer whose size only our own bounds
# checks know, so hardening-check finds only unchecked functions in it. That it was built with
# fortify is checked on the build's compile commands instead.
hardening-check --quiet --nocfprotection "$work/contents/usr/lib/quorvane/quorvane" || fail "hardening-check on quorvane"
hardening-check --quiet --nocfprotection --nofortify "$work/contents/usr/bin/quorvane-icons" ||
    fail "hardening-check on quorvane-icons"
[ "$(grep -c '"command"' "$build/compile_commands.json")" = "$(grep '"command"' "$build/compile_commands.json" |
    grep -c -- '-D_FORTIFY_SOURCE=3 .*-O2\|-O2 .*-D_FORTIFY_SOURCE=3')" ] || fail "not every file was built with fortify"
# The release this machine runs: the package depends on its libraries.
release=$(sed -n "s/^VERSION_CODENAME=//p" /etc/os-release)
debootstrap --variant=minbase "$release" "$root" "${QUORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}" >"$work/apt.log" 2>&1 ||
    { tail -n 20 "$work/apt.log" >&2; fail "debootstrap"; }
cp "$deb" "$root/tmp/quorvane.deb"
cp /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll "$root/tmp/"
in_root 'apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends /tmp/quorvane.deb'
check_program_dir "$root"
[ "$(chroot "$root" /usr/bin/quorvane-icons count /tmp/shell32.dll)" = "$(icon_groups "$root/tmp/shell32.dll")" ] ||
    fail "the packaged tool"
in_root 'DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends man-db'
chroot "$root" env MANWIDTH=80 man -P cat quorvane-icons 2>/dev/null | grep -q '^EXIT STATUS' ||
    fail "man quorvane-icons does not show the manual page"

# An X server on the host that the root reaches over loopback TCP, with a window manager. The
# program finds its own directory through /proc/self/exe.
mount -t proc proc "$root/proc"
start_x -listen tcp
snap() { import -window "$(window --name '^Quorvane$')" "$1"; } # the window's menu bar and client area
"$build/bin/quorvane" >/dev/null 2>&1 & # the program built here, for the picture to match
pids+=($!)
sleep 2
snap "$work/built.png"
kill "${pids[-1]}"
gone --name '^Quorvane$' || fail "the built program did not end"
chroot "$root" env DISPLAY="127.0.0.1:$display_number" HOME=/root /usr/bin/quorvane >"$work/program.log" 2>&1 &
program=$!
pids+=("$program")
[ -n "$(window --name '^Quorvane$')" ] || { cat "$work/program.log" >&2; fail "no window from the packaged program"; }
sleep 1
snap "$work/packaged.png"
[ "$(compare -metric AE "$work/packaged.png" "$work/built.png" null: 2>&1)" = 0 ] ||
    fail "the packaged program's window differs from the built one's (fonts or styles missing?)"
xdotool windowactivate --sync "$(window --name '^Quorvane$')" key alt+h sleep 0.5 key c
[ -n "$(window --class assistant)" ] || fail "the help viewer did not open from the packaged program"
xdotool windowactivate --sync "$(window --name '^Quorvane$')" key alt+F4
ends $program || fail "the packaged program did not end"
gone --class assistant || fail "the help viewer did not end with the program"
echo "debian package: 1 passed, 0 failed"
