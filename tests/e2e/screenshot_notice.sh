#!/usr/bin/env bash
# F12 says what it did. With a pictures folder that does not exist yet, the folder is made
# (mode 0755, parents too) and the picture saved there; with one that cannot be written, nothing
# is saved. Either way a notice shows at the bottom of the picture, stderr gets one line with
# the absolute path or the system's reason, and the current folder is left alone.
#
# Root writes anywhere, so the read-only case runs as nobody, from a data folder nobody may
# write to: a silent fallback to the current folder would show there.
source "$(dirname "$0")/common.bash" || exit 1

start_xvfb
private_runtime_dir
chmod 755 "$WORK"
mkdir -p "$WORK/bin" "$WORK/data"
cp "$KOLTREP" "$WORK/bin/koltrep"
cp -r "$DATA_DIR"/. "$WORK/data"
umask 022

# Starts the copy in $WORK/data (env settings first), waits until its loop runs, holds F12 until
# stderr answers (one press however slow the ticks, which a shorter press could fall between)
# and captures the window while the notice is up; then Escape.
shoot() {
    local name=$1
    shift
    (cd "$WORK/data" && exec "$@" env KOLTREP_DEBUG=1 "$WORK/bin/koltrep" -win) \
        >"$WORK/$name.out" 2>"$WORK/$name.err" &
    local pid=$!
    STARTED_PIDS+=("$pid")
    local window
    window=$(wait_for_window "$pid") || exit 1
    focus_window "$window"
    wait_for 600 grep -q "<アクティブ>" "$WORK/$name.err" ||
        fail "$name: the loop never started: $(tail -n 3 "$WORK/$name.err")"
    xdotool keydown F12 || fail "xdotool keydown F12"
    sleep 0.2
    wait_for 600 grep -q "^koltrep: screenshot" "$WORK/$name.err"
    xdotool keyup F12 || fail "xdotool keyup F12"
    # The notice: the bottom strip mostly dark (its panel), with white text on it. It is up for
    # 40 ticks from the next frame on; the capture is repeated until it shows.
    local strip=(-crop 640x16+0+462 +repage -colorspace Gray) lit= text= shown= i
    for ((i = 0; i < 10; i++)); do
        import -window "$window" "$WORK/$name.png" || fail "cannot capture the window"
        lit=$(convert "$WORK/$name.png" "${strip[@]}" -threshold 20% -format '%[fx:mean]' info:)
        text=$(convert "$WORK/$name.png" "${strip[@]}" -threshold 85% -format '%[fx:mean]' info:)
        awk -v l="$lit" -v t="$text" 'BEGIN { exit !(l < 0.35 && t > 0.02) }' && shown=1 && break
        sleep 0.1
    done
    note "$name: bottom strip $lit lit, $text white"
    press_key Escape 0.3
    wait_exit "$pid" 30
    [[ $EXIT_CODE -eq 0 ]] || fail "$name: exit code $EXIT_CODE: $(tail -n 3 "$WORK/$name.err")"
    [[ -n $shown ]] || fail "$name: no notice at the bottom of the picture"
    [[ $(grep -c "^koltrep: screenshot" "$WORK/$name.err") -eq 1 ]] ||
        fail "$name: not one stderr line about the screenshot: $(cat "$WORK/$name.err")"
    [[ -z $(find "$WORK/data" -name 'koltrep_*') ]] || fail "$name: a picture in the current folder"
}

# A pictures folder named in user-dirs.dirs that does not exist, nor its parent.
mkdir -p "$WORK/home" "$WORK/config"
printf 'XDG_PICTURES_DIR="$HOME/Shots/koltrep"\n' >"$WORK/config/user-dirs.dirs"
shoot missing env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config"
folder=$WORK/home/Shots/koltrep
shots=("$folder"/koltrep_*.png)
[[ ${#shots[@]} -eq 1 && -s ${shots[0]} ]] || fail "no picture in the new folder $folder"
[[ $(stat -c %a "$WORK/home/Shots") == 755 && $(stat -c %a "$folder") == 755 ]] ||
    fail "the new folders are not mode 0755"
grep -qxF "koltrep: screenshot saved: ${shots[0]}" "$WORK/missing.err" ||
    fail "stderr does not name ${shots[0]}: $(grep screenshot "$WORK/missing.err")"
note "made $folder, saved ${shots[0]##*/}"

# ~/Pictures that nobody may write to.
mkdir -p "$WORK/rohome/Pictures"
chown 65534:65534 "$WORK/data" "$XDG_RUNTIME_DIR"
as_user=()
[[ $(id -u) -eq 0 ]] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
[[ $(id -u) -eq 0 ]] || chmod a-w "$WORK/rohome/Pictures"
shoot readonly "${as_user[@]}" env HOME="$WORK/rohome" XDG_CONFIG_HOME="$WORK/noconfig"
grep -q "^koltrep: screenshot not saved: cannot write $WORK/rohome/Pictures/koltrep_.*: Permission denied$" \
    "$WORK/readonly.err" || fail "stderr gives no reason: $(grep screenshot "$WORK/readonly.err")"
[[ -z $(ls -A "$WORK/rohome/Pictures") ]] || fail "something was left in the read-only folder"
note "$(grep '^koltrep: screenshot' "$WORK/readonly.err")"
echo PASS
