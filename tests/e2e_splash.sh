# SPDX-License-Identifier: GPL-3.0-or-later
# The splash picture covers the start-up identification, and the "CPU Info" page is filled
# with the page picture in place once the main window appears. The program answers the
# window manager's pings within a second from the moment the splash appears.
source "$(dirname "$0")/e2e_lib.sh"
ASSETS="$(cd "$(dirname "$0")/../assets" && pwd)"
start_xvfb

# Root-mean-square difference of two pictures of one size, from 0 to 1. compare exits
# non-zero whenever the pictures differ at all, which they always do a little.
difference() {
  { compare -metric RMSE "$1" "$2" null: 2>&1 || true; } | sed -n 's/.*(\([0-9.e-]*\)).*/\1/p'
}

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

# The splash picture stretched to 321 x 225 with its last column cut by the window.
convert "$ASSETS/splash.jpg" -resize '321x225!' -crop 320x225+0+0 +repage "$SHOTS/splash-expected.png"
splash_diff=$(difference "$SHOTS/splash-during-identification.png" "$SHOTS/splash-expected.png")
echo "splash differs from the stretched picture by $splash_diff"
awk -v d="$splash_diff" 'BEGIN { exit !(d != "" && d < 0.03) }' || fail "splash picture not shown"

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

# Image2: the page picture at 92 x 27 inside Panel16.
convert "$SHOTS/cpu-info-after-identification.png" -crop 92x27+286+126 +repage "$SHOTS/image2.png"
convert "$ASSETS/page.jpg" -resize '92x27!' "$SHOTS/image2-expected.png"
page_diff=$(difference "$SHOTS/image2.png" "$SHOTS/image2-expected.png")
echo "Image2 differs from the scaled page picture by $page_diff"
awk -v d="$page_diff" 'BEGIN { exit !(d != "" && d < 0.04) }' || fail "page picture not in Image2"

click_at 355 469  # CLOSE
expect_exit_zero 10
echo "splash: shown during the identification, hidden after; CPU Info page filled"
