#!/usr/bin/env bash
# Checks the Debian packages as Debian would. tools/dev/build-debian-packages.sh builds them in
# a fresh root with only the build dependencies, twice: the second time later, in another place,
# with another locale, time zone, umask and number of jobs, and both must be the same to the byte.
# Then lintian (with --pedantic: no error, no warning), appstreamcli and hardening-check check
# them, and autopkgtest runs debian/tests on them in a fresh root (autopkgtest-in-root.sh): the
# window that the installed program showed there must be exactly the window of the program in
# BUILD. Needs root and Debian's package archive (QUORVANE_DEBIAN_MIRROR).
# Usage: tests/install/check-package.sh BUILD OUT
#   OUT receives the packages, the logs and autopkgtest's results.
set -euo pipefail
if [ "$(id -u)" != 0 ]; then
    echo "debian package: skipped, building in a root needs root"
    exit 77
fi
tools=$(dirname "$0")/../../tools/dev
out=$2
# shellcheck source=tests/support/common.sh
source "$(dirname "$0")/../support/common.sh"

"$tools/build-debian-packages.sh" "$out" || fail "the build"
(umask 002 && LC_ALL=C TZ=JST-9 DEB_BUILD_OPTIONS=parallel=1 \
    "$tools/build-debian-packages.sh" "$work/again" /srv/a/longer/path/quorvane) ||
    fail "the second build"
(cd "$out" && sha256sum ./*.deb) | (cd "$work/again" && sha256sum --check --quiet) >&2 ||
    fail "two builds differ"

# The packages follow Debian 13's Standards-Version, 4.7.2, newer than Debian 12's lintian knows.
lintian --pedantic --display-info --fail-on error,warning --suppress-tags newer-standards-version \
    "$out"/*.changes >&2 || fail "lintian"
for deb in "$out"/*.deb; do
    dpkg-deb -x "$deb" "$work/contents"
done
appstreamcli validate --no-net --pedantic "$work"/contents/usr/share/metainfo/*.xml >/dev/null ||
    fail "metainfo"
# Control-flow protection is left out: the C library start files of Debian 12 carry no IBT or
# SHSTK property, so the linker drops it from every program built there. quorvane-icons has no
# call that fortify can check at run time: every copy goes into a buffer whose size only our
# own bounds checks know. Debian 13's hardening-check asks every binary for AArch64's branch
# protection, which no amd64 program has.
skip=(--quiet --nocfprotection)
grep -q nobranchprotection "$(command -v hardening-check)" && skip+=(--nobranchprotection)
hardening-check "${skip[@]}" "$work/contents/usr/lib/quorvane/quorvane" || fail "hardening"
hardening-check "${skip[@]}" --nofortify "$work/contents/usr/bin/quorvane-icons" ||
    fail "hardening"

"$tools/autopkgtest-in-root.sh" "$out" || fail "autopkgtest"

start_x -nolisten tcp
"$1/bin/quorvane" >/dev/null 2>&1 &
pids+=($!)
sleep 2
import -window "$(window --name '^Quorvane$')" "$work/built.png"
same "$out/autopkgtest/artifacts/window.png" "$work/built.png" ||
    fail "the packaged program's window is not the built one's: a font or style is missing"
echo "Debian packages: built twice the same, lintian and autopkgtest pass"
