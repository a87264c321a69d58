# shellcheck shell=bash
# Checks shared by the install and package tests; sourced, not run.

fail() { echo "FAILED: $*" >&2; exit 1; }

# The program directory under ROOT/usr: the program with its help file beside it, and the
# command in bin/ a link to it.
check_program_dir() {
    local root=$1
    for f in usr/lib/quorvane/quorvane usr/lib/quorvane/Quorvane.hlp usr/lib/quorvane/Quorvane.qch usr/bin/quorvane-icons \
        usr/share/man/man1/quorvane.1.gz usr/share/man/man1/quorvane-icons.1.gz usr/share/doc/quorvane/copyright; do
        [ -f "$root/$f" ] || fail "$f is not there"
    done
    [ "$(readlink "$root/usr/bin/quorvane")" = ../lib/quorvane/quorvane ] || fail "bin/quorvane is not a link to the program"
    [ -x "$root/usr/bin/quorvane" ] || fail "bin/quorvane does not lead to an executable"
}
