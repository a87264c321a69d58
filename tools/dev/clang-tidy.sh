#!/usr/bin/env bash
# Runs clang-tidy, with the checks in .clang-tidy, over every C++ source of the project in the
# compile database of BUILD. Exits non-zero on any finding. Usage: tools/dev/clang-tidy.sh BUILD
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
# The database holds the compiler's own flags: clang does not know all of gcc's warnings, and
# -Werror is the compiler's business, not the linter's.
run-clang-tidy-19 -p "$build" -j "$(nproc)" -quiet \
    -extra-arg=-Wno-unknown-warning-option -extra-arg=-Wno-error \
    "^$PWD/(app|browser|about|platform|tools|tests|bench|fuzz)/.*\.cpp\$" >"$build/clang-tidy.log" 2>&1 ||
    {
        sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.log" | grep -E -A3 '(warning|error):' >&2
        echo "clang-tidy: findings above (whole output in $build/clang-tidy.log)" >&2
        exit 1
    }
echo "clang-tidy: clean"
