# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the built fuzz targets for a bounded time in all, shared evenly, from the fixture
# corpus:
#   bash tests/fuzz/run_fuzz.sh <total-seconds> <folder of the fuzz targets> <work-dir>
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
TOTAL_SECONDS=$1
TARGETS=$2
WORK=$3
rm -rf "$WORK"
mkdir -p "$WORK"

# Seeds: the fixtures each reader is tested with.
F="$HERE/../fixtures"
for c in cpuinfo cpulist sysfs meminfo status; do mkdir -p "$WORK/$c-corpus"; done
find "$F" -name cpuinfo -size +0 -exec cp --backup=numbered {} "$WORK/cpuinfo-corpus/" \;
find "$F/cpu" -path '*/sys/*' -type f -exec cp --backup=numbered {} "$WORK/sysfs-corpus/" \;
printf '512K\n' > "$WORK/sysfs-corpus/size"
printf '0-3,8,10-11\n' > "$WORK/cpulist-corpus/online"
printf '0-15:2/4' > "$WORK/cpulist-corpus/stride"
printf ' 1 - 3 , 7\n' > "$WORK/cpulist-corpus/blanks"
cp "$F"/meminfo-*.txt "$WORK/meminfo-corpus/"
for s in "$F"/status-*.txt; do
  for l in "$F"/limits-*.txt; do
    cat "$s" <(printf '\0') "$l" > "$WORK/status-corpus/$(basename "$s" .txt)-$(basename "$l")"
  done
done

EACH=$(( TOTAL_SECONDS / 5 > 0 ? TOTAL_SECONDS / 5 : 1 ))
run() {  # run <target> <corpus> [options...]
  local target=$1 corpus=$2; shift 2
  "$TARGETS/$target" -max_total_time="$EACH" -rss_limit_mb=1024 -artifact_prefix="$WORK/" "$@" \
    "$WORK/$corpus-corpus"
}
run fuzz_cpuinfo cpuinfo -max_len=200000
run fuzz_cpulist cpulist -max_len=256
run fuzz_sysfs_numbers sysfs -max_len=256
run fuzz_meminfo meminfo -max_len=20000
run fuzz_status_limits status -max_len=20000
echo "fuzzing: no crash in ${EACH} s for each of 5 targets"
