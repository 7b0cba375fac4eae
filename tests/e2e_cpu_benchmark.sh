# SPDX-License-Identifier: GPL-3.0-or-later
# The real program in a real window: RUN on "CPU Benchmark " runs the 29 rows to their end,
# and a screenshot of the finished page is kept. The window answers the window manager's
# pings within a second all along: idle on "CPU Info" with the clock refresh on, and during
# the whole run.
source "$(dirname "$0")/e2e_lib.sh"
start_xvfb
start_corvane

# Panel14, the status panel left of RUN, in window coordinates.
PANEL14=(257 25 4 457)

start_pinging "$WINDOW" "idle on CPU Info"
sleep 3
stop_pinging

lower_tab cpu
empty=$(area_look "${PANEL14[@]}")
start_pinging "$WINDOW" "the CPU benchmark"
click_at 293 469  # RUN
benchmarking=$(area_changes_from 30 "$empty" "${PANEL14[@]}") || fail "\"Benchmarking...\" never appeared"
echo "run started"
screenshot cpu-benchmark-running
# The panel changes once more, to "Your CPU score: N Mark!", when all 29 rows are done.
area_changes_from 270 "$benchmarking" "${PANEL14[@]}" >/dev/null || fail "the run did not finish"
stop_pinging
screenshot cpu-benchmark
click_at 355 469  # CLOSE
expect_exit_zero 10
echo "CPU benchmark: run finished, screenshot kept"
