#!/usr/bin/env bash
# `make run` without a display says so and points to a virtual X server and the replay runner,
# instead of failing inside SDL.
source "$(dirname "$0")/common.bash" || exit 1

env -u DISPLAY -u WAYLAND_DISPLAY bash "$SOURCE_DIR/tools/run.sh" "$BUILD_DIR" \
    >"$WORK/out" 2>"$WORK/err"
code=$?
[[ $code -ne 0 ]] || fail "tools/run.sh succeeded without a display"
grep -q "DISPLAY is not set" "$WORK/err" || fail "no word about the display: $(cat "$WORK/err")"
grep -q "xvfb-run" "$WORK/err" || fail "no pointer to xvfb-run: $(cat "$WORK/err")"
grep -q "koltrep-replay" "$WORK/err" || fail "no pointer to the replay runner: $(cat "$WORK/err")"
[[ ! -s $WORK/out ]] || fail "unexpected output on stdout: $(cat "$WORK/out")"

# --help and --version need no display: they answer on stdout and start nothing.
for program in koltrep koltrep-replay koltrep-inspect; do
    env -u DISPLAY -u WAYLAND_DISPLAY "$BUILD_DIR/$program" --help >"$WORK/help" 2>"$WORK/err" ||
        fail "$program --help failed: $(cat "$WORK/err")"
    grep -q "^usage: $program" "$WORK/help" || fail "$program --help: $(head -n 3 "$WORK/help")"
    [[ ! -s $WORK/err ]] || fail "$program --help wrote to stderr: $(cat "$WORK/err")"
    "$BUILD_DIR/$program" -x --version | grep -qx "$program [0-9.]*" || fail "$program --version"
done
# Read whole first: grep -q leaving a pipe early would fail the writer under pipefail.
"$BUILD_DIR/koltrep-replay" --help >"$WORK/replay-help"
grep -qw NUMPADENTER "$WORK/replay-help" || fail "replay --help lacks key names"
env -u DISPLAY -u WAYLAND_DISPLAY "$KOLTREP" -h | grep -q "^usage: koltrep" || fail "koltrep -h"

# A mistyped option is named, not silently dropped; with neither a display nor XDG_RUNTIME_DIR
# (a bare ssh session) our own two lines are all that is said: no library speaks first.
env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u SDL_VIDEODRIVER TMPDIR="$WORK" \
    "$KOLTREP" -wim >"$WORK/out" 2>"$WORK/err"
code=$?
[[ $code -eq 3 ]] || fail "exit code $code without a display: $(cat "$WORK/err")"
[[ $(sed -n 1p "$WORK/err") == "koltrep: ignoring unknown argument '-wim' (see koltrep --help)" ]] ||
    fail "the first line on stderr does not name -wim: $(cat "$WORK/err")"
[[ $(sed -n 2p "$WORK/err") == "koltrep: no display to show the window on"* &&
    $(wc -l <"$WORK/err") -eq 2 ]] || fail "more than our reason on stderr: $(cat "$WORK/err")"
echo PASS
