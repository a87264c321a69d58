#!/usr/bin/env bash
# Checks the formatting and the linters, then builds Quorvane and runs every test: the normal
# build, an ASan+UBSan build, the Debian packages (built from the source package in a clean
# root, twice to the same bytes, checked with lintian and hardening-check, then installed and
# tested by autopkgtest in a fresh root), and the fuzzer (regression inputs replayed, then a
# short run that starts from real Windows files). The builds are the presets of
# CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")/../.."
jobs=$(nproc)
fuzz_seconds=${QUORVANE_FUZZ_SECONDS:-60}

echo "== formatting, shell scripts and the size of the tests"
tools/dev/sources.sh '*.cpp' '*.h' | xargs -0 clang-format-19 --dry-run -Werror
tools/dev/sources.sh '*.py' | xargs -0 black --check --quiet --line-length 100
tools/dev/sources.sh '*.sh' | xargs -0 shfmt --diff --indent 4 .ci/run
tools/dev/sources.sh '*.sh' | xargs -0 shellcheck
tools/dev/test-lines.py

echo "== build and test"
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs"
echo "== clang-tidy"
tools/dev/clang-tidy.sh build
ctest --preset dev -j "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and test"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

echo "== Debian packages"
tests/install/check-package.sh build build-deb

echo "== fuzz the icon reader"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
fuzzer=build-fuzz/fuzz/icon_reader_fuzz
"$fuzzer" -runs=0 fuzz/regressions
samples=build-fuzz/samples
corpus=build-fuzz/corpus
mkdir -p "$samples" "$corpus"
# First inputs: small real files of every kind (NSIS stubs and icons, an NE font, wine programs).
cp /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/{winemine,notepad}.exe /usr/share/nsis/Stubs/zlib-x86-unicode /usr/share/nsis/Stubs/lzma-amd64-unicode \
    /usr/share/nsis/Contrib/Graphics/Icons/*.ico /usr/share/wine/fonts/coure.fon "$samples"/
# Tight memory limits make a memory bomb a finding: no input may take more than 256 MB in all,
# nor any one allocation more than 32 MB (the reader's budgets keep it under 20 MB). A small
# quarantine keeps AddressSanitizer's freed blocks from counting as growth.
ASAN_OPTIONS=quarantine_size_mb=16 "$fuzzer" -max_total_time="$fuzz_seconds" -max_len=262144 \
    -rss_limit_mb=256 -malloc_limit_mb=32 -dict=fuzz/icon-formats.dict -print_final_stats=1 \
    -artifact_prefix=build-fuzz/ "$corpus" "$samples" fuzz/regressions 2>&1 | tail -n 12
