# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and UBSan, and runs each
# for a bounded time from the fixture corpus:
#   bash tests/fuzz/run_fuzz.sh [seconds-per-target] [work-dir]
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
SECONDS_EACH=${1:-20}
WORK=${2:-$(mktemp -d)}
mkdir -p "$WORK"
CXX=$(command -v clang++-14 || command -v clang++)
FLAGS=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$ROOT")

"$CXX" "${FLAGS[@]}" "$HERE/fuzz_cpuinfo.cpp" "$ROOT/platform/cpu_description.cpp" \
  -o "$WORK/fuzz_cpuinfo"
"$CXX" "${FLAGS[@]}" "$HERE/fuzz_jpeg.cpp" "$ROOT/platform/jpeg.cpp" -ljpeg -o "$WORK/fuzz_jpeg"

# Seeds: every cpuinfo fixture, and the two pictures.
mkdir -p "$WORK/cpuinfo-corpus" "$WORK/jpeg-corpus"
find "$ROOT/tests/fixtures" -name cpuinfo -size +0 -exec cp --backup=numbered {} \
  "$WORK/cpuinfo-corpus/" \;
cp "$ROOT/assets/splash.jpg" "$ROOT/assets/page.jpg" "$WORK/jpeg-corpus/"

"$WORK/fuzz_cpuinfo" -max_total_time="$SECONDS_EACH" -max_len=200000 -rss_limit_mb=1024 \
  "$WORK/cpuinfo-corpus"
"$WORK/fuzz_jpeg" -max_total_time="$SECONDS_EACH" -max_len=65536 -rss_limit_mb=1024 \
  -timeout=10 "$WORK/jpeg-corpus"
echo "fuzzing: no crash in ${SECONDS_EACH} s per target"
