#!/usr/bin/env bash
# Sanitizer builds only: a drawing run of koltrep-replay is free of leak reports with the
# suite's suppressions and nothing preloaded, and a block lost while frames are presented is
# reported and fails the run, so no suppression or unloaded module can hide a leak of ours.
set -uo pipefail
BUILD_DIR=$(cd "${1:?build folder}" && pwd)
SOURCE_DIR=$(cd "${2:?source folder}" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/koltrep-leaks.XXXXXX") || { echo "FAIL: no scratch folder"; exit 1; }
trap 'rm -rf -- "$WORK"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

printf '0 UP down\n' >"$WORK/walk.txt"
run() { # run PRELOAD: a drawing run under LeakSanitizer, stderr in $WORK/err
    (cd "$SOURCE_DIR/data" && env LD_PRELOAD="$1" ASAN_OPTIONS=detect_leaks=1 \
        LSAN_OPTIONS="suppressions=$SOURCE_DIR/tests/lsan.supp:print_suppressions=0" \
        "$BUILD_DIR/koltrep-replay" --script "$WORK/walk.txt" --ticks 5 --shot "$WORK/shot.png" \
        2>"$WORK/err")
}

run ""
status=$?
((status == 0)) || fail "a clean drawing run exited $status: $(cat "$WORK/err")"
grep -q LeakSanitizer "$WORK/err" && fail "a clean drawing run reports leaks: $(cat "$WORK/err")"

# A block dropped on every presented frame, from a frame of no suppressed library.
cat >"$WORK/probe.c" <<'PROBE'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
void* volatile koltrep_probe_last;
void SDL_GL_SwapWindow(void* window) {
    koltrep_probe_last = malloc(24);
    koltrep_probe_last = 0;
    ((void (*)(void*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"))(window);
}
PROBE
cc -shared -fPIC -o "$WORK/libleakprobe.so" "$WORK/probe.c" -ldl || fail "cannot build the probe"
run "$WORK/libleakprobe.so"
status=$?
((status != 0)) || fail "a leak while drawing left the exit code 0"
grep -q "LeakSanitizer: detected memory leaks" "$WORK/err" || fail "no leak report: $(cat "$WORK/err")"
grep -q "libleakprobe.so" "$WORK/err" || fail "the report does not name the probe: $(cat "$WORK/err")"
echo PASS
