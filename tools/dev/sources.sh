#!/usr/bin/env bash
# Prints, NUL-separated, the project's files whose names match the given patterns, leaving out
# the build trees. Works in a git checkout and in an unpacked source tree alike.
# Usage: tools/dev/sources.sh PATTERN…
set -euo pipefail
cd "$(dirname "$0")/../.."
names=()
for pattern in "$@"; do
    [ ${#names[@]} -eq 0 ] || names+=(-o)
    names+=(-name "$pattern")
done
find . \( -path './build*' -o -path './.git' -o -path ./fuzz/corpus-work \) -prune -o \
    -type f \( "${names[@]}" \) -print0 | sort -z
