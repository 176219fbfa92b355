#!/usr/bin/env bash
# Named pipes where the program's files belong: body.x, ground.png and almi.png in the folder it
# starts in, and debug.txt beside the executable with -dbf. None may block the start (a pipe
# without a writer, or without a reader, blocks an ordinary open for good, and a blocked start
# would hold the single-instance lock): the window appears, each load is logged as failed on
# standard error, and Escape ends the run as usual.
source "$(dirname "$0")/common.bash" || exit 1

start_xvfb
private_runtime_dir
mkdir -p "$WORK/bin" "$WORK/pipes"
cp "$KOLTREP" "$WORK/bin/koltrep"
for name in body.x ground.png almi.png; do
    mkfifo "$WORK/pipes/$name" || fail "mkfifo $name"
done
mkfifo "$WORK/bin/debug.txt" || fail "mkfifo debug.txt"

DATA_DIR=$WORK/pipes
started=$SECONDS
start_koltrep_with_window run "$WORK/bin/koltrep" -win -dbf
note "window after $((SECONDS - started)) s"
focus_window "$KOLTREP_WINDOW"
press_key space
xdotool keydown Escape
wait_exit "$run" 30
xdotool keyup Escape
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE: $(tail -n 5 "$WORK/run.err")"

# The log could not go to the pipe, so it is on stderr, loads and all.
tr -d '\r' <"$WORK/run.err" >"$WORK/run.lf"
for name in ground.png almi.png body.x; do
    grep -A1 -F "load($name) ... " "$WORK/run.lf" | grep -q 'failed\.$' ||
        fail "no failed load of $name on stderr: $(grep -F "load($name)" "$WORK/run.lf")"
done
grep -qx 'FreeDirect3D' "$WORK/run.lf" || fail "the run did not shut down in order"
[[ -p $WORK/bin/debug.txt ]] || fail "debug.txt was replaced"
echo PASS
