#!/usr/bin/env bash
# One instance at a time: a second start while the first runs shows the already-running
# message (in a box titled with the program's name where a display can show one, and on stderr
# always), creates no window and exits with code 2; after the first is killed with SIGKILL (the
# lock is abandoned, never released) the next start proceeds.
source "$(dirname "$0")/common.bash" || exit 1

start_xvfb
private_runtime_dir
start_koltrep first "$KOLTREP" -win
first_window=$(wait_for_window "$first") || exit 1
note "first instance $first, window $first_window"

visible_windows() { xdotool search --onlyvisible '.*' 2>/dev/null | sort; }
before=$(visible_windows)

start_koltrep second "$KOLTREP" -win
# The second instance shows its message in a box, since the server can show one, and waits
# for OK.
box=
for ((i = 0; i < 600; i++)); do
    alive "$second" || break
    box=$(comm -13 <(echo "$before") <(visible_windows) | head -n1)
    [[ -n $box ]] && break
    sleep 0.1
done
[[ -n $box ]] || fail "no message box within 60 s; stderr: $(cat "$WORK/second.err")"
note "message box window $box"
[[ $(xdotool getwindowname "$box" 2>/dev/null) == "Koltrep" ]] ||
    fail "the box is not titled Koltrep: '$(xdotool getwindowname "$box")'"
[[ -z $(koltrep_window "$second") || $(koltrep_window "$second") == "$first_window" ]] ||
    fail "the second instance opened a window"
focus_window "$box"
press_key Return 0.2
wait_exit "$second" 30
[[ $EXIT_CODE -eq 2 ]] || fail "second instance exit code $EXIT_CODE"
# The box writes its text to stderr too.
grep -qx "このプログラムは既に起動しています." "$WORK/second.err" ||
    fail "no already-running message; stderr: $(cat "$WORK/second.err")"
alive "$first" || fail "the first instance ended"
note "second instance refused, exit 2"

# The first dies without releasing the lock.
kill -9 "$first"
wait "$first" 2>/dev/null
start_koltrep third "$KOLTREP" -win
third_window=$(wait_for_window "$third") || exit 1
note "third instance $third runs, window $third_window"
focus_window "$third_window"
xdotool keydown Escape
wait_exit "$third" 30
xdotool keyup Escape
[[ $EXIT_CODE -eq 0 ]] || fail "third instance exit code $EXIT_CODE: $(cat "$WORK/third.err")"
echo PASS
