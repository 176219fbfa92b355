#!/usr/bin/env bash
# `make run` without a display says so and points to a virtual X server and the replay runner,
# instead of failing inside SDL.
source "$(dirname "$0")/common.bash"

env -u DISPLAY -u WAYLAND_DISPLAY bash "$SOURCE_DIR/tools/run.sh" "$BUILD_DIR" \
    >"$WORK/out" 2>"$WORK/err"
code=$?
[[ $code -ne 0 ]] || fail "tools/run.sh succeeded without a display"
grep -q "DISPLAY is not set" "$WORK/err" || fail "no word about the display: $(cat "$WORK/err")"
grep -q "xvfb-run" "$WORK/err" || fail "no pointer to xvfb-run: $(cat "$WORK/err")"
grep -q "koltrep-replay" "$WORK/err" || fail "no pointer to the replay runner: $(cat "$WORK/err")"
[[ ! -s $WORK/out ]] || fail "unexpected output on stdout: $(cat "$WORK/out")"
echo PASS
