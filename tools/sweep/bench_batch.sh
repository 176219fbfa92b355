#!/usr/bin/env bash
# Cells per second of a 4 x 4 sweep of 300-tick cells, one replay process per cell (--batch 1,
# the baseline) against the default batches (the cells shared evenly between the jobs' processes),
# on 1 and 2 jobs; then what a batched cell
# costs besides its ticks: a batch of 16 cells of 300 ticks against one of 16 cells of 3 ticks,
# whose time is nearly all overhead. Not a test: the figures depend on what else the machine is
# doing. CPU time (user + system) is given beside the wall time, since it depends less on that.
#   tools/sweep/bench_batch.sh BUILD_DIR [TICKS]
set -euo pipefail
build=$(cd "${1:?usage: bench_batch.sh BUILD_DIR [TICKS]}" && pwd)
ticks=${2:-300}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$(dirname "$0")/../../data"
TIMEFORMAT="%R %U %S"
grid=(--crank-speeds 2:4:4 --frictions 50:350:4 --ticks "$ticks" --settle 100 --no-plot)
for jobs in 1 2; do
  baseline=""
  for batch in 1 $((16 / jobs)); do
    read -r wall user sys < <({ time "$build/koltrep-sweep" "${grid[@]}" --jobs "$jobs" \
      --batch "$batch" --out "$out/j$jobs-b$batch" 2>/dev/null; } 2>&1)
    baseline=${baseline:-$wall}
    awk -v j="$jobs" -v b="$batch" -v w="$wall" -v base="$baseline" -v u="$user" -v s="$sys" \
      'BEGIN { printf "4x4 cells, %d ticks, --jobs %d --batch %-2d: %.2f s wall, %.2f cells/s " \
        "(%.2fx the one-process-per-cell rate), %.2f s CPU\n", '"$ticks"', j, b, w, 16 / w, \
        base / w, u + s }'
    cmp -s "$out/j1-b1/sweep.csv" "$out/j$jobs-b$batch/sweep.csv" ||
      echo "  CSV differs from the --jobs 1 --batch 1 run!"
  done
done
printf '0 UP down\n' > "$out/walk.txt"
for n in "$ticks" 3; do
  : > "$out/cells-$n"
  for i in $(seq 16); do echo "3 350 $i $out/t$i.csv" >> "$out/cells-$n"; done
  read -r wall user sys < <({ time "$build/koltrep-replay" --script "$out/walk.txt" --ticks "$n" \
    --no-draw --cells "$out/cells-$n" >/dev/null 2>&1; } 2>&1)
  echo "$n $wall $user $sys" >> "$out/overhead"
done
awk -v t="$ticks" '{ wall[NR] = $2; cpu[NR] = $3 + $4 } END {
  printf "batched cell of %d ticks: ticking %.1f ms CPU, everything else %.1f ms CPU " \
    "(%.3f of the ticking; wall %.1f ms against %.1f ms)\n", t, (cpu[1] - cpu[2]) / 16 * 1000,
    cpu[2] / 16 * 1000, cpu[2] / (cpu[1] - cpu[2]), (wall[1] - wall[2]) / 16 * 1000,
    wall[2] / 16 * 1000 }' "$out/overhead"
