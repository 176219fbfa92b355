#!/usr/bin/env bash
# What a hard end leaves, and what a refused start or a broken stderr must not destroy:
# - a refused start (--trace in a missing folder) leaves an earlier --record file byte for byte;
# - a live drive with --record and --trace killed by SIGKILL leaves a script and a trace of whole
#   ticks, and the script replays to the same rows as far as the trace goes;
# - with KOLTREP_DEBUG=1 and the reader of stderr gone, SIGTERM still ends the run through its
#   whole shut-down, with exit code 0 (not by SIGPIPE).
source "$(dirname "$0")/common.bash" || exit 1

REPLAY=$BUILD_DIR/koltrep-replay
[[ -x $REPLAY ]] || fail "$REPLAY is not built"
printf '# an earlier drive\n3 UP down\n# 9 ticks\n' >"$WORK/earlier.txt"
cp "$WORK/earlier.txt" "$WORK/earlier.kept"
"$KOLTREP" -win --record "$WORK/earlier.txt" --trace "$WORK/missing/t.csv" 2>"$WORK/refused.err"
[[ $? -eq 6 ]] || fail "a --trace in a missing folder was not refused: $(cat "$WORK/refused.err")"
cmp -s "$WORK/earlier.txt" "$WORK/earlier.kept" || fail "the refused start changed the earlier recording"

start_xvfb
private_runtime_dir
start_koltrep_with_window run "$KOLTREP" -win --record "$WORK/drive.txt" --trace "$WORK/live.csv"
focus_window "$KOLTREP_WINDOW"
press_key Up 1.0
press_key Left 0.6
xdotool keydown Up
sleep 0.5
kill -KILL "$run"
wait_exit "$run" 30
xdotool keyup Up
[[ $EXIT_CODE -eq 137 ]] || fail "exit code $EXIT_CODE after SIGKILL"

rows=$(($(wc -l <"$WORK/live.csv") - 1))
[[ $(tail -c 1 "$WORK/live.csv" | od -An -c | tr -d ' ') == '\n' ]] || fail "the trace ends inside a row"
((rows > 5)) || fail "only $rows trace rows survived the kill"
for key in UP LEFT; do
    grep -qE "^[0-9]+ $key down$" "$WORK/drive.txt" || fail "no '$key down' survived the kill"
done
note "$rows ticks before the kill"
(cd "$DATA_DIR" && "$REPLAY" --script "$WORK/drive.txt" --ticks "$rows" --no-draw \
    --trace "$WORK/replay.csv") >"$WORK/replay.out" 2>&1 || fail "replay failed: $(tail -n 5 "$WORK/replay.out")"
cmp "$WORK/live.csv" "$WORK/replay.csv" || fail "the replayed trace differs from the killed drive's"

mkfifo "$WORK/stderr.pipe"
cat "$WORK/stderr.pipe" >"$WORK/piped.err" &
reader=$!
(cd "$DATA_DIR" && KOLTREP_DEBUG=1 exec "$KOLTREP" -win) 2>"$WORK/stderr.pipe" &
piped=$!
STARTED_PIDS+=("$piped")
wait_for_window "$piped" >/dev/null || exit 1
wait_for 300 grep -q InitDirectInput "$WORK/piped.err" || fail "no log on stderr: $(cat "$WORK/piped.err")"
kill "$reader"
wait "$reader" 2>/dev/null
kill -TERM "$piped"
wait_exit "$piped" 30
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE with stderr closed (141 is SIGPIPE)"
echo PASS
