#!/usr/bin/env bash
# What one sweep cell costs as a process of its own, against the same cell in a batch, in one
# run: CPU time (user + system) and peak resident memory (/usr/bin/time's %M) of a 300-tick
# cell without drawing in koltrep-replay --no-draw and in koltrep-evaluate, of their start-up
# alone (a 1-tick run), and of the cell as one of a batch of cells in one koltrep-evaluate.
# Each figure is the median of RUNS runs. Not a test: the figures depend on the machine's load.
#   bench/evaluator.sh BUILD_DIR [TICKS] [RUNS] [BATCH]
set -euo pipefail
build=$(cd "${1:?usage: evaluator.sh BUILD_DIR [TICKS] [RUNS] [BATCH]}" && pwd)
ticks=${2:-300}
runs=${3:-5}
batch=${4:-10}
out=$(mktemp -d)
trap 'rm -rf -- "$out"' EXIT
cd "$(dirname "$0")/../data"
printf '0 UP down\n' >"$out/walk.txt"
for ((i = 0; i < batch; ++i)); do
  printf '3 350 %d %s\n' "$i" "$out/cell-$i.csv"
done >"$out/batch.cells"

# Prints "CPU_SECONDS PEAK_KIB", the medians over the runs of the command.
measure() {
  for ((r = 0; r < runs; ++r)); do
    /usr/bin/time -f '%U %S %M' -o "$out/time" "$@" >/dev/null 2>&1
    awk '{ printf "%.3f %d\n", $1 + $2, $3 }' "$out/time"
  done >"$out/samples"
  local m=$(((runs + 1) / 2))
  echo "$(cut -d' ' -f1 "$out/samples" | sort -n | sed -n "${m}p")" \
    "$(cut -d' ' -f2 "$out/samples" | sort -n | sed -n "${m}p")"
}

report() { # LABEL CPU KIB
  printf '%-58s %6.3f s CPU %8d KiB peak\n' "$1" "$2" "$3"
}

declare -A cpu kib
run() { # KEY LABEL COMMAND...
  local key=$1 label=$2
  shift 2
  read -r cpu[$key] kib[$key] < <(measure "$@")
  report "$label" "${cpu[$key]}" "${kib[$key]}"
}

run replay "koltrep-replay --no-draw, one $ticks-tick cell" \
  "$build/koltrep-replay" --script "$out/walk.txt" --ticks "$ticks" --no-draw --trace "$out/r.csv"
# Start-up is below the clock's 10 ms grain for the evaluator: timed over 20 starts at once.
starts=20
run replayStart "koltrep-replay --no-draw, $starts start-ups (1-tick runs)" \
  bash -c 'for ((i = 0; i < '$starts'; ++i)); do "$@" || exit; done' starts \
  "$build/koltrep-replay" --script "$out/walk.txt" --ticks 1 --no-draw --trace "$out/r1.csv"
run evaluate "koltrep-evaluate, one $ticks-tick cell" \
  "$build/koltrep-evaluate" --script "$out/walk.txt" --ticks "$ticks" --trace "$out/e.csv"
run evaluateStart "koltrep-evaluate, $starts start-ups (1-tick runs)" \
  bash -c 'for ((i = 0; i < '$starts'; ++i)); do "$@" || exit; done' starts \
  "$build/koltrep-evaluate" --script "$out/walk.txt" --ticks 1 --trace "$out/e1.csv"
run batch "koltrep-evaluate, $batch cells batched (whole batch)" \
  "$build/koltrep-evaluate" --script "$out/walk.txt" --ticks "$ticks" --cells "$out/batch.cells"
cmp -s "$out/r.csv" "$out/e.csv" || echo "  the two programs' traces differ!"

awk -v b="${cpu[batch]}" -v n="$batch" -v e="${cpu[evaluate]}" -v s="${cpu[evaluateStart]}" \
  -v rs="${cpu[replayStart]}" -v r="${cpu[replay]}" -v k="$starts" 'BEGIN {
    cell = b / n
    s /= k
    rs /= k
    printf "%-58s %6.4f s CPU\n", "a koltrep-evaluate start-up", s
    printf "%-58s %6.4f s CPU\n", "a koltrep-replay --no-draw start-up", rs
    printf "%-58s %6.3f s CPU\n", "a batched cell", cell
    printf "one-process cell against a batched cell: koltrep-evaluate %.2fx, koltrep-replay %.2fx\n", e / cell, r / cell
    printf "start-up against a batched cell'"'"'s ticking: koltrep-evaluate %.1f%%, koltrep-replay %.1f%%\n", 100 * s / cell, 100 * rs / cell
  }'
