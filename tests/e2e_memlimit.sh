# SPDX-License-Identifier: GPL-3.0-or-later
# The memory test under a 1 GiB memory cgroup, as in a container or a systemd slice with
# MemoryMax: the window's RUN in "RAM TEST" tests a block under the limit, still runs 10 s
# later and ends on STOP; corvane-report refuses --memtest 2G with one line and status 2, and
# runs --memtest 50% (and 90% with the thorough patterns) to the end. The kernel's
# out-of-memory killer never fires.
#
# Needs a child group of this test's own memory cgroup, which only a privileged user can
# make; without one the test is skipped (status 77).
source "$(dirname "$0")/e2e_lib.sh"
REPORT="$(dirname "$CORVANE")/../report/corvane-report"
LIMIT=$(( 1 << 30 ))

skip() { echo "SKIP: $*"; exit 77; }

# Where a hierarchy is mounted: mount_point TYPE [OPTION], from mountinfo's fields after " - ".
mount_point() {
  awk -v type="$1" -v option="${2:-}" '{
    for (i = 7; $i != "-"; i++) {}
    if ($(i + 1) != type) next
    if (option != "" && ("," $(i + 3) ",") !~ ("," option ",")) next
    print $5; exit
  }' /proc/self/mountinfo
}

# A child of this process's memory cgroup with the limit set; sets CGROUP and KIND.
make_cgroup() {
  local own mnt
  own=$(awk -F: '$2 ~ /(^|,)memory(,|$)/ {print $3; exit}' /proc/self/cgroup)
  mnt=$(mount_point cgroup memory)
  if [ -n "$own" ] && [ -n "$mnt" ]; then
    CGROUP="$mnt${own%/}/corvane-e2e-$$"
    KIND=v1
    mkdir "$CGROUP" 2>/dev/null || return 1
    echo "$LIMIT" >"$CGROUP/memory.limit_in_bytes" 2>/dev/null || return 1
    return 0
  fi
  own=$(awk -F: '$1 == "0" {print $3; exit}' /proc/self/cgroup)
  mnt=$(mount_point cgroup2)
  [ -n "$mnt" ] || return 1
  CGROUP="$mnt${own%/}/corvane-e2e-$$"
  KIND=v2
  mkdir "$CGROUP" 2>/dev/null || return 1
  # A v2 group gets the memory controller only from its parent's subtree_control.
  [ -e "$CGROUP/memory.max" ] || return 1
  echo "$LIMIT" >"$CGROUP/memory.max" 2>/dev/null || return 1
}

charged_mib() {
  local file=memory.current
  [ "$KIND" = v1 ] && file=memory.usage_in_bytes
  echo $(( $(cat "$CGROUP/$file") >> 20 ))
}

# The process's anonymous memory, where the block lies, in KiB.
anon_kib() {
  awk '/^RssAnon/ {print $2}' "/proc/$APP_PID/status"
}

oom_kills() {
  if [ "$KIND" = v1 ]; then
    awk '$1 == "oom_kill" {print $2}' "$CGROUP/memory.oom_control"
  else
    awk '$1 == "oom_kill" {print $2}' "$CGROUP/memory.events"
  fi
}

# Runs a command inside the group, as the same process.
IN_CGROUP='echo $$ >"$0/cgroup.procs" && exec "$@"'
in_cgroup() {
  sh -c "$IN_CGROUP" "$CGROUP" "$@"
}

CGROUP=""
# A group can be removed once the last process in it has gone.
remove_cgroup() {
  cleanup
  [ -n "$CGROUP" ] && [ -d "$CGROUP" ] || return 0
  for _ in $(seq 50); do
    [ -s "$CGROUP/cgroup.procs" ] || break
    sleep 0.1
  done
  rmdir "$CGROUP" 2>/dev/null || echo "could not remove $CGROUP" >&2
}
trap remove_cgroup EXIT

if ! make_cgroup; then
  [ -z "$CGROUP" ] || rmdir "$CGROUP" 2>/dev/null || true
  CGROUP=""
  skip "cannot make a memory cgroup with a 1 GiB limit here (run as root on a system with the memory controller)"
fi
echo "memory cgroup ($KIND): $CGROUP"

# The report first: it refuses before it maps anything, and takes half of what it may use.
set +e
message=$(in_cgroup "$REPORT" --memtest 2G --passes 1 2>&1 >/dev/null)
status=$?
set -e
[ "$status" -eq 2 ] || fail "--memtest 2G: status $status, not 2: $message"
[[ $message =~ ^corvane-report:\ --memtest\ 2G:\ only\ [0-9]+\ MiB\ of\ memory\ may\ be\ used\ by\ this\ process$ ]] ||
  fail "--memtest 2G said: $message"
echo "$message (status 2)"
out=$(in_cgroup "$REPORT" --memtest 50% --passes 1 2>/dev/null) || fail "--memtest 50% ended with $?"
grep -q "Errors found: 0" <<<"$out" || fail "--memtest 50%: $out"
grep "^RAM TEST" <<<"$out"
# The thorough patterns size their block by the same allowance, and their threads back it.
out=$(in_cgroup "$REPORT" --memtest 90% --patterns thorough 2>/dev/null) ||
  fail "--memtest 90% --patterns thorough ended with $?"
grep -q "^No mismatches.$" <<<"$out" || fail "--memtest 90% --patterns thorough: $out"
grep "^Patterns thorough" <<<"$out"

# Label81, the pass count of "RAM TEST", and Label80, its size, in window coordinates.
PASSES=(100 14 52 388)
SIZE=(100 14 148 356)
start_xvfb
sh -c "$IN_CGROUP" "$CGROUP" "$CORVANE" &
APP_PID=$!
WINDOW=$(wait_for_window "^Corvane v" 60) || fail "main window did not appear"
lower_tab diag
passes=$(area_look "${PASSES[@]}")
size=$(area_look "${SIZE[@]}")
click_at 224 468  # RUN in "RAM TEST"
area_changes_from 30 "$size" "${SIZE[@]}" >/dev/null || fail "no size was shown"
passes=$(area_changes_from 60 "$passes" "${PASSES[@]}") || fail "no pass was counted"
anon=$(anon_kib)
echo "testing: $(( anon >> 10 )) MiB of anonymous memory; $(charged_mib) MiB of the 1024 MiB limit charged"
(( anon > 512 * 1024 )) || fail "the block is only part of what the limit allows: $anon KiB"
screenshot memtest-in-cgroup
sleep 10
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended during the memory test"
area_changes_from 30 "$passes" "${PASSES[@]}" >/dev/null || fail "the pass count stopped rising"
echo "still running after 10 s"
size=$(area_look "${SIZE[@]}")
click_at 288 468  # STOP
area_changes_from 30 "$size" "${SIZE[@]}" >/dev/null || fail "STOP did not end the run"
for _ in $(seq 50); do
  anon=$(anon_kib)
  (( anon < 256 * 1024 )) && break
  sleep 0.1
done
(( anon < 256 * 1024 )) || fail "the block was not released after STOP: $anon KiB"
echo "STOP ended the run; $(( anon >> 10 )) MiB of anonymous memory left"
click_at 353 468  # CLOSE
expect_exit_zero 10
kills=$(oom_kills)
[ "${kills:-0}" -eq 0 ] || fail "the out-of-memory killer fired $kills times"
echo "no out-of-memory kill"
