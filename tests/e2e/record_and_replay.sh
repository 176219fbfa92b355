#!/usr/bin/env bash
# A live drive under a real X server with real key presses (each held longer than a tick),
# recorded with --record and traced with --trace: walk, turn, slow motion, pause, one step, a
# screenshot, resume, fire, the normal rate again, reset, walk again, Escape. The recorded script replayed by koltrep-replay gives
# the same trace bytes, and F12 left a PNG of the scene in the configured pictures folder.
source "$(dirname "$0")/common.bash" || exit 1

REPLAY=$BUILD_DIR/koltrep-replay
[[ -x $REPLAY ]] || fail "$REPLAY is not built"
"$KOLTREP" -win --record "$WORK/no-such-folder/drive.txt" 2>"$WORK/bad.err"
[[ $? -eq 6 ]] && grep -q "cannot write $WORK/no-such-folder/drive.txt" "$WORK/bad.err" ||
    fail "an unwritable --record file is not refused: $(cat "$WORK/bad.err")"
"$KOLTREP" -win --data "$WORK/no-such-folder" 2>"$WORK/bad.err"
[[ $? -eq 6 ]] && grep -q "data folder $WORK/no-such-folder does not exist" "$WORK/bad.err" ||
    fail "a --data folder that does not exist is not refused: $(cat "$WORK/bad.err")"
start_xvfb
private_runtime_dir
export XDG_CONFIG_HOME=$WORK/config
mkdir -p "$XDG_CONFIG_HOME" "$WORK/shots"
printf 'XDG_PICTURES_DIR="%s"\n' "$WORK/shots" >"$XDG_CONFIG_HOME/user-dirs.dirs"

# A copy of its own, so that -dbf puts debug.txt in the test's folder.
mkdir -p "$WORK/bin"
cp "$KOLTREP" "$WORK/bin/koltrep"
log=$WORK/bin/debug.txt
start_koltrep_with_window run "$WORK/bin/koltrep" -win -dbf --record "$WORK/drive.txt" --trace "$WORK/live.csv"
focus_window "$KOLTREP_WINDOW"
press_key Up 1.5
for key in Left minus r p o F12 p space equal BackSpace; do press_key $key; done
press_key Up 0.6
xdotool keydown Escape
wait_exit "$run" 30
xdotool keyup Escape
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE: $(tail -n 5 "$WORK/run.err")"

for key in UP LEFT MINUS R P O F12 SPACE EQUALS BACK ESCAPE; do
    grep -qE "^[0-9]+ $key down$" "$WORK/drive.txt" || fail "no '$key down' in the recording"
done
ticks=$(sed -n 's/^# \([0-9]*\) ticks:.*/\1/p' "$WORK/drive.txt")
[[ -n $ticks ]] || fail "the recording does not end with its tick count"
tail -n 1 "$WORK/drive.txt" | grep -qF -- "--script $WORK/drive.txt --ticks $ticks" ||
    fail "the recording's last line does not name it: $(tail -n 1 "$WORK/drive.txt")"
[[ $(($(wc -l <"$WORK/live.csv") - 1)) -eq $ticks ]] || fail "live trace rows differ from $ticks ticks"
note "recorded $ticks ticks"
grep -q '^Reset: ' "$log" || fail "no reset line in the log"

# The replay takes the tick count from the recording's last line.
(cd "$DATA_DIR" && "$REPLAY" --script "$WORK/drive.txt" --no-draw \
    --trace "$WORK/replay.csv") >"$WORK/replay.out" 2>&1 || fail "replay failed: $(tail -n 5 "$WORK/replay.out")"
cmp "$WORK/live.csv" "$WORK/replay.csv" || fail "the replayed trace differs from the live one"

shots=("$WORK"/shots/koltrep_*.png)
[[ ${#shots[@]} -eq 1 && -s ${shots[0]} ]] || fail "F12 left no picture in $WORK/shots"
grep -qF "Screenshot saved: ${shots[0]}" "$log" || fail "the picture's path is not logged"
read -r size colours < <(convert "${shots[0]}" -format '%wx%h %k\n' info:) || fail "unreadable picture"
note "screenshot $size with $colours colours"
[[ $size == 640x480 ]] && ((colours > 50)) || fail "the screenshot shows no scene"
echo PASS
