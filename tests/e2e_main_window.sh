# SPDX-License-Identifier: GPL-3.0-or-later
# The real program in a real window: title, client size, a screenshot, and each CLOSE
# button ending it with exit code 0.
source "$(dirname "$0")/e2e_lib.sh"
start_xvfb

start_corvane
[ "$(xdotool getwindowname "$WINDOW")" = "$TITLE" ] || fail "title: $(xdotool getwindowname "$WINDOW")"
size=$(xwininfo -id "$WINDOW" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[ "$size" = "393x490" ] || fail "client size $size"
sleep 2.5  # one refresh of the core clock
screenshot main-window
click_at 355 469  # CLOSE on "CPU Benchmark "
expect_exit_zero 10

start_corvane
lower_tab ram
click_at 355 469  # CLOSE on " RAM Benchmark  "
expect_exit_zero 10

start_corvane
lower_tab diag
click_at 353 468  # CLOSE on "    Diagnostic    "
expect_exit_zero 10
echo "main window: title, size and the three CLOSE buttons as expected"
