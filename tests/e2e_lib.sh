# SPDX-License-Identifier: GPL-3.0-or-later
# Shared steps of the end-to-end tests: a private X server, the window, clicks, pictures.
# Sourced by tests/e2e_*.sh, which get the program and a screenshot folder as $1 and $2.

set -euo pipefail
CORVANE=$1
SHOTS=$2
mkdir -p "$SHOTS"
TITLE="Corvane v. 3.0.0.4      ~corvane.example.org~"

XVFB_PID=""
APP_PID=""
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Xvfb picks a free display itself and writes its number to fd 3: choosing one here and
# then starting it would race with the other end-to-end tests that ctest runs beside us.
start_xvfb() {
  local number
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 200); do
    if [ -s "$number" ]; then
      export DISPLAY=":$(head -n 1 "$number")"
      rm -f "$number"
      xdpyinfo >/dev/null 2>&1 && return 0
      fail "X server $DISPLAY does not answer"
    fi
    sleep 0.05
  done
  rm -f "$number"
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
  WINDOW=$(wait_for_window "^Corvane v" 60) || fail "main window did not appear"
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
  for _ in $(seq $(( $1 * 10 ))); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$APP_PID" 2>/dev/null && fail "program still running"
  wait "$APP_PID" || code=$?
  APP_PID=""
  [ "$code" -eq 0 ] || fail "exit code $code"
}
