# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and UBSan, and runs them
# for a bounded time in all, shared evenly, from the fixture corpus:
#   bash tests/fuzz/run_fuzz.sh [total-seconds] [work-dir]
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
TOTAL_SECONDS=${1:-40}
WORK=${2:-$(mktemp -d)}
mkdir -p "$WORK"
CXX=$(command -v clang++-14 || command -v clang++)
FLAGS=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$ROOT")

# The readers, compiled once for all targets.
for src in platform/system_file platform/cpu_description platform/memory_status report/os_figures; do
  "$CXX" "${FLAGS[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" -c "$ROOT/$src.cpp" \
    -o "$WORK/$(basename $src).o"
done
objs() { for o in "$@"; do echo "$WORK/$o.o"; done; }
"$CXX" "${FLAGS[@]}" "$HERE/fuzz_cpuinfo.cpp" $(objs cpu_description system_file) \
  -o "$WORK/fuzz_cpuinfo"
"$CXX" "${FLAGS[@]}" "$HERE/fuzz_sysfs_numbers.cpp" $(objs os_figures cpu_description system_file) \
  -o "$WORK/fuzz_sysfs_numbers"
"$CXX" "${FLAGS[@]}" "$HERE/fuzz_meminfo.cpp" $(objs memory_status system_file) \
  -o "$WORK/fuzz_meminfo"
"$CXX" "${FLAGS[@]}" "$HERE/fuzz_status_limits.cpp" $(objs memory_status system_file) \
  -o "$WORK/fuzz_status_limits"

# Seeds: the fixtures each reader is tested with.
F="$ROOT/tests/fixtures"
for c in cpuinfo sysfs meminfo status; do mkdir -p "$WORK/$c-corpus"; done
find "$F" -name cpuinfo -size +0 -exec cp --backup=numbered {} "$WORK/cpuinfo-corpus/" \;
find "$F/cpu" -path '*/sys/*' -type f -exec cp --backup=numbered {} "$WORK/sysfs-corpus/" \;
printf '512K\n' > "$WORK/sysfs-corpus/size"
cp "$F"/meminfo-*.txt "$WORK/meminfo-corpus/"
for s in "$F"/status-*.txt; do
  for l in "$F"/limits-*.txt; do
    cat "$s" <(printf '\0') "$l" > "$WORK/status-corpus/$(basename "$s" .txt)-$(basename "$l")"
  done
done

EACH=$(( TOTAL_SECONDS / 4 > 0 ? TOTAL_SECONDS / 4 : 1 ))
run() {  # run <target> <corpus> [options...]
  local target=$1 corpus=$2; shift 2
  "$WORK/$target" -max_total_time="$EACH" -rss_limit_mb=1024 -artifact_prefix="$WORK/" "$@" \
    "$WORK/$corpus-corpus"
}
run fuzz_cpuinfo cpuinfo -max_len=200000
run fuzz_sysfs_numbers sysfs -max_len=256
run fuzz_meminfo meminfo -max_len=20000
run fuzz_status_limits status -max_len=20000
echo "fuzzing: no crash in ${EACH} s for each of 4 targets"
