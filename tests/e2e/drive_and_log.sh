#!/usr/bin/env bash
# A whole session with real keys: `koltrep -win -dbf` under a real X server, Up held for 3 s,
# then Tab, Space and Escape. The screen shows the scene meanwhile, the exit code is 0, and
# "debug.txt" beside the executable holds the whole log from the start-up to the releases.
#
# The executable is copied into a folder of the test's own, so the log lands there and the
# build folder's debug.txt is never touched.
source "$(dirname "$0")/common.bash" || exit 1

start_xvfb
private_runtime_dir
mkdir -p "$WORK/bin"
cp "$KOLTREP" "$WORK/bin/koltrep"
log=$WORK/bin/debug.txt

# The line written before the log file is chosen reaches stderr only when the debug output is
# asked for.
KOLTREP_DEBUG=1 start_koltrep_with_window run "$WORK/bin/koltrep" -win -dbf
window=$KOLTREP_WINDOW
focus_window "$window"

xdotool keydown Up || fail "xdotool keydown Up"
sleep 1.5
import -window root "$WORK/screen.png" || fail "cannot take a screenshot"
sleep 1.5
xdotool keyup Up
alive "$run" || fail "koltrep ended while walking: $(cat "$WORK/run.err")"
press_key Tab
press_key space
xdotool keydown Escape
wait_exit "$run" 30
xdotool keyup Escape
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE: $(tail -n 5 "$WORK/run.err")"

# The scene, not a black or blank screen: a rendered 3D scene has many colours.
colours=$(convert "$WORK/screen.png" -format '%k' info:) || fail "cannot read the screenshot"
note "screenshot has $colours colours"
((colours > 50)) || fail "the screen shows no scene ($colours colours)"

[[ -s $log ]] || fail "no debug.txt beside the executable"
# Shift JIS with CR LF line ends, as on the original platform.
iconv -f CP932 -t UTF-8 "$log" >"$WORK/log.txt" || fail "debug.txt is not Shift JIS"
lines=$(wc -l <"$WORK/log.txt")
crlf=$(grep -c $'\r$' "$WORK/log.txt")
[[ $lines -gt 0 && $lines -eq $crlf ]] || fail "$((lines - crlf)) of $lines lines lack CR LF"
tr -d '\r' <"$WORK/log.txt" >"$WORK/log.lf"

# Every block in order: each pattern must match a line after the previous match.
expect_in_order() {
    local position=0 pattern found
    for pattern in "$@"; do
        found=$(tail -n +$((position + 1)) "$WORK/log.lf" | grep -n -m1 -E -- "$pattern" | cut -d: -f1)
        [[ -n $found ]] || fail "debug.txt: no line matching '$pattern' after line $position"
        position=$((position + found))
    done
}
separator='^-{40}$'
expect_in_order \
    "$separator" '^InitDebugStream$' '^[0-9]{4}/[0-9]{2}/[0-9]{2}  [0-9]{2}:[0-9]{2}$' \
    '^OS = ID [0-9]+ ver,[0-9]+\.[0-9]+ build [0-9]+$' '^利用可能／搭載メモリ = [0-9]+/[0-9]+ MB$' \
    "$separator" '^InitDirect3D$' '^アダプタ数 = [0-9]+$' '^デバイスタイプ = (TnLHAL|HAL|REF)$' \
    "$separator" '^InitDirectInput$' \
    '^load\(ground\.png\) \.\.\. ok\.$' '^load\(almi\.png\) \.\.\. ok\.$' \
    '^load\(body\.x\) \.\.\. ok\.$' \
    "$separator" '^FreeInput$' "$separator" '^FreeDirect3D$'
for released in body.x ground.png almi.png; do
    grep -qx "release($released)" "$WORK/log.lf" || fail "debug.txt: no release($released)"
    [[ $(grep -n -m1 -x "release($released)" "$WORK/log.lf" | cut -d: -f1) -gt \
        $(grep -n -m1 -x 'FreeDirect3D' "$WORK/log.lf" | cut -d: -f1) ]] ||
        fail "release($released) comes before FreeDirect3D"
done
# The very first line is written before the log file is chosen: debugger output only.
grep -q '多重起動を禁止します' "$WORK/log.lf" && fail "the first log line reached debug.txt"
grep -q '多重起動を禁止します' "$WORK/run.err" || fail "the first log line is missing on stderr"
# Nothing was written beside the real executable.
[[ ! -e $BUILD_DIR/debug.txt || $BUILD_DIR/debug.txt -ot $WORK/bin/koltrep ]] ||
    fail "the build folder's debug.txt was written"
echo PASS
