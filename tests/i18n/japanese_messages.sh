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
        [[ $line == koltrep* || $line == script:* ]] || continue
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
grep -q 'ありません' "$work/script.err" || { echo "FAIL: the script's reason is not Japanese"; status=1; }

# The tools: a refused option with its usage, an output that cannot be written, a machine
# file that does not check, and the evaluator's help.
printf '0 UP down\n4 UP up\n' >"$work/walk.txt"
"$build/koltrep-replay" --script "$work/walk.txt" --no-such-option 2>"$work/option.err"
expect_japanese "unknown option" "$work/option.err"
grep -q '^使い方: koltrep-replay ' "$work/option.err" || { echo "FAIL: usage not Japanese"; status=1; }
"$build/koltrep-replay" --script "$work/walk.txt" --no-draw --trace "$work/none/t.csv" \
    2>"$work/trace.err"
expect_japanese "unwritable --trace" "$work/trace.err"
grep -q 'ありません' "$work/trace.err" || { echo "FAIL: the trace's reason is not Japanese"; status=1; }
printf '[linkage]\ncrank = "long"\n' >"$work/bad.toml"
"$build/koltrep-inspect" machine "$work/bad.toml" 2>"$work/machine.err" >/dev/null
expect_japanese "bad machine file" "$work/machine.err"
"$build/koltrep-evaluate" --help >"$work/help.out"
grep -q '^使い方: koltrep-evaluate ' "$work/help.out" && grep -q 'この説明を表示して終了する' \
    "$work/help.out" || { echo "FAIL: koltrep-evaluate --help is not Japanese"; status=1; }

# The sweep: a refused option with its usage, and an --out it cannot create.
"$build/koltrep-sweep" --crank-speeds 3 --frictions 350 --no-such-option x 2>"$work/sweep.err"
expect_japanese "koltrep-sweep, unknown option" "$work/sweep.err"
grep -q '^使い方: koltrep-sweep ' "$work/sweep.err" || { echo "FAIL: sweep usage not Japanese"; status=1; }
"$build/koltrep-sweep" --crank-speeds 3 --frictions 350 --out "$work/none/sweep" 2>"$work/out.err"
expect_japanese "koltrep-sweep, --out" "$work/out.err"
grep -q 'を作れません: .*ありません' "$work/out.err" || { echo "FAIL: the --out line is not Japanese"; status=1; }

((status == 0)) && echo PASS
exit $status
