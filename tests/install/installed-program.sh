#!/usr/bin/env bash
# The installed program on a virtual X server: its window opens (its picture kept in
# AUTOPKGTEST_ARTIFACTS as window.png), its help opens in Qt Assistant, and Alt+X ends it.
set -euo pipefail
# shellcheck source=tests/support/common.sh
source "$(dirname "$0")/../support/common.sh"
start_x -nolisten tcp
HOME=$work quorvane &
program=$!
pids+=("$program")
main=$(window --name '^Quorvane$')
[ -n "$main" ] || fail "no window from the program"
sleep 1
import -window "$main" "${AUTOPKGTEST_ARTIFACTS:-$work}/window.png"
xdotool windowactivate --sync "$main" key alt+h sleep 0.5 key c
[ -n "$(window --class assistant)" ] || fail "the help viewer did not open"
xdotool windowactivate --sync "$main" key alt+x
ends "$program" || fail "the program did not end"
echo "quorvane: its window, its help and its end"
