#!/usr/bin/env bash
# Measures `quorvane-icons thumbnail -s 256` as whole processes, one per file, against the
# peers doing the same work on the same files in the same run: icoextract (extracts the first
# group as an .ico), and wrestool + icotool (extract the group, then its largest image as a
# PNG); /bin/true gives the cost of starting a process at all. Prints Markdown for
# docs/performance.md.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON -DQUORVANE_TESTS=ON \
    -DQUORVANE_GUI=OFF >/dev/null
cmake --build build-bench --target quorvane-icons >/dev/null
tool=$PWD/build-bench/bin/quorvane-icons
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Wine's x86_64 programs and libraries with icons: their first icon holds a 256x256 PNG, which
# is the image taken. NSIS's installer stubs: 32x32 DIBs only, so the image taken is a DIB.
png_files=() dib_files=()
for f in /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/*.{dll,exe}; do
    [ "$("$tool" count "$f")" -gt 0 ] && png_files+=("$f")
done
for f in /usr/share/nsis/Stubs/*; do
    # (uninst is an .ico file, which wrestool does not read)
    "$tool" list --json "$f" | grep -q '"kind": "PE"' && [ "$("$tool" count "$f")" -gt 0 ] && dib_files+=("$f")
done

# One script a tool and a set: a command line per file, so each file costs a process.
write_scripts() { # SET FILE...
    local set=$1 f name index
    shift
    : >"$work/$set-ours.sh" && : >"$work/$set-icoextract.sh" && : >"$work/$set-icoutils.sh" && : >"$work/$set-true.sh"
    for f in "$@"; do
        echo "$tool thumbnail -s 256 $f $work/out.png" >>"$work/$set-ours.sh"
        echo "icoextract $f $work/out.ico" >>"$work/$set-icoextract.sh"
        name=$(wrestool -l --type=14 "$f" | sed -nE "1s/.*--name='?([^' ]*)'? .*/\1/p")
        wrestool -x --type=14 --name="$name" -o "$work/group.ico" "$f"
        # The largest image, as icotool numbers them from 1.
        index=$(icotool -l "$work/group.ico" | awk '{ split($0, a, "--width="); split(a[2], w, " ");
            if (w[1] + 0 > best) { best = w[1] + 0; i = NR } } END { print i }')
        echo "wrestool -x --type=14 --name=$name -o $work/group.ico $f && icotool -x --index=$index -o $work/out.png $work/group.ico" \
            >>"$work/$set-icoutils.sh"
        echo "/bin/true $f $work/out.png" >>"$work/$set-true.sh"
    done
}

echo "### Thumbnails as whole processes (hyperfine, \`bench/run-thumbnail-bench.sh\`)"
echo
echo "Per file: the median time of one script that runs the command once for each file (40 runs"
echo "in ten rounds), divided by the number of files."
echo
echo "| files | image taken | \`quorvane-icons thumbnail -s 256\` | \`icoextract\` | \`wrestool\` + \`icotool\` | \`/bin/true\` | icoextract ÷ ours | ours ÷ true |"
echo "|---|---|---|---|---|---|---|---|"
for set in png dib; do
    if [ $set = png ]; then files=("${png_files[@]}") label="wine x86_64, ${#png_files[@]} files" taken="256×256 PNG"; else
        files=("${dib_files[@]}") label="NSIS stubs, ${#dib_files[@]} files" taken="32×32 DIB"
    fi
    write_scripts $set "${files[@]}"
    # Ten rounds of four runs of each, in turn: the machine's speed drifts over minutes, and
    # rounds share the drift out among the commands instead of handing it to one.
    for round in $(seq 10); do
        hyperfine -N --warmup 1 --runs 4 --export-json "$work/$set-$round.json" \
            "bash $work/$set-ours.sh" "bash $work/$set-icoextract.sh" "bash $work/$set-icoutils.sh" \
            "bash $work/$set-true.sh" >/dev/null 2>&1
    done
    /usr/bin/python3 - "${#files[@]}" "$label" "$taken" "$work/$set"-*.json <<'PY'
import json, statistics, sys
rounds = [json.load(open(path))["results"] for path in sys.argv[4:]]
times = [[t for results in rounds for t in results[i]["times"]] for i in range(4)]
r = [statistics.median(t) / int(sys.argv[1]) for t in times]
ms = lambda x: f"{x * 1e3:.2f} ms"
print(f"| {sys.argv[2]} | {sys.argv[3]} | {ms(r[0])} | {ms(r[1])} | {ms(r[2])} | {ms(r[3])} | "
      f"{r[1] / r[0]:.0f}× | {r[0] / r[3]:.2f}× |")
PY
done
