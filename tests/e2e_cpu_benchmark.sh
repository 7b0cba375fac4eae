# The real program in a real window: RUN on "CPU Benchmark " runs the 29 rows to their end,
# and a screenshot of the finished page is kept.
source "$(dirname "$0")/e2e_lib.sh"
start_xvfb
start_corvane

# Panel14, the status panel left of RUN, in window coordinates.
panel14() {
  local origin
  origin=$(xwininfo -id "$WINDOW" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x " " y}')
  set -- $origin
  import -window root -crop "257x25+$(( $1 + 4 ))+$(( $2 + 457 ))" +repage rgb:- | md5sum
}

# Waits up to $2 seconds for Panel14 to look different from $1; prints its new look.
panel14_changes_from() {
  local now
  for _ in $(seq $(( $2 * 2 ))); do
    now=$(panel14)
    [ "$now" != "$1" ] && { echo "$now"; return 0; }
    sleep 0.5
  done
  return 1
}

lower_tab cpu
empty=$(panel14)
click_at 293 469  # RUN
benchmarking=$(panel14_changes_from "$empty" 30) || fail "\"Benchmarking...\" never appeared"
echo "run started"
screenshot cpu-benchmark-running
# The panel changes once more, to "Your CPU score: N Mark!", when all 29 rows are done.
panel14_changes_from "$benchmarking" 270 >/dev/null || fail "the run did not finish"
screenshot cpu-benchmark
click_at 355 469  # CLOSE
expect_exit_zero 10
echo "CPU benchmark: run finished, screenshot kept"
