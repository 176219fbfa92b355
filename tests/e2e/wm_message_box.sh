#!/usr/bin/env bash
# Under a window manager (openbox), a second start shows the already-running message in a box
# that can be read: its pixels are the message as the program's own font code draws it
# (koltrep-inspect msgbox), with no missing glyphs. The box is a dialog titled with the
# program's name (its caption is empty), of fixed size, without maximise, with the program's
# WM_CLASS and its process id, and Return, Escape and a click on OK each close it. The text is
# on stderr too. The message is the program's own Japanese text in the C locale, the C.UTF-8
# one and a Japanese one, and English where LANG asks for English. The first instance, which
# keeps running, writes at most a couple of lines to stderr in its whole run.
source "$(dirname "$0")/common.bash" || exit 1
source "$(dirname "$0")/wm.bash" || exit 1

message="このプログラムは既に起動しています."
INSPECT=$BUILD_DIR/koltrep-inspect
[[ -x $INSPECT ]] || fail "$INSPECT is not built"

start_xvfb
start_openbox
private_runtime_dir
start_koltrep_with_window first "$KOLTREP" -win
first_window=$KOLTREP_WINDOW

english="Koltrep is already running."
for l in en_US.utf8 ja_JP.utf8; do
    locale -a | grep -qix "$l" || fail "locale $l is missing (tools/install-deps.sh makes it)"
done

# The picture of the box for text $1 as $2.png, and its size and button in WIDTH, HEIGHT, BX...
expect_box() {
    "$INSPECT" msgbox "$1"$'\n' "$WORK/$2.png" >"$WORK/$2.txt" ||
        fail "koltrep-inspect cannot draw the box"
    read -r _ width height < <(grep '^size ' "$WORK/$2.txt")
    read -r _ bx by bw bh < <(grep '^button ' "$WORK/$2.txt")
    grep -qx 'missing glyphs 0' "$WORK/$2.txt" ||
        fail "the program's face lacks glyphs of the message: $(cat "$WORK/$2.txt")"
}

# Prints the id of the box window of process $1 once it is shown and painted.
box_of() {
    local id= i
    for ((i = 0; i < 300; i++)); do
        alive "$1" || return 1
        id=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -n1)
        [[ -n $id ]] && break
        sleep 0.1
    done
    [[ -n $id ]] && echo "$id"
}

# way of closing it, LANG, the text shown
for run in "Return C $message" "Escape ja_JP.UTF-8 $message" "click C.UTF-8 $message" \
    "Return en_US.UTF-8 $english"; do
    read -r way lang shown <<<"$run"
    expect_box "$shown" expected
    start_koltrep second env LANG="$lang" "$KOLTREP" -win
    box=$(box_of "$second") || fail "no message box from the second start: $(cat "$WORK/second.err")"
    note "LANG=$lang: box $box, to be closed with $way"
    [[ $(xdotool getwindowname "$box") == "Koltrep" ]] ||
        fail "the box is titled '$(xdotool getwindowname "$box")', not Koltrep"
    is_dialog "$box" || fail "the box is no dialog: $(xprop -id "$box" _NET_WM_WINDOW_TYPE)"
    xprop -id "$box" WM_NORMAL_HINTS >"$WORK/hints.txt"
    grep -q "program specified minimum size: $width by $height" "$WORK/hints.txt" &&
        grep -q "program specified maximum size: $width by $height" "$WORK/hints.txt" ||
        fail "the box can be resized: $(cat "$WORK/hints.txt")"
    actions=$(xprop -id "$box" _NET_WM_ALLOWED_ACTIONS)
    [[ $actions == *_NET_WM_ACTION_CLOSE* && $actions != *MAXIMIZE* && $actions != *RESIZE* ]] ||
        fail "the window manager offers: $actions"
    xprop -id "$box" WM_CLASS | grep -q '"koltrep"' || fail "the box has no WM_CLASS"
    [[ $(xdotool getwindowpid "$box") == "$second" ]] || fail "the box has no _NET_WM_PID"
    wait_for_focus "$box" 100 || xdotool windowactivate --sync "$box"
    sleep 0.5
    window_shot "$box" "$WORK/box-$way.png"
    [[ $(identify -format '%w %h' "$WORK/box-$way.png") == "$width $height" ]] ||
        fail "the box is $(identify -format '%wx%h' "$WORK/box-$way.png"), not ${width}x$height"
    differing=$(pixels_differing "$WORK/expected.png" "$WORK/box-$way.png")
    note "$differing of $((width * height)) pixels differ from the font code's picture"
    [[ $differing =~ ^[0-9]+$ ]] || fail "cannot compare the pictures: $differing"
    ((differing * 100 <= width * height)) || fail "the box does not show the message"
    alive "$second" || fail "the box closed by itself"
    if [[ $way == click ]]; then
        xdotool mousemove --window "$box" $((bx + bw / 2)) $((by + bh / 2)) click 1 ||
            fail "cannot click OK"
    else
        press_key "$way" 0.2
    fi
    wait_exit "$second" 30
    grep -qx "$shown" "$WORK/second.err" ||
        fail "'$shown' is not on stderr: $(cat "$WORK/second.err")"
    [[ -z $(koltrep_window "$second") || $(koltrep_window "$second") == "$first_window" ]] ||
        fail "the second start opened a window"
done

alive "$first" || fail "the first instance ended: $(cat "$WORK/first.err")"
xdotool windowactivate --sync "$first_window" || fail "cannot focus the first instance"
wait_for_focus "$first_window" 100 || fail "the first instance did not get the focus"
press_key Escape 0.3
wait_exit "$first" 30
[[ $EXIT_CODE -eq 0 ]] || fail "first instance exit code $EXIT_CODE"
stderr_lines=$(wc -l <"$WORK/first.err")
((stderr_lines <= 2)) || fail "$stderr_lines lines on stderr: $(head -n 5 "$WORK/first.err")"
echo PASS
