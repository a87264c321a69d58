#!/usr/bin/env bash
# Runs COMMAND with BUILD installed under /usr, as the Debian package installs it, without
# touching the machine's /usr: BUILD is installed into a temporary folder, which a mount
# namespace of the command's own lays over /usr, and the command runs there in a D-Bus session
# of its own. (The user is mapped to root in a user namespace of its own, where any user may
# mount.) GNOME's thumbnail factory runs thumbnailers in a sandbox that sees /usr only.
# Usage: tools/dev/over-usr.sh BUILD COMMAND...
set -euo pipefail
build=$1
shift
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
DESTDIR=$tree cmake --install "$build" --prefix /usr >/dev/null
# shellcheck disable=SC2016 # expanded by the inner shell
unshare --map-root-user --mount sh -c 'mount -t overlay overlay -o "lowerdir=$0/usr:/usr" /usr &&
    exec dbus-run-session -- "$@"' "$tree" "$@"
