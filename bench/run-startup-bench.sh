#!/usr/bin/env bash
# Measures start-up to the first painted frame, confirming the open dialog to the icon painted,
# and resident memory, for the program and for a bare Qt Widgets window, on a virtual X server.
# Prints Markdown for docs/performance.md.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON -DQUORVANE_TESTS=OFF \
    -DQUORVANE_GUI=ON >/dev/null
cmake --build build-bench --target startup_bench startup_bench_bare startup_bench_bare_ja >/dev/null
runs=${RUNS:-30}
wine=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
files=("$wine/shell32.dll" "$wine/user32.dll" "$wine/winecfg.exe" /usr/share/nsis/Stubs/zlib-x86-unicode)
work=$(mktemp -d)
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
unset QT_QPA_PLATFORM
for i in $(seq "$runs"); do
    build-bench/bench/startup_bench_bare "$(date +%s%N)" >>"$work/bare"
    build-bench/bench/startup_bench_bare_ja "$(date +%s%N)" >>"$work/bare_ja"
    build-bench/bench/startup_bench "$(date +%s%N)" "${files[@]}" >>"$work/quorvane"
done
python3 - "$work/bare" "$work/quorvane" "$runs" "$work/bare_ja" <<'PY'
import statistics as st, sys, collections, os
def read(path):
    d = collections.defaultdict(list)
    for line in open(path):
        parts = line.split()
        key = parts[0] if parts[0] != "open_ms" else "open_ms " + os.path.basename(parts[1])
        d[key].append(float(parts[-1]))
    return d
bare, ours, runs, bare_ja = read(sys.argv[1]), read(sys.argv[2]), sys.argv[3], read(sys.argv[4])
med = lambda v: st.median(v)
print(f"Median of {runs} runs each, alternating, on Xvfb (`bench/run-startup-bench.sh`):")
print()
print("| measure | Quorvane | bare Qt Widgets window | ratio | bare window with one Japanese label | ratio |")
print("|---|---|---|---|---|---|")
for key, name, unit, scale in (("startup_ms", "start to first painted frame", "ms", 1), ("rss_kb", "resident memory at the end", "MiB", 1024)):
    o, b, j = med(ours[key]) / scale, med(bare[key]) / scale, med(bare_ja[key]) / scale
    print(f"| {name} | {o:.1f} {unit} | {b:.1f} {unit} | {o/b:.2f}× | {j:.1f} {unit} | {o/j:.2f}× |")
print()
print("| file | dialog confirmed to icon painted (median, max) |")
print("|---|---|")
for key in sorted(k for k in ours if k.startswith("open_ms")):
    print(f"| {key.split(' ',1)[1]} | {med(ours[key]):.2f} ms, {max(ours[key]):.2f} ms |")
PY
