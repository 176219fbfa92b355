#!/usr/bin/env bash
# Wall time of one sweep with 1 job, 2 jobs and one job per core, the 1-job run being the
# baseline, with the CPU time the cells used. Not a test: the figures depend on what else the
# machine is doing. Where the kernel groups CPU time by session (autogroup), a busy machine
# gives the whole sweep one session's share, whatever the number of jobs.
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
TIMEFORMAT="%R %U %S"
for jobs in 1 2 "$cores"; do
  read -r wall user sys < <({ time "$build/koltrep-sweep" --crank-speeds "2:4:$n" \
    --frictions "50:350:$n" --ticks "$ticks" --jobs "$jobs" --out "$out/j$jobs" --no-plot \
    2>/dev/null; } 2>&1)
  baseline=${baseline:-$wall}
  awk -v n="$n" -v t="$ticks" -v j="$jobs" -v w="$wall" -v b="$baseline" -v c="$user + $sys" \
    'BEGIN { split(c, p, " + "); printf "sweep %dx%d cells, %d ticks, --jobs %d: %.2f s wall " \
      "(%.2fx as fast as 1 job), %.2f s CPU\n", n, n, t, j, w, b / w, p[1] + p[2] }'
  cmp -s "$out/j1/sweep.csv" "$out/j$jobs/sweep.csv" || echo "  CSV differs from the 1-job run!"
done
