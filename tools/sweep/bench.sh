#!/usr/bin/env bash
# Wall time of one sweep with 1 job, 2 jobs and one job per core, the 1-job run being the
# baseline. Not a test: the figures depend on what else the machine is doing.
#   tools/sweep/bench.sh BUILD_DIR [CELLS_PER_AXIS] [TICKS]
set -euo pipefail
build=$(cd "${1:?usage: bench.sh BUILD_DIR [CELLS_PER_AXIS] [TICKS]}" && pwd)
n=${2:-3}
ticks=${3:-300}
cores=$(nproc)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$(dirname "$0")/../../data"
baseline=""
for jobs in 1 2 "$cores"; do
  start=$(date +%s.%N)
  "$build/koltrep-sweep" --crank-speeds "2:4:$n" --frictions "50:350:$n" --ticks "$ticks" \
    --jobs "$jobs" --out "$out/j$jobs" --no-plot 2>/dev/null
  end=$(date +%s.%N)
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
  baseline=${baseline:-$seconds}
  awk -v n="$n" -v t="$ticks" -v j="$jobs" -v s="$seconds" -v b="$baseline" 'BEGIN {
    printf "sweep %dx%d cells, %d ticks, --jobs %d: %.2f s wall (%.2fx as fast as 1 job)\n", n, n, t, j, s, b / s }'
  cmp -s "$out/j1/sweep.csv" "$out/j$jobs/sweep.csv" || echo "  CSV differs from the 1-job run!"
done
