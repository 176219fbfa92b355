#!/usr/bin/env bash
# The user guide against the source tree: the architecture chapter's layout table names every
# top-level folder and no folder that is not there, and every picture a chapter shows exists.
set -u
source=$(cd "${1:?source folder}" && pwd)
guide=$source/docs/guide
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

listed=$(grep -oE '^\| [a-z0-9/_-]+/ \|' "$guide/architecture.md" | sed -E 's/^\| (.*) \|$/\1/')
[[ -n $listed ]] || fail "no layout table in architecture.md"
for folder in $listed; do
    [[ -d $source/$folder ]] || fail "architecture.md lists $folder, which is not a folder"
done
for folder in "$source"/*/; do
    name=$(basename "$folder")
    [[ $name == build* ]] && continue
    grep -qxF "$name/" <<<"$listed" || fail "architecture.md's layout table lacks $name/"
done
for page in "$guide"/*.md; do
    for picture in $(grep -oE '\]\([^) ]+\.png\)' "$page" | sed -E 's/^\]\(|\)$//g'); do
        [[ -f $guide/$picture ]] || fail "$(basename "$page") shows $picture, which is not there"
    done
done
((failures == 0)) || exit 1
echo PASS
