#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the window's memory test leaves a desktop: a page cache of files read once, a program
# that maps a 1 GiB file and reads every page in a loop (working_set_probe), then RUN in
# "RAM TEST". Prints the loop's passes per second and major faults every 5 s, Corvane's and
# Xvfb's major faults, and the window's ping replies. Needs root (it drops the page cache)
# and most of the machine: run it alone, never in CI.
#   tools/thrash_measure.sh [CORVANE [PROBE [WORKDIR [CACHE_GIB]]]]
# The defaults are the build tree's: build/app/corvane, build/tools/working_set_probe and
# build/thrash. WORKDIR gets CACHE_GIB (default 13) files of 1 GiB and the mapped file;
# remove it after.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
CORVANE=${1:-$top/build/app/corvane} PROBE=${2:-$top/build/tools/working_set_probe}
WORK=${3:-$top/build/thrash} CACHE_GIB=${4:-13}
PING=${PING:-$top/tests/wm_ping.py}
mkdir -p "$WORK"
for i in $(seq "$CACHE_GIB") ws; do
  [ -s "$WORK/$i.bin" ] || dd if=/dev/urandom of="$WORK/$i.bin" bs=1M count=1024 status=none
done
sync
echo 1 >/proc/sys/vm/drop_caches
for i in $(seq "$CACHE_GIB"); do cat "$WORK/$i.bin" >/dev/null; done  # read once

majflt() { awk '{print $12}' "/proc/$1/stat" 2>/dev/null || echo -; }
meminfo() { awk '/^(MemFree|MemAvailable|Active\(file\)|Inactive\(file\)|Mapped):/ {printf "%s %d MiB  ", $1, $2 / 1024}' /proc/meminfo; echo; }

Xvfb :97 -noreset -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
export DISPLAY=:97
APP=""
trap 'kill $APP $XVFB 2>/dev/null || true' EXIT
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
"$CORVANE" 2>/dev/null &
APP=$!
WINDOW=""
for _ in $(seq 300); do
  WINDOW=$(xdotool search --onlyvisible --name "^Corvane v" 2>/dev/null | head -n 1) || true
  [ -n "$WINDOW" ] && break
  sleep 0.1
done
click() { xdotool mousemove --window "$WINDOW" "$1" "$2" click 1; }
click 240 181  # "Diagnostic"
"$PROBE" "$WORK/ws.bin" 100 | sed 's/^/loop: /' &
PROBE_PID=$!
sleep 20
echo "before RUN: $(meminfo)"
echo "faults before RUN: corvane $(majflt $APP), Xvfb $(majflt $XVFB)"
click 224 468  # RUN in "RAM TEST"
python3 "$PING" "$WINDOW" 60 | sed 's/^/ping: /' &
for t in $(seq 5 5 60); do
  sleep 5
  echo "t=$t s after RUN: major faults corvane $(majflt $APP), Xvfb $(majflt $XVFB)"
done
echo "during the test: $(meminfo)"
import -window "$WINDOW" "$WORK/window.png" 2>/dev/null || true
click 288 468  # STOP
wait $PROBE_PID
echo "faults at the end: corvane $(majflt $APP), Xvfb $(majflt $XVFB)"
