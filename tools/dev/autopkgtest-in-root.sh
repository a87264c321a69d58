#!/usr/bin/env bash
# Runs debian/tests on the packages in OUT (as tools/dev/build-debian-packages.sh leaves them) in
# a fresh minimal root of the host's release that holds only autopkgtest: autopkgtest runs there
# with its "null" server and installs the packages and what the tests need. Its results go to
# OUT/autopkgtest (summary, logs, the tests' artifacts), its log to OUT/autopkgtest.log. Exits 1
# when a test did not pass. Needs root and Debian's package archive (QUORVANE_DEBIAN_MIRROR).
# Usage: tools/dev/autopkgtest-in-root.sh OUT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(cd "$1" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
log=$out/autopkgtest.log
release=$(sed -n "s/^VERSION_CODENAME=//p" /etc/os-release)
mirror=${QUORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
debootstrap --variant=minbase "$release" "$root" "$mirror" >"$log" 2>&1
mkdir "$root/tmp/packages"
cp "$out"/quorvane[_-]* "$root/tmp/packages/"
rm -rf "$out/autopkgtest"
"$here/in-root.sh" "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin sh -c \
    'apt-get update && apt-get install -y --no-install-recommends autopkgtest &&
    autopkgtest -o /tmp/results /tmp/packages/quorvane_*.changes -- null' >>"$log" 2>&1 || true
cp -r "$root/tmp/results" "$out/autopkgtest"
cat "$out/autopkgtest/summary"
! grep -v ' PASS$' "$out/autopkgtest/summary" >&2
