#!/usr/bin/env bash
# Each catalogue knows every text the programs show through it (the template made from the
# sources now), and translates every one of the program's Japanese texts: a box added or
# reworded in the code without its translation fails here, not in front of a user.
set -euo pipefail
source_dir=$(cd "${1:?source folder}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8

bash "$source_dir/po/extract.sh" "$source_dir" "$work/koltrep.pot"
grep -q '^msgid "このプログラムは既に起動しています.\\n"' "$work/koltrep.pot" ||
    { echo "FAIL: the template lacks the already-running text"; exit 1; }
status=0
for po in "$source_dir"/po/*.po; do
    name=$(basename "$po")
    if ! msgcmp --use-untranslated "$po" "$work/koltrep.pot" 2>"$work/msgcmp.txt"; then
        echo "FAIL: $name lacks texts of the code (cmake --build build --target update-po):"
        cat "$work/msgcmp.txt"
        status=1
    fi
    # Untranslated entries whose id is not plain ASCII: a Japanese text left in Japanese. An id
    # with a newline inside is written over several lines, even unwrapped: each id is joined
    # into one line first.
    untranslated=$(msgattrib --untranslated --no-obsolete --no-wrap "$po" | awk '
        function flush() { if (id != "") print id; id = "" }
        /^msgid / { flush(); id = $0; next }
        /^"/ && id != "" { id = substr(id, 1, length(id) - 1) substr($0, 2); next }
        { flush() }
        END { flush() }' | grep -P '^msgid ".*[^\x00-\x7F]' || true)
    if [[ -n $untranslated ]]; then
        echo "FAIL: $name does not translate:"
        echo "$untranslated"
        status=1
    fi
    msgfmt --check -o /dev/null "$po" || status=1
done
((status == 0)) && echo PASS
exit $status
