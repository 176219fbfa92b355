#!/usr/bin/env bash
# Full screen on a desktop of the size given (WIDTHxHEIGHT), F5 on: the footfall diagram's last
# line ("Feet carry ... N") stands whole inside its panel, above the screen's bottom edge, as
# do the notice line's and the key list's. Full screen scales the 640 x 480 picture and its
# text, so a line that overruns the picture by two pixels loses whole rows of the screen.
source "$(dirname "$0")/common.bash" || exit 1
size=${3:?screen size, WIDTHxHEIGHT}
width=${size%x*} height=${size#*x}
export XVFB_SIZE=$size
start_xvfb
private_runtime_dir
start_koltrep_with_window run "$KOLTREP"
focus_window "$KOLTREP_WINDOW"
sleep 1
press_key F5 0.3
sleep 2
import -window root "$WORK/screen.png" || fail "cannot take a screenshot"
cp "$WORK/screen.png" "$BUILD_DIR/footfall_full_screen_$size.png" 2>/dev/null

# The picture's place on the screen: the largest 4:3 rectangle, centred.
scale_x1000=$((height * 1000 / 480))
left=$(((width - height * 4 / 3) / 2))
row() { echo $(($1 * scale_x1000 / 1000)); }
column() { echo $((left + $1 * scale_x1000 / 1000)); }
# White text pixels in the footfall panel's columns, between two rows of the picture.
white_between() {
    local x0 x1 y0 y1
    x0=$(column 10) x1=$(column 340) y0=$(row "$1") y1=$(($(row "$2") - 1))
    convert "$WORK/screen.png" -crop "$((x1 - x0))x$((y1 - y0 + 1))+$x0+$y0" +repage \
        -fx 'r>0.8&&g>0.8&&b>0.8' -format '%[fx:round(mean*w*h)]' info:
}
last_line=$(white_between 452 474)
below=$(white_between 474 480)
note "$size: last line $last_line white pixels, $below below the panel's last text row"
((last_line > 50)) || fail "the diagram's last line is not drawn ($last_line white pixels)"
((below == 0)) || fail "the diagram's last line runs past the panel's bottom ($below pixels)"
press_key Escape 0.3
wait_exit "$run" 30
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE: $(cat "$WORK/run.err")"
echo PASS
