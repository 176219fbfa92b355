#!/usr/bin/env bash
# Throughput of a drive rendered by koltrep-replay three ways in the same run: drawing only (the
# baseline), every frame as a PNG (--frames DIR --every 1) and every frame into a video
# (--video FILE.mp4), with the wall time, the CPU time of the whole process and the output's
# size. The drive walks and turns the whole time, so no frame repeats the one before. Not a
# test: the figures depend on what else the machine is doing.
#   bench/replay_video.sh BUILD_DIR [TICKS]
set -euo pipefail
build=$(cd "${1:?usage: replay_video.sh BUILD_DIR [TICKS]}" && pwd)
ticks=${2:-2000}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$(dirname "$0")/../data"

# Walk from tick 60, turning left and right in turn every 200 ticks, and a new view every 500.
{
    echo "60 UP down"
    for ((t = 200; t < ticks; t += 200)); do
        if (((t / 200) % 2)); then key=LEFT; else key=RIGHT; fi
        echo "$t UP up"
        echo "$t $key down"
        echo "$((t + 100)) $key up"
        echo "$((t + 100)) UP down"
    done
    for ((t = 500; t < ticks; t += 500)); do
        echo "$t TAB down"
        echo "$((t + 2)) TAB up"
    done
} | sort -n -s -k1,1 >"$out/drive.txt"

run() {
    local name=$1
    shift
    /usr/bin/time -f "%e %U %S" -o "$out/$name.time" "$build/koltrep-replay" --script \
        "$out/drive.txt" --ticks "$ticks" "$@" >/dev/null 2>"$out/$name.err" ||
        { echo "$name failed: $(tail -n 3 "$out/$name.err")" >&2; exit 1; }
    read -r wall user sys <"$out/$name.time"
    awk -v name="$name" -v t="$ticks" -v w="$wall" -v u="$user" -v s="$sys" \
        'BEGIN { printf "%-8s %d ticks: %6.1f s wall, %6.1f ticks/s, %6.1f s CPU (all threads)", \
          name, t, w, t / w, u + s }'
}

run draw --shot "$out/last.png"
echo
run frames --frames "$out/frames" --every 1
echo ", $(du -sm "$out/frames" | cut -f1) MB of PNG"
rm -rf "$out/frames"
run video --video "$out/drive.mp4"
echo ", $(du -m "$out/drive.mp4" | cut -f1) MB of MP4"
