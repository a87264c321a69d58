#!/usr/bin/env bash
# Builds Quorvane's Debian packages as Debian's builders do: the source package, made from this
# tree by dpkg-source, is built by dpkg-buildpackage in a fresh minimal root of the host's
# release (debootstrap) that holds only build-essential and the declared build dependencies.
# Leaves the source and binary packages with their .buildinfo and .changes in OUT, and the log
# in OUT/build.log. The build runs in PLACE inside the root (default /build/quorvane) with the
# caller's umask, LC_ALL, TZ and DEB_BUILD_OPTIONS. Needs root and Debian's package archive
# (QUORVANE_DEBIAN_MIRROR).
# Usage: tools/dev/build-debian-packages.sh OUT [PLACE]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
place=${2:-/build/quorvane}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
log=$out/build.log
rm -f "$out"/quorvane[_-]* "$log"
# The end of the log, and what failed.
die() {
    tail -n 20 "$log" >&2
    echo "build-debian-packages: failed: $1" >&2
    exit 1
}
# Runs COMMAND in the root, its output in the log.
in_root() {
    "$here/in-root.sh" "$root" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        LANG=C.UTF-8 LC_ALL="${LC_ALL:-}" TZ="${TZ:-}" DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-}" \
        sh -c "$1" >>"$log" 2>&1 || die "$1"
}

release=$(sed -n "s/^VERSION_CODENAME=//p" /etc/os-release)
mirror=${QUORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
debootstrap --variant=minbase "$release" "$root" "$mirror" >>"$log" 2>&1 || die debootstrap
(cd "$root/tmp" && dpkg-source -b "$here/../..") >>"$log" 2>&1 || die dpkg-source
in_root 'apt-get update && apt-get install -y --no-install-recommends build-essential &&
    apt-get build-dep -y /tmp/quorvane_*.dsc'
in_root "mkdir -p ${place%/*} && dpkg-source -x /tmp/quorvane_*.dsc $place &&
    cd $place && dpkg-buildpackage -us -uc"
cp "$root${place%/*}"/quorvane[_-]* "$out"/
