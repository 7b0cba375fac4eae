#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# How the CPU work scales over this machine's CPUs, in one run: corvane-report's per-row
# scaling with a copy on every CPU, beside sysbench's and stress-ng's with one thread against
# N. Figures only; it passes or fails nothing.
#   tools/scaling_bench.sh [path/to/corvane-report]
set -euo pipefail
report=${1:-build/report/corvane-report}
n=$(nproc)
seconds=10
json=$(mktemp)
trap 'rm -f "$json"' EXIT

echo "CPUs: $n"
"$report" --bench cpu --cpus all --json >"$json" 2>/dev/null
python3 - "$json" <<'PY'
import json, sys
b = json.load(open(sys.argv[1]))["bench"]
for row in b["rows"]:
    print(f'corvane row {row["row"]:2} {row["caption"]:28} single {row["result"]:8} '
          f'multi {row["multi"]} scaling {row["scaling"]}')
m = b["multi_core"]
print(f'corvane multi-core score {m["cpu_score"]} ({m["copies"]} copies), single {b["cpu_score"]}')
for c in b["copies"]:
    print(f'corvane copy {c["copy"]} cpu {c["cpu"]} effective {c["effective_mhz"]} MHz')
PY

events() { sysbench cpu --threads="$1" --time=$seconds run | awk '/events per second/ {print $4}'; }
if command -v sysbench >/dev/null; then
  one=$(events 1); all=$(events "$n")
  echo "sysbench events/s: 1 thread $one, $n threads $all, ratio $(echo "$all / $one" | bc -l | cut -c1-5)"
else
  echo "sysbench: not installed"
fi

bogo() { stress-ng --cpu "$1" --timeout ${seconds}s --metrics-brief 2>&1 | awk '$0 ~ / cpu / {v=$(NF-1)} END {print v}'; }
if command -v stress-ng >/dev/null; then
  one=$(bogo 1); all=$(bogo "$n")
  echo "stress-ng bogo ops/s (real): 1 worker $one, $n workers $all, ratio $(echo "$all / $one" | bc -l | cut -c1-5)"
else
  echo "stress-ng: not installed"
fi
