# SPDX-License-Identifier: GPL-3.0-or-later
# The splash picture covers the start-up identification, and the "CPU Info" page is filled
# with the page picture in place once the main window appears. The program answers the
# window manager's pings within a second from the moment the splash appears.
source "$(dirname "$0")/e2e_lib.sh"
start_xvfb

# One start: pings from the moment the splash appears, and a screenshot of the splash. The
# identification takes about half a second, which a slow screenshot can outlast: then the
# start is made again, at most three times.
splash_caught() {
  start_pinging - "start-up"
  started=$(date +%s%N)
  "$CORVANE" &
  APP_PID=$!
  SPLASH=$(wait_for_window '^Form2$' 30) || fail "splash window did not appear"
  ping_window "$SPLASH"
  import -window root -crop 320x225+350+250 +repage "$SHOTS/splash-during-identification.png"
  # The main window first: once it shows, the splash must already have gone.
  if xdotool search --onlyvisible --name "^Corvane v" >/dev/null; then
    xdotool search --onlyvisible --name '^Form2$' >/dev/null &&
      fail "the main window is visible while the splash is up"
  fi
  xdotool search --onlyvisible --name '^Form2$' >/dev/null && return 0
  echo "the splash was gone before its screenshot was complete; starting again"
  stop_pinging
  kill "$APP_PID"
  wait "$APP_PID" 2>/dev/null || true
  return 1
}

# During the identification: the splash is up and the main window is not.
splash_caught || splash_caught || splash_caught || fail "no screenshot of the splash in three starts"
echo "screenshot: $SHOTS/splash-during-identification.png"

expect_splash_picture splash-during-identification

# After it: the main window is up at 300, 100 and the splash has gone.
WINDOW=$(wait_for_window "^Corvane v" 60) || fail "main window did not appear"
shown=$(date +%s%N)
echo "start to main window shown: $(( (shown - started) / 1000000 )) ms"
stop_pinging
xdotool search --onlyvisible --name '^Form2$' >/dev/null && fail "splash still visible"
position=$(xwininfo -id "$WINDOW" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x "," y}')
[ "$position" = "300,100" ] || fail "main window at $position"
sleep 0.5  # let the first paint reach the screen
screenshot cpu-info-after-identification

expect_page_picture cpu-info-after-identification

click_at 355 469  # CLOSE
expect_exit_zero 10
echo "splash: shown during the identification, hidden after; CPU Info page filled"
