#!/usr/bin/env bash
# A Japanese user reads Japanese: the error lines of the usual first mistakes come from the
# Japanese catalogue, and the system's reason inside them is Japanese too, not question marks.
set -uo pipefail
build=$(cd "${1:?build folder}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
locale -a | grep -qix 'ja_JP.utf8' || { echo "FAIL: no ja_JP.UTF-8 locale (locale-gen)"; exit 1; }
unset LC_ALL LC_MESSAGES LC_CTYPE LANGUAGE
export LANG=ja_JP.UTF-8
status=0

# Each line of ours on stderr holds Japanese after the program's name, and no '?' anywhere.
expect_japanese() {
    local what=$1 file=$2 line
    [[ -s $file ]] || { echo "FAIL: $what: nothing on stderr"; status=1; return; }
    while IFS= read -r line; do
        [[ $line == koltrep* ]] || continue
        if [[ $line == *'?'* ]] || ! LC_ALL=C grep -qP '[^\x00-\x7F]' <<<"$line"; then
            echo "FAIL: $what: $line"
            status=1
        fi
    done <"$file"
}

"$build/koltrep" -win --record "$work/none/drive.txt" 2>"$work/record.err"
expect_japanese "unwritable --record" "$work/record.err"
grep -q 'ありません' "$work/record.err" || { echo "FAIL: the reason is not Japanese"; status=1; }
env -u DISPLAY -u WAYLAND_DISPLAY "$build/koltrep" --no-such-option 2>"$work/display.err"
expect_japanese "unknown option, no display" "$work/display.err"
(($(grep -c '^koltrep: ' "$work/display.err") == 2)) || { echo "FAIL: two lines expected"; status=1; }
"$build/koltrep" --data "$work/none" 2>"$work/data.err"
expect_japanese "missing --data folder" "$work/data.err"
"$build/koltrep-replay" --script "$work/none.txt" 2>"$work/script.err" >/dev/null
expect_japanese "missing script" "$work/script.err"

((status == 0)) && echo PASS
exit $status
