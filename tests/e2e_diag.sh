# SPDX-License-Identifier: GPL-3.0-or-later
# The real program in a real window: RUN in "CPU TEST" on "    Diagnostic    " counts
# passes, a screenshot is kept while they rise, and CLOSE during the test ends the program
# with code 0 once the workers have finished their pass.
#
# The memory test is not run here on the real window: it would take 99 % of this machine's
# free memory, which other programs share. Its picture comes from the offscreen window test
# over an injected 8 MiB, rendered into the same screenshot folder.
source "$(dirname "$0")/e2e_lib.sh"
start_xvfb
start_corvane

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
expect_exit_zero 30
echo "closed during the CPU test with exit code 0"

tests_dir="$(dirname "$CORVANE")/../tests"
CORVANE_SCREENSHOT_DIR="$SHOTS" QT_QPA_PLATFORM=offscreen \
  "$tests_dir/test_tform1_diag" --gtest_filter=MemTestWindow.RunShowsTheSizeAndSpeedsAndEndsOnStop \
  >/dev/null || fail "the memory test over an injected block failed"
[ -s "$SHOTS/diag-memtest-running.png" ] || fail "no memory test screenshot"
echo "screenshot: $SHOTS/diag-memtest-running.png"
