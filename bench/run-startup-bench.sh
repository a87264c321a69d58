#!/usr/bin/env bash
# Measures start-up to the first painted frame, confirming the open dialog to the icon painted,
# and resident memory, for the program and for bare Qt Widgets windows, on a virtual X server
# with a D-Bus session bus, as on a desktop. Then counts the instructions each executes up to
# its first painted frame (callgrind), which, unlike times, do not vary from run to run.
# Prints Markdown for docs/performance.md.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    exec dbus-run-session -- "$0" "$@"
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON -DQUORVANE_TESTS=ON \
    -DQUORVANE_GUI=ON >/dev/null
cmake --build build-bench --target startup_bench startup_bench_bare startup_bench_bare_ja >/dev/null
runs=${RUNS:-30}
wine=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
files=("$wine/shell32.dll" "$wine/user32.dll" "$wine/winecfg.exe" /usr/share/nsis/Stubs/zlib-x86-unicode)
benches=(startup_bench_bare startup_bench_bare_ja startup_bench)
work=$(mktemp -d)
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb; rm -rf "$work"' EXIT
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
DISPLAY=:$(cat "$work/display")
export DISPLAY
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
build-bench/bench/startup_bench --first-frame # a first start that also brings up the session's services
for _ in $(seq "$runs"); do
    build-bench/bench/startup_bench_bare "$(date +%s%N)" >>"$work/bare"
    build-bench/bench/startup_bench_bare_ja "$(date +%s%N)" >>"$work/bare_ja"
    build-bench/bench/startup_bench "$(date +%s%N)" "${files[@]}" >>"$work/quorvane"
done
# Instructions up to the first frame: the whole process, and the part spent setting up Qt's font
# database (fontconfig reading its configuration and the list of installed fonts).
for bench in "${benches[@]}"; do
    valgrind --tool=callgrind --callgrind-out-file="$work/$bench.%p.cg" \
        "build-bench/bench/$bench" --first-frame >/dev/null 2>&1 &
    wait $!
    out=$(ls "$work/$bench".$!.cg)
    total=$(callgrind_annotate "$out" | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
    fonts=$(callgrind_annotate --inclusive=yes --threshold=100 "$out" |
        awk '/QFontconfigDatabase::populateFontDatabase/ && !n++ {gsub(",", "", $1); print $1}')
    echo "$bench ${total:-0} ${fonts:-0}" >>"$work/instructions"
done
python3 - "$work" "$runs" <<'PY'
import statistics as st, sys, collections, os
work, runs = sys.argv[1], sys.argv[2]
def read(name):
    d = collections.defaultdict(list)
    for line in open(os.path.join(work, name)):
        parts = line.split()
        key = parts[0] if parts[0] != "open_ms" else "open_ms " + os.path.basename(parts[1])
        d[key].append(float(parts[-1]))
    return d
bare, bare_ja, ours = read("bare"), read("bare_ja"), read("quorvane")
med = st.median
print(f"Median of {runs} runs each, alternating, on Xvfb with a D-Bus session (`bench/run-startup-bench.sh`):")
print()
print("| measure | Quorvane | bare Qt Widgets window | ratio | bare window with one Japanese label | ratio |")
print("|---|---|---|---|---|---|")
for key, name, unit, scale in (("startup_ms", "start to first painted frame", "ms", 1), ("rss_kb", "resident memory at the end", "MiB", 1024)):
    o, b, j = med(ours[key]) / scale, med(bare[key]) / scale, med(bare_ja[key]) / scale
    print(f"| {name} | {o:.1f} {unit} | {b:.1f} {unit} | {o/b:.2f}× | {j:.1f} {unit} | {o/j:.2f}× |")
counts = {line.split()[0]: [int(x) for x in line.split()[1:]] for line in open(os.path.join(work, "instructions"))}
o, b, j = counts["startup_bench"], counts["startup_bench_bare"], counts["startup_bench_bare_ja"]
m = lambda n: f"{n / 1e6:.1f} M"
print(f"| instructions to first frame (callgrind) | {m(o[0])} | {m(b[0])} | {o[0]/b[0]:.2f}× | {m(j[0])} | {o[0]/j[0]:.2f}× |")
print(f"| of which Qt's font database set-up | {m(o[1])} | {m(b[1])} | | {m(j[1])} | |")
print()
print("| file | dialog confirmed to icon painted (median, max) |")
print("|---|---|")
for key in sorted(k for k in ours if k.startswith("open_ms")):
    print(f"| {key.split(' ',1)[1]} | {med(ours[key]):.2f} ms, {max(ours[key]):.2f} ms |")
PY
