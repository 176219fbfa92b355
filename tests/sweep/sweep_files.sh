#!/usr/bin/env bash
# The sweep's files as a user meets them: a full disk keeps the finished rows, one sweep at a
# time writes in a folder, another sweep's partial rows are never lost, resumed rows are checked,
# the Slurm engine leaves the user's files alone and no path runs as a command, and the results
# follow the umask. Needs root for the small tmpfs it fills.
#   sweep_files.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
sweep=$build/koltrep-sweep
dir=$(mktemp -d /tmp/koltrep-sweep-files-XXXXXX)
cleanup() {
    mountpoint -q "$dir/disk" && umount "$dir/disk"
    rm -rf "$dir"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# runs CODE ARGS...: runs the sweep in the data folder, its stderr in $dir/err; fails unless it
# exits with CODE.
runs() {
    local want=$1 code=0
    shift
    (cd "$source_dir/data" && "$sweep" "$@") >"$dir/out" 2>"$dir/err" || code=$?
    [[ $code == "$want" ]] || fail "exit $code, not $want, for $*: $(cat "$dir/err")"
}
said() { grep -qF -- "$1" "$dir/err" || fail "no '$1' in: $(cat "$dir/err")"; }
grid=(--crank-speeds 3,4 --frictions 350 --ticks 40 --settle 5 --no-plot --jobs 1)

# fill FOLDER: takes what room is left on FOLDER's disk.
fill() {
    local avail
    avail=$(df -B1 --output=avail "$1" | tail -n 1)
    touch "$1/filler-$avail"
    ((avail == 0)) || fallocate -l "$avail" "$1/filler-$avail"
}
# A disk that fills up during the runs: the rows are in the partial file, and --resume writes
# the results once there is room. A disk full from the start is refused before the first run.
mkdir -p "$dir/disk" "$dir/tmp"
mount -t tmpfs -o size=1m tmpfs "$dir/disk"
# The last run ends only once the disk is full (or after 30 s): however fast the runs, the
# results meet it.
cat >"$dir/held-evaluate" <<EOF
#!/usr/bin/env bash
"$build/koltrep-evaluate" "\$@" || exit
[[ "\$*" == *run-1.csv* ]] || exit 0
for ((i = 0; i < 600; i++)); do
    [[ -e "$dir/filled" ]] && break
    sleep 0.05
done
EOF
chmod +x "$dir/held-evaluate"
(cd "$source_dir/data" && TMPDIR=$dir/tmp exec "$sweep" "${grid[@]}" --batch 1 --ticks 200 \
    --replay "$dir/held-evaluate" --out "$dir/disk/out") 2>"$dir/err" &
sweeping=$!
for ((i = 0; i < 600; i++)); do
    compgen -G "$dir/tmp/koltrep-sweep-*/run-1.csv" >/dev/null && break
    sleep 0.05
done
fill "$dir/disk"
touch "$dir/filled"
code=0
wait "$sweeping" || code=$?
[[ $code == 1 ]] || fail "exit $code on a disk that filled up: $(cat "$dir/err")"
said "No space left on device; 2 of 2 runs finished; their rows are in $dir/disk/out/sweep.partial.csv"
[[ $(wc -l <"$dir/disk/out/sweep.partial.csv") == 4 ]] || fail "the rows are not all kept"
cp "$dir/disk/out/sweep.partial.csv" "$dir/kept.csv"
fill "$dir/disk"
runs 2 "${grid[@]}" --ticks 200 --out "$dir/disk/out" --resume
said "no room for"
rm "$dir"/disk/filler-*
runs 0 "${grid[@]}" --ticks 200 --out "$dir/disk/out" --resume
runs 0 "${grid[@]}" --ticks 200 --out "$dir/whole"
cmp "$dir/disk/out/sweep.csv" "$dir/whole/sweep.csv" || fail "the resumed results differ"

# Results and their settings file follow the umask; the plot data stay out of the folder.
(umask 027 && runs 0 --crank-speeds 3 --frictions 350 --ticks 40 --settle 5 --repeats 2 \
    --out "$dir/mode")
said "1 cell in"
grep -q $'\r' "$dir/err" && fail "a progress bar drawn into a pipe"
for file in sweep.csv runs.csv sweep.settings; do
    [[ $(stat -c %a "$dir/mode/$file") == 640 ]] || fail "$file is mode $(stat -c %a "$dir/mode/$file")"
done
[[ $(ls "$dir/mode") == $'runs.csv\nspeed.png\nsweep.csv\nsweep.settings\ntipover.png' ]] ||
    fail "the out folder holds $(ls "$dir/mode")"
grep -qx 'ticks=40' "$dir/mode/sweep.settings" && grep -q '^unit.speed_mean=units per' \
    "$dir/mode/sweep.settings" || fail "the settings file lacks its fields: $(cat "$dir/mode/sweep.settings")"

# One sweep per folder; and another sweep's partial rows stay where they are.
flock "$dir/whole" "$sweep" "${grid[@]}" --out "$dir/whole" 2>"$dir/err" && fail "two sweeps in one folder"
said "another koltrep-sweep is writing in $dir/whole"
printf '0 UP down\n0 NOSUCHKEY down\n' >"$dir/bad.txt"
runs 1 "${grid[@]}" --out "$dir/other" --script "$dir/bad.txt"
cp "$dir/other/sweep.partial.csv" "$dir/partial.csv"
runs 2 --crank-speeds 5 --frictions 350 --ticks 40 --settle 5 --no-plot --out "$dir/other"
said "holds another sweep's rows"
cmp "$dir/partial.csv" "$dir/other/sweep.partial.csv" || fail "another sweep's partial file changed"

# Resumed rows that no run gives are refused by line; a row cut short is damage. A killed
# sweep's temporary file, which may hold the partial file's room, goes.
fallocate -l 64k "$dir/whole/.sweep.partial.csv.AbC123"
head -n 2 "$dir/kept.csv" >"$dir/head.csv"
row3=$(sed -n 3p "$dir/kept.csv")
for case in '4,350,nan,1,,,,,|not a finite' '4,350,1,-inf,,,,,|not a finite' \
    '4,350,-7,1,,,,,|below 0' '4,350,1,1,999999999,,,,|not one of the 200 ticks' \
    '4,350,1,1,,1,0.5,2,1|duty factor 2 is above 1' '4,350,1,1,,-1,0.5,0.5,1|below 0' \
    '4,350,1,1|has 4 fields, not 9' "$row3|repeats the run of line 3"; do
    { cat "$dir/head.csv" && echo "$row3" && echo "${case%|*}"; } >"$dir/whole/sweep.partial.csv"
    runs 2 "${grid[@]}" --ticks 200 --out "$dir/whole" --resume
    said "sweep.partial.csv line 4"
    said "${case#*|}"
done
# A tip tick of 12 cut to 1 still reads as a row.
{ cat "$dir/head.csv" && echo "$row3" && printf '4,350,1.5,2.25,1'; } >"$dir/whole/sweep.partial.csv"
runs 2 "${grid[@]}" --ticks 200 --out "$dir/whole" --resume
said "line 4 is cut short: the file is damaged"
[[ ! -e $dir/whole/.sweep.partial.csv.AbC123 ]] || fail "a killed sweep's temporary file stays"
cp "$dir/kept.csv" "$dir/whole/sweep.partial.csv"
runs 2 "${grid[@]}" --ticks 200 --seed 7 --out "$dir/whole" --resume
said "was made with other settings: seed 0 there, 7 now"

# The Slurm engine: a slurm/ of the user's stays; a line break in a path is refused before
# anything is written; spaces and ; are quoted in the hint and in the script, which runs a task.
out="$dir/my out;touch $dir/pwned"
mkdir -p "$out/slurm/jobs"
echo notes >"$out/slurm/jobs/notes.txt"
runs 0 "${grid[@]}" --engine slurm --dry-run --out "$out"
[[ -f $out/slurm/jobs/notes.txt ]] || fail "the user's slurm/jobs/notes.txt is gone"
mkdir "$dir/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s/sbatch.args"\n' "$dir" >"$dir/bin/sbatch"
chmod +x "$dir/bin/sbatch"
PATH=$dir/bin:$PATH bash -c "${hint:=$(sed -n 's/.*submit them with: //p' "$dir/err")}"
[[ $(cat "$dir/sbatch.args") == "$(cat "$dir/out")" ]] || fail "the hint does not submit the script: $hint"
(cd "$source_dir/data" && SLURM_ARRAY_TASK_ID=0 sh "$(cat "$dir/out")") || fail "the task failed"
[[ $(grep -c '^[01] ' "$(dirname "$(cat "$dir/out")")/task-0.rows") == 2 ]] || fail "the task wrote no rows"
runs 2 "${grid[@]}" --engine slurm --dry-run --out "$dir/a"$'\n'"touch $dir/pwned"
said "--out holds a line break"
[[ ! -e $dir/pwned && ! -e $dir/a$'\n'"touch $dir" ]] || fail "a path ran as a command"
runs 2 "${grid[@]}" --engine slurm --dry-run --partition "a b" --out "$dir/part"
said "--partition and --time take no quotes"
mkdir "$dir/x"$'\n'"y"
(cd "$dir/x"$'\n'"y" && "$sweep" "${grid[@]}" --engine slurm --dry-run --out "$dir/cwd" 2>"$dir/err") &&
    fail "a current folder with a line break went into the script"
said "the current folder holds a line break"

# No sbatch: says so, and the partial file the exit code promises is there.
PATH=/nonexistent runs 1 "${grid[@]}" --engine slurm --out "$dir/nosbatch"
said "sbatch is not on PATH"
head -n 1 "$dir/nosbatch/sweep.partial.csv" | grep -q "PARTIAL results (0 of 2 runs)" ||
    fail "no partial file without sbatch"

# The default folder is the user's own; an Escape before --ticks is noted; a --ticks below the
# default settling names the default.
printf '0 UP down\n30 ESCAPE down\n' >"$dir/escape.txt"
TMPDIR=$dir/tmp runs 0 --crank-speeds 3 --frictions 350 --ticks 40 --settle 5 --no-plot \
    --script "$dir/escape.txt"
said "note: the script's Escape ends every run after 30 ticks, before --ticks 40"
[[ -f $dir/tmp/koltrep-sweep-$(id -un)/sweep.csv ]] || fail "no results in the user's own folder"
mkdir -m 1777 "$dir/shared" && mkdir "$dir/shared/koltrep-sweep-$(id -un)"
chown nobody "$dir/shared/koltrep-sweep-$(id -un)"
TMPDIR=$dir/shared runs 2 --crank-speeds 3 --frictions 350 --ticks 40 --settle 5
said "is not yours alone"
runs 2 --crank-speeds 3 --frictions 350 --ticks 100
said "the default --settle of 100"
echo "PASS: the sweep's files"
