#!/usr/bin/env bash
# Measures every quorvane-icons command, as a whole process, on the largest real file and on
# each hostile file that tests/icons/builders.py writes, and on system modules whose resource
# file (.mun) is hostile: exit status, time and peak resident memory (/usr/bin/time). Prints
# Markdown for docs/performance.md.
# Usage: bench/run-budget-bench.sh [OTHER_TOOL]  (OTHER_TOOL: a second build to measure beside)
set -euo pipefail
cd "$(dirname "$0")/.."
other=${1:-}
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON -DQUORVANE_TESTS=ON \
    -DQUORVANE_GUI=OFF >/dev/null
cmake --build build-bench --target quorvane-icons >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 tests/icons/builders.py "$work"
# System modules without icons whose resource file (.mun) is hostile: each in a Windows folder
# of its own, work/mun-NAME/Windows.
/usr/bin/python3 - "$work" <<'EOF'
import sys
sys.path.insert(0, "tests/icons")
from builders import *

small = flat(0xFF336699, 16)
big = (0, 0) + flat(0xFF336699, 256)[2:]
groups = [(i, [(0, group_directory([small]))]) for i in range(1, 65536)]
icons = (RT_ICON, [(1, [(0, small[4])])])
for name, mun in {
    "mun-300-images": pe(group(1, [small] * 300) + mui()),
    "mun-256-entries-one-image": pe(group(1, [big] * 256) + mui()),
    "mun-65535-groups": pe_tree(resource_tree(mui()) + [icons, (RT_GROUP_ICON, groups)]),
}.items():
    system_resources(f"{sys.argv[1]}/{name}", mun)
EOF
files=(/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll "$work"/* "$work"/mun-*/Windows/system32/*)

# One cell: "exit status, seconds, MiB" of TOOL ARGS…, its output thrown away; a run past
# 60 s is stopped (status 124).
cell() {
    local tool=$1 status=0
    shift
    ulimit -v 8388608 # 8 GiB, so that an unbounded build fails instead of taking the machine
    /usr/bin/time -f '%e %M' -o "$work/.time" timeout 60 "$tool" "$@" >/dev/null 2>&1 || status=$?
    rm -rf "$work/.out.png" "$work/.out.ico" "$work/.all"
    awk -v s="$status" 'END {printf "%s, %.2f s, %.1f MiB", s, $1, $2 / 1024}' "$work/.time"
}

# A file's row: every command, render and extract on its last icon.
row() {
    local tool=$1 f=$2 last
    last=$(($("$tool" count "$f") - 1))
    [ "$last" -ge 0 ] || last=0
    local name=${f#"$work"/}
    name=${name%%/*}
    [ -n "$name" ] || name=$(basename "$f")
    printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$(stat -c %s "$f")" \
        "$(cell "$tool" count "$f")" "$(cell "$tool" list "$f")" "$(cell "$tool" list --json "$f")" \
        "$(cell "$tool" render "$f" "$last" "$work/.out.png")" \
        "$(cell "$tool" extract "$f" "$last" "$work/.out.ico")" \
        "$(cell "$tool" extract --all "$f" "$work/.all")" \
        "$(cell "$tool" thumbnail -s 256 "$f" "$work/.out.png")"
}

for tool in build-bench/bin/quorvane-icons $other; do
    echo "#### \`$tool\` (exit status, time, peak memory)"
    echo
    echo "| file | bytes | count | list | list --json | render | extract | extract --all | thumbnail |"
    echo "|---|---|---|---|---|---|---|---|---|"
    for f in "${files[@]}"; do
        [ -f "$f" ] && row "$tool" "$f"
    done
    echo
done
