# SPDX-License-Identifier: GPL-3.0-or-later
# "RAM Info" after a few ticks of the memory status monitor, and " RAM Benchmark  " after a
# run, as the real program shows them in a real window; the window answers the window
# manager's pings within a second during the run.
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

# Label74, the read speed, in window coordinates.
READ_SPEED=(120 14 124 236)

lower_tab ram
screenshot ram-benchmark-before
zero=$(area_look "${READ_SPEED[@]}")
start_pinging "$WINDOW" "the RAM benchmark"
click_at 288 469  # RUN on " RAM Benchmark  "
area_changes_from 60 "$zero" "${READ_SPEED[@]}" >/dev/null || fail "no read speed after RUN"
stop_pinging
screenshot ram-benchmark
kill -0 "$APP_PID" || fail "the program ended during the memory benchmark"
echo "RAM Info chart and RAM Benchmark run as expected"
