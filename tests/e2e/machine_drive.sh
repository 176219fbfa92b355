#!/usr/bin/env bash
# A live drive of another machine: koltrep refuses a machine file that does not check with exit
# code 7 before anything starts; with an edited file and start values, its recording names the
# file (path and hash) and the start, the replay of the recording alone gives the live trace's
# bytes, and once the file has changed the replay refuses to stand in another machine.
source "$(dirname "$0")/common.bash" || exit 1

REPLAY=$BUILD_DIR/koltrep-replay
INSPECT=$BUILD_DIR/koltrep-inspect
[[ -x $REPLAY && -x $INSPECT ]] || fail "koltrep-replay or koltrep-inspect is not built"
"$INSPECT" machine >"$WORK/design.toml" || fail "koltrep-inspect machine failed"

sed 's/^base = 2.0 /base = 9.0 /' "$WORK/design.toml" >"$WORK/stuck.toml"
env -u DISPLAY "$KOLTREP" -win --machine "$WORK/stuck.toml" --record "$WORK/kept.txt" \
    2>"$WORK/bad.err"
code=$?
[[ $code -eq 7 ]] || fail "a linkage that cannot turn gives exit code $code: $(cat "$WORK/bad.err")"
grep -qF "$WORK/stuck.toml:8:1: linkage: the crank cannot turn a full circle" "$WORK/bad.err" ||
    fail "the refusal does not name the file, line and key: $(cat "$WORK/bad.err")"
[[ ! -e $WORK/kept.txt ]] || fail "a refused machine still opened the recording"

sed 's/^coupler = 2.5 /coupler = 2.6 /' "$WORK/design.toml" >"$WORK/walker.toml"
start_xvfb
private_runtime_dir
start_koltrep_with_window run "$KOLTREP" -win --machine "$WORK/walker.toml" --crank-speed 4 \
    --friction 200 --record "$WORK/drive.txt" --trace "$WORK/live.csv"
focus_window "$KOLTREP_WINDOW"
press_key Up 1.5
press_key Left 0.5
xdotool keydown Escape
wait_exit "$run" 30
xdotool keyup Escape
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE: $(tail -n 5 "$WORK/run.err")"

grep -qE "^# machine: fnv1a64:[0-9a-f]{16} $WORK/walker.toml\$" "$WORK/drive.txt" ||
    fail "the recording does not name its machine: $(head -n 3 "$WORK/drive.txt")"
grep -qx "# start: crank-speed 4 friction 200" "$WORK/drive.txt" ||
    fail "the recording does not state its start: $(head -n 3 "$WORK/drive.txt")"
(cd "$DATA_DIR" && "$REPLAY" --script "$WORK/drive.txt" --no-draw --trace "$WORK/replay.csv") \
    >"$WORK/replay.out" 2>&1 || fail "replay failed: $(tail -n 5 "$WORK/replay.out")"
cmp "$WORK/live.csv" "$WORK/replay.csv" || fail "the replayed trace differs from the live one"

echo "# edited" >>"$WORK/walker.toml"
(cd "$DATA_DIR" && "$REPLAY" --script "$WORK/drive.txt" --no-draw) >"$WORK/changed.out" 2>&1
code=$?
[[ $code -eq 2 ]] && grep -q "the machine differs" "$WORK/changed.out" ||
    fail "a changed machine file is replayed (exit $code): $(cat "$WORK/changed.out")"
echo PASS
