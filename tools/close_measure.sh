#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# How long CLOSE takes during the memory test: from the click until the window has left the
# screen, and until the process has ended. Starts the program under its own Xvfb, runs RAM
# TEST on a block that a data limit of LIMIT_GIB allows, clicks CLOSE mid-cycle, RUNS times.
#   tools/close_measure.sh [PROGRAM [LIMIT_GIB [RUNS]]]
# PROGRAM defaults to the build tree's build/app/corvane. With BUSY=1 one core is kept busy.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
PROGRAM=${1:-$top/build/app/corvane} LIMIT_GIB=${2:-2} RUNS=${3:-5}
source "$top/tests/e2e_lib.sh" "$PROGRAM" "$top/build/screenshots"
start_xvfb
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
BUSY_PID=""
[ "${BUSY:-0}" = 1 ] && { sh -c 'while :; do :; done' & BUSY_PID=$!; }
trap '[ -n "$BUSY_PID" ] && kill "$BUSY_PID"; cleanup' EXIT
RAM_PASSES=(100 14 52 388)
for run in $(seq "$RUNS"); do
  (ulimit -d $(( LIMIT_GIB << 20 )) && exec "$PROGRAM") &
  APP_PID=$!
  WINDOW=$(wait_for_window "^Corvane v" 60) || fail "main window did not appear"
  lower_tab diag
  no_passes=$(area_look "${RAM_PASSES[@]}")
  click_at 224 468  # RUN in "RAM TEST"
  area_changes_from 120 "$no_passes" "${RAM_PASSES[@]}" >/dev/null || fail "no pass counted"
  sleep 1
  closed=$(now_ms)
  click_at 353 468  # CLOSE
  gone=$(window_gone_within 10 "$WINDOW" "$closed") || gone="-"
  expect_exit_zero 10
  echo "run $run: window gone after $gone ms, process gone after $(( $(now_ms) - closed )) ms"
done
