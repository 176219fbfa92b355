#!/usr/bin/env bash
# Under openbox, a live drive with the hand and the panel, recorded: a Ctrl + left drag on the
# chassis pulls it, F6 opens the panel, a crank speed typed into its field and the contacts
# ticked there, a Ctrl + click on the panel that grabs nothing, and in the machine tab a shorter
# crank typed and the machine rebuilt. The recording holds the pull, the panel's changes and the
# rebuild with their ticks, the digits typed into the field are no key events
# (typing never drives the machine), and the replay of the recording gives the live trace byte
# for byte. The same drive without the pull gives another trace.
source "$(dirname "$0")/common.bash" || exit 1
source "$(dirname "$0")/wm.bash" || exit 1

REPLAY=$BUILD_DIR/koltrep-replay
[[ -x $REPLAY ]] || fail "$REPLAY is not built"
start_xvfb
private_runtime_dir
start_openbox
start_koltrep_with_window run "$KOLTREP" -win --record "$WORK/drive.txt" --trace "$WORK/live.csv"
focus_window "$KOLTREP_WINDOW"
sleep 5 # the machine lands and stands

# The chassis's front edge, left of where the panel will be.
xdotool mousemove --window "$KOLTREP_WINDOW" 250 245
xdotool keydown Control_L
xdotool mousedown 1
sleep 0.3
for y in 230 210 190 170 150; do
    xdotool mousemove --window "$KOLTREP_WINDOW" 250 $y
    sleep 0.2
done
xdotool mouseup 1
xdotool keyup Control_L
sleep 0.5

# A click as a person's: held over a tick, so the program's sample sees the button down.
click_at() {
    xdotool mousemove --window "$KOLTREP_WINDOW" "$1" "$2"
    sleep 0.3
    xdotool mousedown 1
    sleep 0.3
    xdotool mouseup 1
    sleep 0.3
}

press_key F6
sleep 0.5
# The crank speed's field, right of its slider, under the tabs.
click_at 560 104
press_key ctrl+a
for key in 0 period 7 5 Return; do press_key $key; done
click_at 352 259 # Contacts
# Ctrl + click on the panel, where the machine stands behind it: the panel keeps the click.
xdotool keydown Control_L
click_at 480 250
xdotool keyup Control_L
click_at 433 42 # the machine tab
click_at 540 80 # linkage.crank
press_key ctrl+a
for key in 0 period 9 Return; do press_key $key; done
click_at 369 284 # Rebuild
sleep 0.5
xdotool keydown Escape
wait_exit "$run" 30
xdotool keyup Escape
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE: $(tail -n 5 "$WORK/run.err")"

grep -qE '^#@ [0-9]+ pull 32 ' "$WORK/drive.txt" || fail "no pull on the chassis recorded"
[[ $(grep -cE '^#@ [0-9]+ release$' "$WORK/drive.txt") -eq 1 ]] ||
    fail "not one pull and its end recorded (a click on the panel grabbed?)"
grep -qE '^#@ [0-9]+ set crank_speed 0.75$' "$WORK/drive.txt" ||
    fail "the typed crank speed is not recorded: $(grep '^#@' "$WORK/drive.txt" | tail -n 5)"
grep -qE '^#@ [0-9]+ set contacts 1$' "$WORK/drive.txt" ||
    fail "the contacts are not recorded: $(grep -v pull "$WORK/drive.txt")"
grep -qE '^#@ [0-9]+ machine linkage.crank=0.9$' "$WORK/drive.txt" ||
    fail "the rebuild is not recorded: $(grep '^#@' "$WORK/drive.txt" | tail -n 3)"
grep -qE '^[0-9]+ F6 down$' "$WORK/drive.txt" || fail "F6 is not recorded"
grep -qE '^[0-9]+ (7|9|PERIOD|RETURN) down$' "$WORK/drive.txt" &&
    fail "keys typed into the panel's field reached the machine"

(cd "$DATA_DIR" && "$REPLAY" --script "$WORK/drive.txt" --no-draw --trace "$WORK/replay.csv") \
    >"$WORK/replay.out" 2>&1 || fail "replay failed: $(tail -n 5 "$WORK/replay.out")"
cmp "$WORK/live.csv" "$WORK/replay.csv" || fail "the replayed trace differs from the live one"
"$BUILD_DIR/koltrep-evaluate" --script "$WORK/drive.txt" --trace "$WORK/evaluate.csv" \
    >"$WORK/evaluate.out" 2>&1 || fail "evaluate failed: $(tail -n 5 "$WORK/evaluate.out")"
cmp "$WORK/live.csv" "$WORK/evaluate.csv" || fail "the evaluator's trace differs from the live one"

grep -vE '^#@ [0-9]+ (pull|release)' "$WORK/drive.txt" >"$WORK/no-pull.txt"
(cd "$DATA_DIR" && "$REPLAY" --script "$WORK/no-pull.txt" --no-draw --trace "$WORK/no-pull.csv") \
    >"$WORK/replay.out" 2>&1 || fail "replay without the pull failed"
cmp -s "$WORK/live.csv" "$WORK/no-pull.csv" && fail "the pull did not move the machine"
echo PASS
