#!/usr/bin/env bash
# Each catalogue knows every text the programs show through it (the template made from the
# sources now) and translates it: English every one of the program's Japanese texts, every other
# language every text. A text added or reworded in the code without its translation fails
# here, not in front of a user.
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
    # English needs no entry for the English ids, only for the program's Japanese texts; every
    # other catalogue translates every text. An id is read whole (msgexec hands it over in one
    # piece), so a text of several lines is judged as one.
    if [[ $name == en.po ]]; then
        check='[[ $MSGEXEC_MSGID == *[![:ascii:]]* ]] && printf "msgid %s\n" "$MSGEXEC_MSGID"; true'
    else
        check='[[ -n $MSGEXEC_MSGID ]] && printf "msgid %s\n" "$MSGEXEC_MSGID"; true'
    fi
    untranslated=$(msgattrib --untranslated --no-obsolete "$po" | msgexec -i - bash -c "$check")
    if [[ -n $untranslated ]]; then
        echo "FAIL: $name does not translate:"
        echo "$untranslated"
        status=1
    fi
    msgfmt --check -o /dev/null "$po" || status=1
done
((status == 0)) && echo PASS
exit $status
