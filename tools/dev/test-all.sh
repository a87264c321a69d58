#!/usr/bin/env bash
# Checks the formatting, then builds Quorvane and runs every test: the normal build, an
# ASan+UBSan build, and the fuzzer (regression inputs replayed, then a short run that starts
# from real Windows files).
set -euo pipefail
cd "$(dirname "$0")/../.."
jobs=$(nproc)
fuzz_seconds=${QUORVANE_FUZZ_SECONDS:-60}

echo "== formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_GUI=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and test"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON -DQUORVANE_GUI=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz the icon reader"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVANE_FUZZ=ON -DQUORVANE_GUI=OFF -DQUORVANE_TESTS=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target icon_reader_fuzz
fuzzer=build-fuzz/fuzz/icon_reader_fuzz
"$fuzzer" -runs=0 fuzz/regressions
samples=build-fuzz/samples
corpus=build-fuzz/corpus
mkdir -p "$samples" "$corpus"
# First inputs: byte-built files of every kind, and small real files (NSIS stubs and icons, NE fonts).
build/tests/write_samples "$samples"
cp /usr/share/nsis/Stubs/zlib-x86-unicode /usr/share/nsis/Stubs/lzma-amd64-unicode \
    /usr/share/nsis/Contrib/Graphics/Icons/*.ico /usr/share/wine/fonts/coure.fon "$samples"/
"$fuzzer" -max_total_time="$fuzz_seconds" -max_len=262144 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix=build-fuzz/ "$corpus" "$samples" fuzz/regressions 2>&1 | tail -n 12
