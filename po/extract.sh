#!/usr/bin/env bash
# Writes the message template of every text the programs show through the catalogue: those
# marked with _() or N_(), and the texts handed to the calls that translate what they are given
# (MessageBoxA's text, the input's ShowError and ShowMessage, Direct3D's ReportProblem).
# Usage: po/extract.sh SOURCE_DIR OUT.pot
set -euo pipefail
source_dir=$(cd "${1:?source folder}" && pwd)
out=${2:?output .pot}
cd "$source_dir"
# The ids are Japanese: xgettext reads and writes them in a UTF-8 locale, and warns about every
# one of them, so its own talk is shown only when it fails.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
find app shell records machine gfx input sim platform tools -name '*.cpp' | LC_ALL=C sort |
    LC_ALL=C.UTF-8 xgettext --from-code=UTF-8 --language=C++ --files-from=- --output="$out" \
        --keyword=_ --keyword=N_ --keyword=TranslatePlural:1,2 --keyword=MessageBoxA:2 --keyword=ShowError \
        --keyword=ShowMessage --keyword=ReportProblem --flag=FormatText:1:c-format \
        --flag=ReportProblem:1:c-format --package-name=koltrep --sort-by-file \
        --no-wrap 2>"$log" || {
    cat "$log" >&2
    exit 1
}
