#!/usr/bin/env bash
# Two builds of the same sources, in folders of different names and depths (one build folder
# inside the sources, one beside them), give byte-identical programs: no build path ends up
# in them. The second is made the way `make run` makes it, which must build no test or
# benchmark. Only the three programs are built, two jobs at a time.
set -uo pipefail
source_dir=$(cd "${1:?source folder}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/koltrep-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The tree as it would be committed: tracked files and new ones git does not ignore.
copy_sources() {
    mkdir -p "$1"
    (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
        tar -cf - --null --no-recursion --ignore-failed-read -T - 2>/dev/null) |
        tar -xf - -C "$1" || fail "cannot copy the sources to $1"
}

build() {
    local src=$1 out=$2
    cmake -S "$src" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLTREP_TESTS=OFF \
        -DKOLTREP_BENCH=OFF >"$out.log" 2>&1 &&
        cmake --build "$out" -j2 --target koltrep koltrep-replay koltrep-inspect >>"$out.log" 2>&1 ||
        fail "build in $out failed: $(tail -n 20 "$out.log")"
}

copy_sources "$work/a/src"
copy_sources "$work/second/much/deeper/koltrep-copy"
build "$work/a/src" "$work/a/src/build"
make -C "$work/second/much/deeper/koltrep-copy" programs BUILD="$work/second/out" JOBS=2 \
    >"$work/second/out.log" 2>&1 || fail "make programs failed: $(tail -n 20 "$work/second/out.log")"
built_tests=$(find "$work/second/out" -type f -perm -u+x \( -name 'test_*' -o -name 'koltrep-bench' \))
[[ -z $built_tests ]] || fail "make run's build made tests or benchmarks: $built_tests"
for program in koltrep koltrep-replay koltrep-inspect; do
    cmp "$work/a/src/build/$program" "$work/second/out/$program" ||
        fail "$program differs between the two builds"
    ! grep -q -a -e "$work" "$work/a/src/build/$program" || fail "$program holds its build path"
done
echo "PASS: koltrep, koltrep-replay and koltrep-inspect are byte-identical"
