#!/usr/bin/env bash
# A start-up that stops early ends with its own non-zero exit code: no display (3, at once, with
# the reason on stderr and no process left behind) and no usable OpenGL (4, after its message:
# a box where a display can show one, and on stderr always).
# The refused second instance (2) is in single_instance.sh.
source "$(dirname "$0")/common.bash" || exit 1
private_runtime_dir

# No display and no driver forced: SDL's invisible offscreen driver must not be taken.
start=$(date +%s%N)
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
    setsid bash -c 'echo $$ >"$1"; exec "$2" -win' _ "$WORK/session" "$KOLTREP" \
    >"$WORK/nodisplay.out" 2>"$WORK/nodisplay.err" &
pid=$!
STARTED_PIDS+=("$pid")
wait_exit "$pid" 30
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
note "no display: exit code $EXIT_CODE after $elapsed_ms ms"
[[ $EXIT_CODE -eq 3 ]] || fail "exit code $EXIT_CODE without a display: $(cat "$WORK/nodisplay.err")"
((elapsed_ms < 2000)) || fail "took $elapsed_ms ms to give up without a display"
grep -q "no display" "$WORK/nodisplay.err" || fail "no reason on stderr: $(cat "$WORK/nodisplay.err")"
session=$(cat "$WORK/session")
left=$(pgrep -s "$session")
[[ -z $left ]] || fail "processes left behind: $left"

# A display whose OpenGL is too old for the device: the Direct3D message, then code 4.
start_xvfb
visible_windows() { xdotool search --onlyvisible '.*' 2>/dev/null | sort; }
before=$(visible_windows)
export MESA_GL_VERSION_OVERRIDE=1.4 MESA_EXTENSION_OVERRIDE=-GL_ARB_framebuffer_object
start_koltrep old "$KOLTREP" -win
unset MESA_GL_VERSION_OVERRIDE MESA_EXTENSION_OVERRIDE
box=
for ((i = 0; i < 600; i++)); do
    alive "$old" || break
    for id in $(comm -13 <(echo "$before") <(visible_windows)); do
        [[ $(xdotool getwindowname "$id" 2>/dev/null) == "エラー" ]] && box=$id
    done
    [[ -n $box ]] && break
    sleep 0.1
done
if [[ -n $box ]]; then
    note "message box $box"
    focus_window "$box"
    press_key Return 0.3
fi
wait_exit "$old" 60
note "no usable OpenGL: exit code $EXIT_CODE"
[[ $EXIT_CODE -eq 4 ]] || fail "exit code $EXIT_CODE without a usable device: $(tail -n 5 "$WORK/old.err")"
grep -qx "エラー: 3Dデバイスが作成できません." "$WORK/old.err" ||
    fail "no Direct3D message (box: ${box:-none}); stderr: $(tail -n 5 "$WORK/old.err")"
echo PASS
