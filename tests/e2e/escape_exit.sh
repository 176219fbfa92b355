#!/usr/bin/env bash
# koltrep under a real X server ends with exit code 0 after a real Escape key press, and does
# not end before it. The wait for the end bounds a hang, not the speed: a busy machine or a
# sanitizer build may take seconds where a tick is 50 ms.
source "$(dirname "$0")/common.bash" || exit 1

start_xvfb
private_runtime_dir
start_koltrep_with_window first "$KOLTREP" -win
window=$KOLTREP_WINDOW
note "window $window"
focus_window "$window"

# Running ticks and no Escape: it must stay up.
sleep 1
alive "$first" || fail "koltrep ended without Escape: $(cat "$WORK/first.err")"

xdotool keydown Escape || fail "xdotool keydown Escape"
pressed=$(date +%s%N)
wait_exit "$first" 120
ended=$(date +%s%N)
xdotool keyup Escape
elapsed_ms=$(((ended - pressed) / 1000000))
note "ended ${elapsed_ms} ms after the Escape press, exit code $EXIT_CODE"
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE: $(cat "$WORK/first.err")"
echo PASS
