#!/usr/bin/env bash
# Measures the icon reader (Google Benchmark) and, as whole processes, quorvane-icons against
# icoutils' wrestool doing the same work on the same files. Prints Markdown for
# docs/performance.md.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON -DQUORVANE_TESTS=ON \
    -DQUORVANE_GUI=OFF >/dev/null
cmake --build build-bench --target icon_bench quorvane-icons quorvane-icons-shared-runtime >/dev/null
tool=build-bench/bin/quorvane-icons
wine=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows

echo "### In-process (Google Benchmark, \`bench/run-icon-bench.sh\`)"
echo
echo '```'
build-bench/bench/icon_bench --benchmark_min_time=0.5 2>/dev/null | grep -E '^(Benchmark|-|count|extract|png)'
echo '```'
echo
echo "### Whole processes (hyperfine, mean ± σ)"
echo
echo "| file | size | \`quorvane-icons count\` | \`wrestool -l --type=14\` | ratio |"
echo "|---|---|---|---|---|"
json=$(mktemp)
for f in $wine/shell32.dll $wine/comctl32.dll $wine/user32.dll; do
    hyperfine -N --warmup 20 --runs 300 --export-json "$json" \
        "$tool count $f" "wrestool -l --type=14 $f" >/dev/null 2>&1
    python3 - "$json" "$f" <<'PY'
import json, os, sys
r = json.load(open(sys.argv[1]))["results"]
ours, theirs = r[0], r[1]
fmt = lambda x: f"{x['mean']*1e3:.2f} ± {x['stddev']*1e3:.2f} ms"
print(f"| {os.path.basename(sys.argv[2])} | {os.path.getsize(sys.argv[2])/1e6:.1f} MB | {fmt(ours)} | {fmt(theirs)} | {theirs['mean']/ours['mean']:.1f}× |")
PY
done
echo
echo "| file | \`quorvane-icons extract FILE 0 OUT.ico\` | \`wrestool -x --type=14 --name=NAME\` | ratio |"
echo "|---|---|---|---|"
out=$(mktemp -d)
for f in $wine/shell32.dll $wine/user32.dll; do
    name=$(wrestool -l --type=14 "$f" | sed -nE "1s/.*--name='?([^' ]*)'? .*/\1/p")
    hyperfine -N --warmup 10 --runs 100 --export-json "$json" \
        "$tool extract $f 0 $out/ours.ico" "wrestool -x --type=14 --name=$name -o $out/theirs.ico $f" >/dev/null 2>&1
    # wrestool appends stray bytes to its output; the bytes before them must be ours exactly.
    cmp -s -n "$(stat -c %s "$out/ours.ico")" "$out/ours.ico" "$out/theirs.ico" && same="same bytes" || same="files differ"
    python3 - "$json" "$f" "$same" <<'PY'
import json, os, sys
r = json.load(open(sys.argv[1]))["results"]
ours, theirs = r[0], r[1]
fmt = lambda x: f"{x['mean']*1e3:.2f} ms"
print(f"| {os.path.basename(sys.argv[2])} ({sys.argv[3]}) | {fmt(ours)} | {fmt(theirs)} | {theirs['mean']/ours['mean']:.1f}× |")
PY
done

echo
echo "### Start-up of the tool against \`/bin/true\` (hyperfine, mean ± σ)"
echo
echo "| command | as shipped (libstdc++ linked in) | libstdc++ shared | \`/bin/true\` |"
echo "|---|---|---|---|"
for args in --version "count $wine/shell32.dll"; do
    # shellcheck disable=SC2086 # ARGS is two words on purpose
    hyperfine -N --warmup 20 --runs 500 --export-json "$json" \
        "$tool $args" "build-bench/bench/quorvane-icons-shared-runtime $args" /bin/true >/dev/null 2>&1
    python3 - "$json" "${args/$wine\//}" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
true = r[2]["mean"]
fmt = lambda x: f"{x['mean']*1e3:.2f} ± {x['stddev']*1e3:.2f} ms ({x['mean']/true:.2f}×)"
print(f"| `quorvane-icons {sys.argv[2]}` | {fmt(r[0])} | {fmt(r[1])} | {true*1e3:.2f} ms |")
PY
done
rm -rf "$out" "$json"
