# SPDX-License-Identifier: GPL-3.0-or-later
# CLOSE during long work ends the program at once and visibly: the window stays mapped
# until the process is gone, and it is gone within a second with code 0, whatever the work
# is doing. Covered: CLOSE two seconds into the CPU benchmark (in the middle of its first
# kernel) and into the memory test (then still backing its block, so only a few GB are ever
# taken), and the window manager's close during the CPU benchmark.
source "$(dirname "$0")/e2e_lib.sh"
WM_CLOSE="$(dirname "$0")/wm_close.py"
start_xvfb

# Panel14, the status panel left of RUN on "CPU Benchmark ", in window coordinates.
PANEL14=(257 25 4 457)

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Fails unless the program ends within $1 seconds of the close with code 0, its window
# mapped until then. The window goes a moment before the process does, so a window gone
# is a failure only when the process is still running at the deadline.
expect_window_until_exit() {
  local deadline=$(( closed + $1 * 1000 )) code=0
  while kill -0 "$APP_PID" 2>/dev/null; do
    [ "$(now_ms)" -lt "$deadline" ] || {
      xwininfo -id "$WINDOW" 2>/dev/null | grep -q "Map State: IsViewable" ||
        fail "the window went while the program ran on"
      fail "still running $1 s after the close"
    }
    sleep 0.02
  done
  wait "$APP_PID" || code=$?
  APP_PID=""
  [ "$code" -eq 0 ] || fail "exit code $code"
}

start_cpu_benchmark() {
  start_corvane
  lower_tab cpu
  local empty
  empty=$(area_look "${PANEL14[@]}")
  click_at 293 469  # RUN
  area_changes_from 30 "$empty" "${PANEL14[@]}" >/dev/null || fail "the benchmark did not start"
  sleep 2
}

start_cpu_benchmark
closed=$(now_ms)
click_at 355 469  # CLOSE
expect_window_until_exit 1
echo "CLOSE during the CPU benchmark: ended with 0 after $(( $(now_ms) - closed )) ms"

start_corvane
lower_tab diag
click_at 224 468  # RUN in "RAM TEST"
sleep 2
closed=$(now_ms)
click_at 353 468  # CLOSE
expect_window_until_exit 1
echo "CLOSE during the memory test: ended with 0 after $(( $(now_ms) - closed )) ms"

start_cpu_benchmark
closed=$("$PYTHON" "$WM_CLOSE" "$WINDOW")
expect_window_until_exit 1
echo "window manager's close during the CPU benchmark: ended with 0 after $(( $(now_ms) - closed )) ms"
