# SPDX-License-Identifier: GPL-3.0-or-later
# "RAM Info" after a few ticks of the memory status monitor, and " RAM Benchmark  " after a
# run, as the real program shows them in a real window.
source "$(dirname "$0")/e2e_lib.sh"
start_xvfb

# The colour of one pixel of a screenshot, as ImageMagick writes it: "srgb(25,0,0)".
pixel_of() {
  convert "$SHOTS/$1.png" -format "%[pixel:p{$2,$3}]" info:
}

start_corvane
upper_tab ram
sleep 3.5  # three ticks of Timer2
screenshot ram-info
echo "free -k while the page was shown:"
free -k

# The chart sits at 252,52 in the window. Row 45 of its background ramp is red 25, except
# where a grid column crosses it; of three neighbouring columns at most one is grid.
ramp_seen=no
for x in 352 353 354; do
  case "$(pixel_of ram-info "$x" 97)" in
    "srgb(25,0,0)" | "rgb(25,0,0)") ramp_seen=yes ;;
  esac
done
[ "$ramp_seen" = yes ] || fail "no load chart in the RAM Info screenshot: $(pixel_of ram-info 352 97)"

lower_tab ram
screenshot ram-benchmark-before
click_at 288 469  # RUN on " RAM Benchmark  "
sleep 15          # the window does not answer during the two measurements
screenshot ram-benchmark
changed=$(compare -metric AE "$SHOTS/ram-benchmark-before.png" "$SHOTS/ram-benchmark.png" null: 2>&1 || true)
[ "${changed%% *}" != "0" ] || fail "the RAM Benchmark page did not change after RUN"
kill -0 "$APP_PID" || fail "the program ended during the memory benchmark"
echo "RAM Info chart and RAM Benchmark run as expected"
