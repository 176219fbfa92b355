#!/usr/bin/env bash
# Under a window manager (openbox), `koltrep -win -dbf`: when another window takes the focus the
# ticks stop and keys typed there are not heard (an Escape would end the run); that window
# dragged across the inactive window leaves no trace on it; focus back, the ticks resume; the
# window manager's close (Alt+F4) ends the run in order with exit code 0; and the terminal gets
# at most a couple of lines on the way.
source "$(dirname "$0")/common.bash" || exit 1
source "$(dirname "$0")/wm.bash" || exit 1

# Processor time over 2 s, in clock ticks (1/100 s). An active program ticks 40 times in 2 s,
# several milliseconds each; an inactive one blocks in WaitMessage.
cpu_over_two_seconds() {
    local before after
    before=$(cpu_ticks "$1") || fail "koltrep ended: $(cat "$WORK/run.err")"
    sleep 2
    after=$(cpu_ticks "$1") || fail "koltrep ended: $(cat "$WORK/run.err")"
    echo $((after - before))
}

start_xvfb
start_openbox
private_runtime_dir
mkdir -p "$WORK/bin"
cp "$KOLTREP" "$WORK/bin/koltrep"
start_koltrep_with_window run "$WORK/bin/koltrep" -win -dbf
window=$KOLTREP_WINDOW
wait_for_focus "$window" 100 || xdotool windowactivate --sync "$window"
sleep 1
active=$(cpu_over_two_seconds "$run")
note "active: $active clock ticks of processor time in 2 s"
((active >= 4)) || fail "koltrep does not seem to tick while active ($active)"

# Another program's window, beside koltrep's, takes the focus.
other=$(open_other_window 300 300 700 300) || exit 1
wait_for_focus "$other" 100 || fail "the other window did not get the focus"
sleep 1
window_shot "$window" "$WORK/inactive.png"
before=$(cpu_ticks "$run")
press_key Escape 0.5 # typed into the other window
sleep 1.5
idle=$(($(cpu_ticks "$run") - before))
note "inactive: $idle clock ticks of processor time in 2 s"
((idle <= 3)) || fail "koltrep kept ticking while inactive ($idle clock ticks in 2 s)"
alive "$run" || fail "koltrep heard the Escape typed into another window"

# Dragged across and away again, in steps, as a hand would.
for x in 560 420 280 140 20 200 400 700; do
    xdotool windowmove "$other" "$x" 150
    sleep 0.3
done
sleep 1
window_shot "$window" "$WORK/uncovered.png"
differing=$(pixels_differing "$WORK/inactive.png" "$WORK/uncovered.png")
total=$(picture_pixels "$WORK/inactive.png")
note "after the drag $differing of $total pixels differ"
[[ $differing =~ ^[0-9]+$ ]] || fail "cannot compare the pictures: $differing"
((differing * 100 <= total)) || fail "the other window left a trace ($differing pixels differ)"

xdotool windowactivate --sync "$window" || fail "cannot give the focus back"
wait_for_focus "$window" 100 || fail "koltrep did not get the focus back"
sleep 0.5
again=$(cpu_over_two_seconds "$run")
note "active again: $again clock ticks in 2 s"
((again >= 4)) || fail "the ticks did not resume ($again)"

xdotool key --clearmodifiers alt+F4 || fail "xdotool key alt+F4"
wait_exit "$run" 30
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE after the window manager's close"

iconv -f CP932 -t UTF-8 "$WORK/bin/debug.txt" | tr -d '\r' >"$WORK/log.txt" ||
    fail "no readable debug.txt"
# The line numbers of the last inactive and active notes and of the shut-down, in that order.
last_line() { grep -n -x -- "$1" "$WORK/log.txt" | tail -n1 | cut -d: -f1; }
previous=0
for line in '<非アクティブ>' '<アクティブ>' 'FreeInput' 'FreeDirect3D' 'release(body.x)'; do
    at=$(last_line "$line")
    [[ -n $at ]] || fail "debug.txt has no line '$line'"
    ((at > previous)) || fail "debug.txt: '$line' is out of order"
    previous=$at
done
stderr_lines=$(wc -l <"$WORK/run.err")
((stderr_lines <= 2)) || fail "$stderr_lines lines on stderr: $(head -n 5 "$WORK/run.err")"
echo PASS
