#!/usr/bin/env bash
# Fails when a file crosses the layers: the about window includes nothing of the main window
# (browser/), the reader's private headers (platform/icons/src/) are included only inside the
# reader, and the reader includes nothing of Qt. Run by the build.
# Usage: tools/dev/check-layering.sh SOURCE_DIR
set -euo pipefail
cd "$1"
headers() { find "$1" -name '*.h' -printf '%f\n' | sed 's/\./\\./g' | paste -sd '|'; }
sources() { find "$@" -name '*.cpp' -o -name '*.h'; }
# The includes of the files listed on standard input that name a header matching WHAT.
crossing() { xargs grep -HnE "^#include [\"<]([^\">]*/)?($1)[\">]" || true; }
found=$(
    sources about | crossing "$(headers browser)"
    sources app browser about platform tools bench fuzz tests | grep -v '^platform/icons/src/' |
        crossing "$(headers platform/icons/src)|icons/src/[^\">]*"
    sources platform/icons | crossing 'Q[A-Za-z]*|Qt[A-Za-z]*/[^">]*'
)
if [ -n "$found" ]; then
    echo "check-layering: includes across the layers:" >&2
    echo "$found" >&2
    exit 1
fi
