# SPDX-License-Identifier: GPL-3.0-or-later
# The real program in a real window on "    Diagnostic    ".
#
# CPU TEST: RUN counts passes, a screenshot is kept while they rise, and CLOSE during the
# test ends the program at once with code 0.
#
# RAM TEST: the test runs over a block of about 1.9 GB, which is all that the data limit
# of its process leaves it (99 % of this machine's free memory would be too much to take
# from the other programs a test machine runs). The window answers the window manager's
# pings within a second for 20 s of the test, STOP brings RUN back within two seconds (the
# phase under way ends at once; a half-second clock measurement that a tick queued may
# still run at the cycle's next event point, as ticks did), and CLOSE in the middle of the
# cycles takes the window off the screen at once (before the kernel frees the block) and
# ends the program within a second with code 0.
source "$(dirname "$0")/e2e_lib.sh"
start_xvfb
start_corvane

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Label88, the pass count of "CPU TEST", in window coordinates.
PASSES=(100 14 76 220)

lower_tab diag
before=$(area_look "${PASSES[@]}")
click_at 225 320  # RUN in "CPU TEST"
first=$(area_changes_from 60 "$before" "${PASSES[@]}") || fail "no pass was counted"
second=$(area_changes_from 60 "$first" "${PASSES[@]}") || fail "the pass count did not rise"
area_changes_from 60 "$second" "${PASSES[@]}" >/dev/null || fail "the pass count stopped rising"
echo "passes rising"
screenshot diag-cpu-test-running
click_at 353 468  # CLOSE, with both workers in a pass
expect_exit_zero 1
echo "closed during the CPU test with exit code 0"

# The memory test's RUN button and pass count (Label81) in "RAM TEST".
RAM_RUN=(57 25 196 456)
RAM_PASSES=(100 14 52 388)

# Starts the program with a data limit of 2 GiB, the memory test's whole allowance.
start_corvane_limited() {
  (ulimit -d $(( 2 << 20 )) && exec "$CORVANE") &
  APP_PID=$!
  WINDOW=$(wait_for_window "^Corvane v" 60) || fail "main window did not appear"
}

# Waits up to $1 seconds for RUN to look as it did before the run; prints the ms it took.
run_back_within() {
  local start; start=$(now_ms)
  for _ in $(seq $(( $1 * 50 ))); do
    [ "$(area_look "${RAM_RUN[@]}")" = "$enabled" ] && { echo $(( $(now_ms) - start )); return 0; }
    sleep 0.02
  done
  return 1
}

start_corvane_limited
lower_tab diag
enabled=$(area_look "${RAM_RUN[@]}")
no_passes=$(area_look "${RAM_PASSES[@]}")
start_pinging "$WINDOW" "the memory test"
click_at 224 468  # RUN in "RAM TEST"
started=$(now_ms)
area_changes_from 90 "$no_passes" "${RAM_PASSES[@]}" >/dev/null || fail "the memory test counted no pass"
sleep $(( (20000 - ($(now_ms) - started)) > 0 ? (20000 - ($(now_ms) - started)) / 1000 : 0 ))
screenshot diag-memtest-running
click_at 288 468  # STOP
waited=$(run_back_within 5) || fail "RUN did not come back after STOP"
stop_pinging
echo "STOP to RUN back: $waited ms"
[ "$waited" -le 2000 ] || fail "RUN came back $waited ms after STOP"

no_passes=$(area_look "${RAM_PASSES[@]}")
click_at 224 468  # RUN again: a new block, then cycles
area_changes_from 90 "$no_passes" "${RAM_PASSES[@]}" >/dev/null || fail "the second run counted no pass"
closed=$(now_ms)
click_at 353 468  # CLOSE, with a phase under way
gone=$(window_gone_within 2 "$WINDOW" "$closed") || fail "the window stayed after CLOSE"
expect_exit_zero 2
ended=$(( $(now_ms) - closed ))
echo "CLOSE during the memory test's cycles: window gone after $gone ms, ended with 0 after $ended ms"
[ "$gone" -le 300 ] || fail "the window stayed on the screen $gone ms after CLOSE"
[ "$ended" -le 1000 ] || fail "the program ended more than a second after CLOSE"
