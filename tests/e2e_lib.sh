# SPDX-License-Identifier: GPL-3.0-or-later
# Shared steps of the end-to-end tests: a private X server, the window, clicks, pictures.
# Sourced by tests/e2e_*.sh, which get the program and a screenshot folder as $1 and $2.

set -euo pipefail
CORVANE=$1
SHOTS=$2
mkdir -p "$SHOTS"
# The main window's caption; CTest passes the version from project().
TITLE="Corvane v. ${CORVANE_VERSION:-(no CORVANE_VERSION given)}      ~corvane.example.org~"

# Debian's own Python: a version manager's shim in front of it can take half a second to
# start, longer than the program's whole start-up.
PYTHON=/usr/bin/python3
XVFB_PID=""
APP_PID=""
PINGER_PID=""
cleanup() {
  [ -n "$PINGER_PID" ] && kill "$PINGER_PID" 2>/dev/null || true
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# A private X server; sets DISPLAY and XVFB_PID. ctest runs end-to-end tests side by side,
# so servers start one at a time under a lock, and each takes the next display number in
# turn rather than the lowest free one: a server still going away can take the socket of a
# new one on its number with it. -noreset: by default a server resets when its last
# client, here the xdpyinfo check, leaves; the program must not meet it in that state.
start_xvfb() {
  local state=${TMPDIR:-/tmp}/corvane-e2e-display next n
  exec 9>"$state.lock"
  flock 9
  next=$(cat "$state" 2>/dev/null || true)
  [[ $next =~ ^[0-9]{1,6}$ ]] || next=0
  for _ in $(seq 70); do
    n=$(( 20 + next % 70 ))
    next=$(( next + 1 ))
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -noreset -screen 0 1024x768x24 -nolisten tcp >/dev/null \
      2>"$SHOTS/xvfb-$(basename "$0" .sh).log" 9>&- &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do
      if xdpyinfo >/dev/null 2>&1; then
        echo "$next" >"$state"
        flock -u 9
        exec 9>&-
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  done
  fail "no X server"
}

# Waits up to $2 seconds for a visible window whose name matches $1; prints its id. Polls
# every 20 ms: `xdotool search --sync` looks only every 500 ms, which made start-up times
# measured with it jump by half a second.
wait_for_window() {
  local tries=$(( $2 * 50 )) found
  for _ in $(seq "$tries"); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.02
  done
  return 1
}

# Starts the program and waits for its main window; sets APP_PID and WINDOW.
start_corvane() {
  "$CORVANE" &
  APP_PID=$!
  WINDOW=$(wait_for_window "^Corvane v" 60) ||
    fail "main window did not appear on $DISPLAY; the X server said: $(tail -n 5 "$SHOTS/xvfb-$(basename "$0" .sh).log")"
}

# Clicks at a point of the main window's client area.
click_at() {
  xdotool mousemove --window "$WINDOW" "$1" "$2" click 1
}

# The lower tab control's tabs, by their position in the window.
lower_tab() {
  case $1 in
    cpu) click_at 45 181 ;;
    ram) click_at 140 181 ;;
    diag) click_at 240 181 ;;
  esac
  sleep 0.5
}

upper_tab() {
  case $1 in
    cpu) click_at 50 13 ;;
    ram) click_at 150 13 ;;
    about) click_at 340 13 ;;
  esac
  sleep 0.5
}

# The screen position of the main window's client area: "X Y".
window_origin() {
  xwininfo -id "$WINDOW" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x " " y}'
}

# Saves the main window's client area as $SHOTS/$1.png.
screenshot() {
  set -- "$1" $(window_origin)
  import -window root -crop "393x490+$2+$3" +repage "$SHOTS/$1.png"
  echo "screenshot: $SHOTS/$1.png"
}

# Root-mean-square difference of two pictures of one size, from 0 to 1. compare exits
# non-zero whenever the pictures differ at all, which they always do a little.
picture_difference() {
  { compare -metric RMSE "$1" "$2" null: 2>&1 || true; } | sed -n 's/.*(\([0-9.e-]*\)).*/\1/p'
}

# Fails unless $SHOTS/$1.png, the splash window's area of the screen, shows the splash
# picture stretched to 321 x 225 with its last column cut by the window.
expect_splash_picture() {
  local assets difference
  assets="$(cd "$(dirname "${BASH_SOURCE[0]}")/../assets" && pwd)"
  convert "$assets/splash.jpg" -resize '321x225!' -crop 320x225+0+0 +repage "$SHOTS/$1-expected.png"
  difference=$(picture_difference "$SHOTS/$1.png" "$SHOTS/$1-expected.png")
  echo "splash differs from the stretched picture by $difference"
  awk -v d="$difference" 'BEGIN { exit !(d != "" && d < 0.03) }' || fail "splash picture not shown"
}

# Fails unless $SHOTS/$1.png, a screenshot of the main window's "CPU Info" page, shows the
# page picture at 92 x 27 in Image2, inside Panel16.
expect_page_picture() {
  local assets difference
  assets="$(cd "$(dirname "${BASH_SOURCE[0]}")/../assets" && pwd)"
  convert "$SHOTS/$1.png" -crop 92x27+286+126 +repage "$SHOTS/$1-image2.png"
  convert "$assets/page.jpg" -resize '92x27!' "$SHOTS/$1-image2-expected.png"
  difference=$(picture_difference "$SHOTS/$1-image2.png" "$SHOTS/$1-image2-expected.png")
  echo "Image2 differs from the scaled page picture by $difference"
  awk -v d="$difference" 'BEGIN { exit !(d != "" && d < 0.04) }' || fail "page picture not in Image2"
}

# A fingerprint of the W x H area at X, Y of the client area: area_look W H X Y.
area_look() {
  set -- "$@" $(window_origin)
  import -window root -crop "$1x$2+$(( $5 + $3 ))+$(( $6 + $4 ))" +repage rgb:- | md5sum
}

# Waits up to SECONDS for an area to look different from BEFORE; prints its new look:
# area_changes_from SECONDS BEFORE W H X Y.
area_changes_from() {
  local seconds=$1 before=$2 now
  shift 2
  for _ in $(seq $(( seconds * 10 ))); do
    now=$(area_look "$@")
    [ "$now" != "$before" ] && { echo "$now"; return 0; }
    sleep 0.1
  done
  return 1
}

# Waits for the program to end; fails unless it ends within $1 seconds with code 0.
expect_exit_zero() {
  local code=0
  for _ in $(seq $(( $1 * 50 ))); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.02
  done
  kill -0 "$APP_PID" 2>/dev/null && fail "program still running"
  wait "$APP_PID" || code=$?
  APP_PID=""
  [ "$code" -eq 0 ] || fail "exit code $code"
}

# Waits up to $1 seconds for window $2 to leave the screen (unmapped or destroyed); prints the
# ms it took from $3, a start time in ms.
window_gone_within() {
  local start=$3
  for _ in $(seq $(( $1 * 100 ))); do
    if ! xwininfo -id "$2" 2>/dev/null | grep -q "Map State: IsViewable"; then
      echo $(( $(date +%s%N) / 1000000 - start ))
      return 0
    fi
    sleep 0.01
  done
  return 1
}

# Pings a window every 50 ms in the background, as a desktop does to see whether its program
# hangs, until stop_pinging: start_pinging WINDOW WHAT. With "-" for the window, the client
# starts now and pings from the moment ping_window names the window.
start_pinging() {
  PINGING=$2
  if [ "$1" = - ]; then
    rm -f "$SHOTS/ping-window"
    mkfifo "$SHOTS/ping-window"
    "$PYTHON" "$(dirname "${BASH_SOURCE[0]}")/wm_ping.py" - <"$SHOTS/ping-window" \
      >"$SHOTS/ping-$PINGING.txt" 2>&1 &
    PINGER_PID=$!
    exec 8>"$SHOTS/ping-window"
  else
    "$PYTHON" "$(dirname "${BASH_SOURCE[0]}")/wm_ping.py" "$1" >"$SHOTS/ping-$PINGING.txt" 2>&1 &
    PINGER_PID=$!
  fi
}

# The window a client started with "-" pings from now on.
ping_window() {
  echo "$1" >&8
  exec 8>&-
}

# Ends the pings; fails when a reply took more than a second. The client is first given
# time to get ready, as an end before it could count would say nothing.
stop_pinging() {
  local code=0
  for _ in $(seq 500); do
    [ -s "$SHOTS/ping-$PINGING.txt" ] && break
    sleep 0.02
  done
  kill -TERM "$PINGER_PID" 2>/dev/null || true
  wait "$PINGER_PID" || code=$?
  PINGER_PID=""
  echo "the window answered during $PINGING: $(tail -n 1 "$SHOTS/ping-$PINGING.txt")"
  [ "$code" -eq 0 ] || fail "the window did not answer within a second during $PINGING"
}
