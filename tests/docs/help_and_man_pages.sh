#!/usr/bin/env bash
# Every program of the toolbox answers -h, --help and --version, and its man page lists every
# option, command and environment variable its --help names, each option of the usage lines in
# its SYNOPSIS too. Each page renders without a single warning from groff.
set -u
build=$1 source=$2
# The help texts are compared with the English pages: the locale of the one who runs the tests
# must not translate them.
export LC_ALL=C
unset LANGUAGE
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The words of a help text that name options (-win, --crank-speed), the commands that begin the
# usage line's alternatives (mesh, image, msgbox) and the KOLTREP_ variables.
names_in_help() {
    grep -oE '(^|[][ |,(])--?[a-zA-Z][a-zA-Z0-9-]*' <<<"$1" | sed -E 's/^[][ |,(]//'
    head -n 1 <<<"$1" | grep -oE '(^usage: [a-z-]+|\|) [a-z]+( |$)' | awk '{print $NF}'
    grep -oE 'KOLTREP_[A-Z_]+' <<<"$1"
}

for entry in koltrep:koltrep.6 koltrep-replay:koltrep-replay.1 \
    koltrep-inspect:koltrep-inspect.1 koltrep-sweep:koltrep-sweep.1 \
    koltrep-evaluate:koltrep-evaluate.1 koltrep-optimize:koltrep-optimize.1; do
    program=${entry%%:*} page=$source/docs/man/${entry#*:}
    binary=$(find "$build" -maxdepth 4 -type f -name "$program" -perm -u+x | head -n 1)
    [[ -n $binary ]] || { fail "$program is not built"; continue; }
    [[ -s $page ]] || { fail "no man page $page"; continue; }

    help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$binary" --help) || fail "$program --help exits $?"
    short=$(env -u DISPLAY -u WAYLAND_DISPLAY "$binary" -h) || fail "$program -h exits $?"
    [[ $short == "$help" ]] || fail "$program -h differs from --help"
    version=$("$binary" --version) || fail "$program --version exits $?"
    [[ $version =~ ^$program\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "$program --version says '$version'"

    # The page's text with roff's escaped hyphens and font changes taken out.
    text=$(sed -E 's/\\-/-/g; s/\\f[BIRP]//g' "$page")
    names=$(names_in_help "$help" | sort -u)
    [[ -n $names ]] || fail "no option found in $program --help"
    for name in $names; do
        grep -qE "(^|[^a-zA-Z0-9_-])$name([^a-zA-Z0-9_-]|$)" <<<"$text" ||
            fail "$program --help names $name; $(basename "$page") does not"
    done
    # The usage lines (up to the first blank line) against the SYNOPSIS section.
    synopsis=$(sed -n '/^\.SH SYNOPSIS/,/^\.SH /p' "$page" | sed -E 's/\\-/-/g')
    for name in $(sed '/^$/q' <<<"$help" | grep -oE '(^|[][ |,(])--?[a-zA-Z][a-zA-Z0-9-]*' |
        sed -E 's/^[][ |,(]//' | sort -u); do
        grep -qE "(^|[^a-zA-Z0-9_-])$name([^a-zA-Z0-9_-]|$)" <<<"$synopsis" ||
            fail "$program's usage names $name; the SYNOPSIS of $(basename "$page") does not"
    done
    warnings=$(LC_ALL=C.UTF-8 groff -ww -z -man "$page" 2>&1)
    [[ -z $warnings ]] || fail "$(basename "$page") renders with warnings: $warnings"
    echo "$program: $(wc -w <<<"$names") names checked against $(basename "$page")"
done
((failures == 0)) || exit 1
echo PASS
