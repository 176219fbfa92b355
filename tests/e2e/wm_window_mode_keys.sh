#!/usr/bin/env bash
# Under a window manager (openbox): F11 takes full-screen koltrep into a 640 x 480 window that
# the window manager frames, draws the scene there and follows the window's size as a windowed
# start does; Alt+Enter takes it back over the whole desktop. Escape still ends the run with
# exit code 0.
source "$(dirname "$0")/common.bash" || exit 1
source "$(dirname "$0")/wm.bash" || exit 1

client_size() {
    xwininfo -id "$1" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}'
}

full_screen_state() {
    xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_FULLSCREEN
}

# The window manager takes a moment to answer a request: a minute bounds a hang, not the speed.
wait_for_state() {
    local i
    for ((i = 0; i < 600; i++)); do
        if [[ $2 == full ]]; then full_screen_state "$1" && return 0; else
            full_screen_state "$1" || return 0; fi
        sleep 0.1
    done
    return 1
}

# The program samples keys only while it is active: the key goes to a focused window.
press_in() {
    wait_for_focus "$1" 50 || xdotool windowactivate --sync "$1" 2>/dev/null
    wait_for_focus "$1" 50 || fail "koltrep's window does not have the focus"
    sleep 0.3
    press_key "$2" 0.3
}

# Waits up to a minute for window $1 to have client size $2.
wait_for_size() {
    local i
    for ((i = 0; i < 600; i++)); do
        [[ $(client_size "$1") == "$2" ]] && return 0
        sleep 0.1
    done
    return 1
}

# A drawn scene has many colours; a black or empty picture one or two.
colours_of() {
    if [[ $1 == root ]]; then
        import -window root "$WORK/$2.png" || fail "cannot take a screenshot"
    else
        window_shot "$1" "$WORK/$2.png"
    fi
    convert "$WORK/$2.png" -format '%k' info:
}

# Waits up to a minute for $1 (a window or root) to show a scene; prints its colours.
scene_colours() {
    local i colours
    for ((i = 0; i < 120; i++)); do
        colours=$(colours_of "$1" "$2")
        ((colours > 50)) && break
        sleep 0.5
    done
    echo "$colours"
}

start_xvfb
start_openbox
private_runtime_dir
export KOLTREP_DEBUG=1 # the log on stderr: it shows what the program itself made of the switch
start_koltrep_with_window run "$KOLTREP"
window=$KOLTREP_WINDOW
wait_for_focus "$window" 100 || xdotool windowactivate --sync "$window"
wait_for_size "$window" 1024x768 || fail "full screen is $(client_size "$window")"
wait_for_state "$window" full || fail "the window manager was not told of full screen"

press_in "$window" F11
wait_for_size "$window" 640x480 || fail "after F11 the window is $(client_size "$window")"
wait_for_state "$window" window || fail "after F11 the window manager still has it full screen"
colours=$(scene_colours "$window" windowed)
note "in a window: $colours colours"
((colours > 50)) || fail "the window shows no scene ($colours colours)"
grep -q 'Display: in a window\.' "$WORK/run.err" || fail "no log line for the switch"
# The window's size is the program's client size again, as in a windowed start.
grep -q '<クライアント領域 640 x 480>' "$WORK/run.err" || fail "the window's size was not taken"
xdotool windowsize --sync "$window" 800 600 2>/dev/null || xdotool windowsize "$window" 800 600
wait_for 50 grep -q '<クライアント領域 800 x 600>' "$WORK/run.err" ||
    fail "a resized window's size was not taken"

press_in "$window" alt+Return
wait_for_size "$window" 1024x768 || fail "after Alt+Enter the window is $(client_size "$window")"
wait_for_state "$window" full || fail "after Alt+Enter the window manager does not have it full screen"
colours=$(scene_colours root full)
note "full screen again: $colours colours"
((colours > 50)) || fail "full screen shows no scene ($colours colours)"
grep -q 'Display: full screen\.' "$WORK/run.err" || fail "no log line for the switch back"

press_in "$window" Escape
wait_exit "$run" 30
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE: $(tail -n 5 "$WORK/run.err")"
echo PASS
