#!/usr/bin/env bash
# What koltrep-optimize costs, in one run: candidates per CPU-second (user + system of the
# optimiser and its evaluators) with one koltrep-evaluate process per candidate and with the
# default batches, against the sweep's batched cells per CPU-second for as many 300-tick runs;
# then the wall time of a search of four linkage lengths, population 32, over GENERATIONS
# generations with --jobs 2 (0: none), whose results stay in STUDY_DIR when one is given. Not a
# test: the figures depend on the load.
#   bench/optimize.sh BUILD_DIR [GENERATIONS] [STUDY_DIR]
set -euo pipefail
build=$(cd "${1:?usage: optimize.sh BUILD_DIR [GENERATIONS] [STUDY_DIR]}" && pwd)
generations=${2:-25}
study=${3:-}
out=$(mktemp -d)
trap 'rm -rf -- "$out"' EXIT
[[ -n $study ]] || study=$out/study
cd "$(dirname "$0")/../data"

# Prints "CPU_SECONDS WALL_SECONDS" of the command.
measure() {
  /usr/bin/time -f '%U %S %e' -o "$out/time" "$@" >/dev/null 2>"$out/stderr" ||
    { cat "$out/stderr" >&2; exit 1; }
  awk '{ printf "%.2f %.2f\n", $1 + $2, $3 }' "$out/time"
}

# 25 candidates (the base machine and 3 generations of 8), a process each and in the default
# batches (with --jobs 1, a generation a process), against 25 batched sweep cells.
small() {
  measure "$build/koltrep-optimize" --param linkage.crank=0.85:1.15 \
    --param linkage.coupler=2.2:2.8 --objective speed:max --objective cost_of_transport:min \
    --population 8 --generations 3 --seed 1 --ticks 300 --jobs 1 --no-plot "$@"
}
read -r ocpu owall < <(small --batch 1 --out "$out/small")
read -r bcpu bwall < <(small --out "$out/batched")
read -r scpu swall < <(measure "$build/koltrep-sweep" --crank-speeds 2:4:5 \
  --frictions 100,200,350,700,1400 --ticks 300 --jobs 1 --batch 25 --no-plot --out "$out/sweep")
printf 'one process per candidate: 25 candidates, %s s CPU, %.2f candidates per CPU-second\n' \
  "$ocpu" "$(bc -l <<<"25 / $ocpu")"
printf 'default batches: 25 candidates, %s s CPU, %.2f candidates per CPU-second\n' \
  "$bcpu" "$(bc -l <<<"25 / $bcpu")"
printf 'sweep, one batch of 25 cells: %s s CPU, %.2f cells per CPU-second\n' \
  "$scpu" "$(bc -l <<<"25 / $scpu")"
((generations > 0)) || exit 0

read -r cpu wall < <(measure "$build/koltrep-optimize" --param linkage.crank=0.85:1.15 \
  --param linkage.base=1.8:2.3 --param linkage.rocker=2.2:2.8 --param linkage.coupler=2.2:2.8 \
  --objective speed:max --objective cost_of_transport:min --population 32 \
  --generations "$generations" --seed 1 --jobs 2 --out "$study")
count=$(($(wc -l <"$study/candidates.csv") - 1))
printf '4 params, population 32, %s generations, --jobs 2: %d candidates in %s s (%s s CPU)\n' \
  "$generations" "$count" "$wall" "$cpu"
