#!/usr/bin/env bash
# Runs COMMAND… in ROOT, a Debian root made by debootstrap, as on a machine of its own: ROOT
# becomes the root of a mount namespace of its own (pivot_root) with the host's /dev and /sys
# and a /proc. Not chroot: in a chroot the kernel refuses the user namespaces that bubblewrap's
# sandboxes need. Options before ROOT go to unshare (--uts, say). Needs root.
# Usage: tools/dev/in-root.sh [UNSHARE-OPTION…] ROOT COMMAND…
set -euo pipefail
options=()
while [[ $1 == -* ]]; do
    options+=("$1")
    shift
done
root=$1
shift
# shellcheck disable=SC2016 # expanded by the inner shell
exec unshare --mount --fork "${options[@]}" sh -c 'mount --make-rprivate / &&
    mount --rbind "$0" "$0" && mount -t proc proc "$0/proc" && mount --rbind /sys "$0/sys" &&
    mount --rbind /dev "$0/dev" && cd "$0" && pivot_root . mnt && cd / && umount -l /mnt &&
    exec "$@"' "$root" "$@"
