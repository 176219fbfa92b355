#!/usr/bin/env bash
# Under a window manager (openbox), full-screen koltrep minimised and restored draws the scene
# again, and ends with exit code 0 on Escape afterwards.
source "$(dirname "$0")/common.bash" || exit 1
source "$(dirname "$0")/wm.bash" || exit 1

# A drawn scene has many colours; the X server's root pattern or a black window has one or two.
colours_on_screen() {
    import -window root "$WORK/$1.png" || fail "cannot take a screenshot"
    convert "$WORK/$1.png" -format '%k' info:
}

start_xvfb
start_openbox
private_runtime_dir
start_koltrep_with_window run "$KOLTREP"
window=$KOLTREP_WINDOW
wait_for_focus "$window" 100 || xdotool windowactivate --sync "$window"
sleep 1.5
colours=$(colours_on_screen full)
note "full screen: $colours colours"
((colours > 50)) || fail "the full-screen scene is not drawn ($colours colours)"

xdotool windowminimize --sync "$window" || fail "cannot minimise"
sleep 1
colours=$(colours_on_screen minimised)
note "minimised: $colours colours"
((colours <= 50)) || fail "the scene is still on the screen after minimising"
alive "$run" || fail "koltrep ended while minimised: $(cat "$WORK/run.err")"

xdotool windowactivate --sync "$window" 2>/dev/null || fail "cannot restore"
wait_for_focus "$window" 100 || fail "the restored window did not get the focus"
sleep 1.5
colours=$(colours_on_screen restored)
note "restored: $colours colours"
((colours > 50)) || fail "the restored window shows no scene ($colours colours)"
geometry=$(xwininfo -id "$window" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
[[ $geometry == 1024x768 ]] || fail "the restored window is $geometry, not the whole screen"

press_key Escape 0.3
wait_exit "$run" 30
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE: $(tail -n 5 "$WORK/run.err")"
echo PASS
