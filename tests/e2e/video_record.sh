#!/usr/bin/env bash
# F9 in the live program under a real X server: recording starts into XDG_VIDEOS_DIR (made when
# missing), the screen shows the REC mark while the video does not, and F9 again ends a video
# that plays, each step announced on stderr with the absolute file name.
source "$(dirname "$0")/common.bash" || exit 1

command -v ffprobe >/dev/null && command -v ffmpeg >/dev/null ||
    fail "ffmpeg is not installed (tools/install-deps.sh)"
start_xvfb
private_runtime_dir
export XDG_CONFIG_HOME=$WORK/config
mkdir -p "$XDG_CONFIG_HOME" "$WORK/shots"
videos=$WORK/videos/drives
printf 'XDG_PICTURES_DIR="%s"\nXDG_VIDEOS_DIR="%s"\n' "$WORK/shots" "$videos" \
    >"$XDG_CONFIG_HOME/user-dirs.dirs"

# The drive's record gives the ticks of the two F9 presses: the recording's length in frames.
start_koltrep_with_window run "$KOLTREP" -win --record "$WORK/drive.txt"
focus_window "$KOLTREP_WINDOW"
press_key F9
press_key Up 1.0
press_key F12 # the screen while recording: the mark is there
press_key Left 0.5
press_key F9
wait_for 300 grep -q 'Video saved: ' "$WORK/run.err" ||
    fail "F9 again did not end the video: $(cat "$WORK/run.err")"
xdotool keydown Escape
wait_exit "$run" 30
xdotool keyup Escape
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE: $(tail -n 5 "$WORK/run.err")"

[[ $(stat -c %a "$videos") == 755 ]] || fail "the videos folder was not made with mode 0755"
files=("$videos"/koltrep_*.mp4)
[[ ${#files[@]} -eq 1 && -s ${files[0]} ]] || fail "no video in $videos: $(cat "$WORK/run.err")"
video=${files[0]}
[[ $video =~ /koltrep_[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}\.mp4$ ]] ||
    fail "unexpected name $video"
grep -qxF "koltrep: Recording video to $video (F9 stops)" "$WORK/run.err" ||
    fail "the start is not announced with the absolute path: $(cat "$WORK/run.err")"
grep -qE "^koltrep: Video saved: $video \([0-9]+ frames, [0-9.]+ s\)$" "$WORK/run.err" ||
    fail "the end is not announced: $(cat "$WORK/run.err")"

read -r size rate frames < <(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=width,height,r_frame_rate,nb_read_frames -of csv=p=0 "$video" |
    awk -F, '{print $1 "x" $2, $3, $4}')
note "video $size at $rate, $frames frames"
[[ $size == 640x480 && $rate == 20/1 ]] || fail "video is $size at $rate"
read -r first_f9 second_f9 < <(awk '$2 == "F9" && $3 == "down" { printf "%s ", $1 }' \
    "$WORK/drive.txt")
[[ -n ${second_f9:-} ]] || fail "the record lacks the two F9 presses: $(cat "$WORK/drive.txt")"
ticks=$((second_f9 - first_f9))
note "F9 on ticks $first_f9 and $second_f9: $ticks ticks"
((ticks > 0 && frames >= ticks - 1 && frames <= ticks + 1)) ||
    fail "$frames frames in a recording of $ticks ticks (a frame a tick)"
grep -qF "($frames frames," "$WORK/run.err" || fail "the announced frame count differs from $frames"

# Red pixels in the top-right corner, where the mark is drawn ($1: the corner's offset in the
# pictures that follow).
red_in_corner() {
    local offset=$1
    shift
    convert "$@" -crop "56x18+$offset+0" +repage -append \
        -fx '(r>0.55 && g<0.3 && b<0.3)' -format '%[fx:round(mean*w*h)]' info:
}
shots=("$WORK"/shots/koltrep_*.png)
[[ -s ${shots[0]} ]] || fail "F12 left no picture"
on_screen=$(red_in_corner 584 "${shots[0]}")
((on_screen > 40)) || fail "the REC mark is not on screen ($on_screen red pixels)"
ffmpeg -v error -i "$video" -vf 'crop=56:18:584:0' "$WORK/corner_%04d.png" ||
    fail "cannot decode $video"
in_video=$(red_in_corner 0 "$WORK"/corner_*.png)
note "REC mark: $on_screen red pixels on screen, $in_video in all video frames"
((in_video == 0)) || fail "the REC mark is in the video"
echo PASS
