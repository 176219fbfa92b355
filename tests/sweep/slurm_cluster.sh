#!/usr/bin/env bash
# A one-node Slurm cluster of the test's own (munge, slurmctld and slurmd from Debian, state in a
# temporary folder, ports and a munge key and socket of its own), a 2 x 2 sweep with 2 repeats
# and a 3 x 3 --vary sweep through it, and their CSVs against the local engine's; then a small
# search of koltrep-optimize through it against its local engine. A scheduler that does not
# start fails the test with the daemons' logs.
#   slurm_cluster.sh BUILD_DIR SOURCE_DIR [bench]
# With "bench" it then times a 4 x 4 sweep of 300-tick cells through the cluster against the
# local engine (both on this machine's cores), and the scheduler's latency: an array of one
# task that does nothing, from submission until it has left the queue.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
dir=$(mktemp -d /tmp/koltrep-slurm-XXXXXX)
chmod 755 "$dir"
host=$(hostname)
port=$((20000 + $$ % 20000))

fail() {
  echo "FAIL: $*" >&2
  for log in "$dir"/munge/munged.log "$dir"/slurmctld.log "$dir"/slurmd.log; do
    [[ -f $log ]] && { echo "---- $log" >&2; tail -n 30 "$log" >&2; }
  done
  exit 1
}
stop() {
  for pid_file in "$dir"/slurmd.pid "$dir"/slurmctld.pid "$dir"/munged.pid; do
    [[ -f $pid_file ]] && kill "$(cat "$pid_file")" 2>/dev/null || true
  done
  sleep 1
  rm -rf "${dir:?}"
}
trap stop EXIT
# Runs its command until it succeeds, for up to $1 seconds: a bound for a hang, not for speed.
wait_for() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.2
  done
}
# Writes a replay for the sweep's --replay (or, given PROGRAM, an evaluator for the optimiser's
# --evaluate) that lets the first PASSES runs through and holds every later one until its task
# is cancelled: a sweep through it stops with exactly those rows done, however fast the machine,
# and never finishes before the test stops it.
gated_replay() { # NAME PASSES [PROGRAM]
  mkdir "$dir/$1.gate"
  {
    echo '#!/bin/sh'
    printf 'gate=%q passes=%d replay=%q\n' "$dir/$1.gate" "$2" "${3:-$build/koltrep-replay}"
    cat <<'SH'
n=1
while [ "$n" -le "$passes" ]; do
  mkdir "$gate/pass-$n" 2>/dev/null && exec "$replay" "$@"
  n=$((n + 1))
done
exec sleep 300
SH
  } > "$dir/$1"
  chmod 755 "$dir/$1"
}
count() { # GLOB: how many paths it matches
  local matches=($1)
  [[ -e ${matches[0]} ]] && echo ${#matches[@]} || echo 0
}

for program in munged slurmctld slurmd sbatch squeue; do
  command -v "$program" >/dev/null || fail "$program is not installed (tools/install-deps.sh)"
done
# munge gets a key of the test's own: the host's key, if any, stays as it is.
mkdir -p "$dir/munge" "$dir/state" "$dir/spool"
dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 status=none
chmod 0400 "$dir/munge/munge.key"
chown -R munge:munge "$dir/munge"
runuser -u munge -- munged --key-file="$dir/munge/munge.key" --socket="$dir/munge/munge.sock" \
  --pid-file="$dir/munge/munged.pid" --log-file="$dir/munge/munged.log" \
  --seed-file="$dir/munge/seed" \
  || fail "munged did not start"
cp "$dir/munge/munged.pid" "$dir/munged.pid" 2>/dev/null || true

cat > "$dir/slurm.conf" <<CONF
ClusterName=koltreptest
SlurmctldHost=$host
SlurmUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/munge.sock
SlurmctldPort=$port
SlurmdPort=$((port + 1))
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
MpiDefault=none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$dir/slurm.conf
slurmctld -D -f "$SLURM_CONF" >>"$dir/slurmctld.log" 2>&1 &
echo $! > "$dir/slurmctld.pid"
slurmd -D -f "$SLURM_CONF" >>"$dir/slurmd.log" 2>&1 &
echo $! > "$dir/slurmd.pid"
for _ in $(seq 60); do
  [[ $(sinfo -h -o %t 2>/dev/null) == idle ]] && break
  sleep 1
done
[[ $(sinfo -h -o %t 2>/dev/null) == idle ]] || fail "the node did not come up idle: $(sinfo 2>&1)"

cd "$source_dir/data"
grid=(--crank-speeds 2.5,4 --frictions 50,350 --ticks 120 --settle 40 --repeats 2 --seed 3
  --no-plot)
"$build/koltrep-sweep" "${grid[@]}" --out "$dir/local" 2>/dev/null || fail "the local sweep failed"
start=$(date +%s.%N)
"$build/koltrep-sweep" "${grid[@]}" --engine slurm --batch 3 --out "$dir/slurm" \
  || fail "the Slurm sweep failed"
awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "Slurm sweep: %.1f s\n", b - a }'

for file in sweep.csv runs.csv; do
  cmp "$dir/local/$file" "$dir/slurm/$file" || fail "$file differs from the local engine's"
done
! compgen -G "$dir/slurm/slurm-*" >/dev/null || fail "the Slurm work folder is left after a complete sweep"
# A 3 x 3 grid over two linkage dimensions: each run's machine reaches the node as its file, and
# the CSVs are the local engine's.
vary=(--vary linkage.crank=0.9:1.1:3 --vary linkage.coupler=2.3:2.7:3 --ticks 80 --settle 30
  --repeats 2 --seed 3 --no-plot)
"$build/koltrep-sweep" "${vary[@]}" --out "$dir/vary-local" 2>/dev/null ||
  fail "the local --vary sweep failed"
"$build/koltrep-sweep" "${vary[@]}" --engine slurm --batch 5 --out "$dir/vary-slurm" 2>/dev/null ||
  fail "the Slurm --vary sweep failed"
for file in sweep.csv runs.csv; do
  cmp "$dir/vary-local/$file" "$dir/vary-slurm/$file" || fail "--vary: $file differs from the local engine's"
done
# Ctrl-C while the array runs cancels it and keeps what is done; --resume completes it locally,
# making only the runs without a row.
gated_replay three-then-hold 3
"$build/koltrep-sweep" "${grid[@]}" --engine slurm --batch 1 --replay "$dir/three-then-hold" \
  --out "$dir/stopped" 2>"$dir/stopped.err" &
sweep=$!
three_rows() { [[ $(count "$dir/stopped/slurm-*/task-*.rows") == 3 ]]; }
wait_for 120 three_rows || fail "three tasks did not finish in 120 s: $(squeue 2>&1)"
kill -INT "$sweep"
code=0
wait "$sweep" || code=$?
[[ $code == 130 ]] || fail "a stopped Slurm sweep exits with $code: $(cat "$dir/stopped.err")"
# Cancelled jobs may still be completing; none may wait or run.
[[ -z $(squeue -h -t PENDING,RUNNING) ]] || fail "the array still runs after the stop: $(squeue)"
wait_for 60 eval '[[ -z $(squeue -h) ]]' || fail "the cancelled array stays queued: $(squeue)"
head -n 1 "$dir/stopped/sweep.partial.csv" | grep -q PARTIAL || fail "no partial file"
rows=$(($(wc -l < "$dir/stopped/sweep.partial.csv") - 2))
{
  echo '#!/bin/sh'
  printf 'echo "$*" >> %q\nexec %q "$@"\n' "$dir/made.log" "$build/koltrep-replay"
} > "$dir/noting-replay"
chmod 755 "$dir/noting-replay"
"$build/koltrep-sweep" "${grid[@]}" --resume --batch 1 --replay "$dir/noting-replay" \
  --out "$dir/stopped" 2>/dev/null || fail "--resume after the Slurm stop failed"
cmp "$dir/local/sweep.csv" "$dir/stopped/sweep.csv" || fail "the resumed CSV differs"
made=$(wc -l < "$dir/made.log")
((rows == 3 && made == 8 - rows)) ||
  fail "the stop kept $rows of 8 rows (3 expected) and the resume made $made runs"

# An array cancelled by someone else: the sweep names every run without a row, by cell.
gated_replay hold 0
"$build/koltrep-sweep" "${grid[@]}" --engine slurm --batch 1 --replay "$dir/hold" \
  --out "$dir/cancelled" 2>"$dir/cancelled.err" &
sweep=$!
queued() { job=$(squeue -h -o %F 2>/dev/null | head -n 1) && [[ -n $job ]]; }
wait_for 60 queued || fail "the array was not in the queue within 60 s"
scancel "$job"
code=0
wait "$sweep" || code=$?
[[ $code == 1 ]] || fail "a sweep whose array was cancelled exits with $code"
grep -q "^koltrep-sweep: cell crank speed .*: no row from Slurm task [0-9]* of job $job" \
  "$dir/cancelled.err" || fail "no run reported by cell: $(cat "$dir/cancelled.err")"
wait_for 60 eval '[[ -z $(squeue -h) ]]' || fail "the cancelled array stays queued: $(squeue)"

# A dry run writes the batch script and submits nothing.
jobs_before=$(squeue -h | wc -l)
script=$("$build/koltrep-sweep" "${grid[@]}" --engine slurm --dry-run --partition test \
  --out "$dir/dry" 2>/dev/null) || fail "the dry run failed"
grep -q '^#SBATCH --array=0-0$' "$script" && grep -q '^#SBATCH --partition=test$' "$script" \
  || fail "the batch script lacks its array or partition: $(cat "$script")"
[[ $(squeue -h | wc -l) == "$jobs_before" ]] || fail "the dry run submitted a job"
echo "PASS: the Slurm engine's CSVs equal the local engine's"

# The optimiser through the cluster, a job array a generation: the same files as its local
# engine, and no work folder left behind.
search=(--param linkage.crank=0.8:1.2 --param linkage.coupler=1.2:2.8 --objective speed:max
  --objective cost_of_transport:min --population 8 --generations 2 --seed 1 --ticks 120
  --settle 40 --repeats 2 --no-plot)
"$build/koltrep-optimize" "${search[@]}" --out "$dir/optimize-local" 2>/dev/null ||
  fail "the local search failed"
"$build/koltrep-optimize" "${search[@]}" --engine slurm --out "$dir/optimize-slurm" \
  2>"$dir/optimize.err" || fail "the Slurm search failed: $(cat "$dir/optimize.err")"
diff -r "$dir/optimize-local" "$dir/optimize-slurm" >&2 ||
  fail "the Slurm search's files differ from the local engine's"
# Ctrl-C while generation 1's array runs (the reference's two runs and four more let through)
# cancels it and keeps what ended; --resume completes the search to the same files.
gated_replay evaluate-six 6 "$build/koltrep-evaluate"
"$build/koltrep-optimize" "${search[@]}" --engine slurm --evaluate "$dir/evaluate-six" \
  --out "$dir/optimize-stopped" 2>"$dir/optimize-stopped.err" &
search_pid=$!
four_ended() { [[ $(count "$dir/optimize-stopped/slurm-*/run-*.status") == 4 ]]; }
wait_for 120 four_ended || fail "four runs did not end in 120 s: $(squeue 2>&1)"
kill -INT "$search_pid"
code=0
wait "$search_pid" || code=$?
[[ $code == 130 ]] || fail "a stopped Slurm search exits with $code: $(cat "$dir/optimize-stopped.err")"
wait_for 60 eval '[[ -z $(squeue -h) ]]' || fail "the cancelled array stays queued: $(squeue)"
"$build/koltrep-optimize" "${search[@]}" --resume --out "$dir/optimize-stopped" 2>/dev/null ||
  fail "--resume after the Slurm stop failed"
diff -r -x 'slurm-*' "$dir/optimize-local" "$dir/optimize-stopped" >&2 ||
  fail "the resumed search's files differ from the local engine's"
echo "PASS: the optimiser's Slurm engine gives the local engine's files, stopped and resumed too"

[[ ${3:-} == bench ]] || exit 0
seconds() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }
big=(--crank-speeds 2:4:4 --frictions 50:350:4 --ticks 300 --settle 100 --no-plot)
start=$(date +%s.%N)
"$build/koltrep-sweep" "${big[@]}" --out "$dir/big-local" 2>/dev/null
local_s=$(seconds "$start")
start=$(date +%s.%N)
"$build/koltrep-sweep" "${big[@]}" --engine slurm --batch 8 --out "$dir/big-slurm" 2>/dev/null
slurm_s=$(seconds "$start")
cmp -s "$dir/big-local/sweep.csv" "$dir/big-slurm/sweep.csv" || echo "  the CSVs differ!"
printf '#!/bin/sh\ntrue\n' > "$dir/nothing.sh"
start=$(date +%s.%N)
job=$(sbatch --parsable --array=0-0 --output=/dev/null "$dir/nothing.sh")
while [[ -n $(squeue -h -r -j "$job" 2>/dev/null) ]]; do sleep 0.2; done
echo "4x4 cells of 300 ticks: local engine $local_s s, Slurm engine $slurm_s s (2 tasks of 8);" \
  "an empty one-task array takes $(seconds "$start") s from sbatch to leaving the queue"
