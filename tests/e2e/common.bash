# Shared pieces of the end-to-end scripts (sourced, not run): a private X server, a private
# lock folder, waiting for windows and processes, and real key presses through XTEST.
#
# Every wait has an upper bound so that a hung program fails the test instead of hanging it;
# the bounds are generous, since the machine may be busy, and no test asserts on speed.

set -uo pipefail

BUILD_DIR=$(cd "${1:?build folder}" && pwd)
SOURCE_DIR=$(cd "${2:?source folder}" && pwd)
DATA_DIR=$SOURCE_DIR/data
KOLTREP=$BUILD_DIR/koltrep

# The messages the tests look for are the program's own texts, shown as they are written where
# no catalogue applies; a test that wants another language asks for it.
unset LC_ALL LC_MESSAGES LANGUAGE
export LANG=C.UTF-8

WORK=$(mktemp -d "${TMPDIR:-/tmp}/koltrep-e2e.XXXXXX") || { echo "FAIL: no scratch folder" >&2; exit 1; }
XVFB_PID=
STARTED_PIDS=()

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

note() { echo "-- $*"; }

cleanup() {
    local pid
    for pid in "${STARTED_PIDS[@]}"; do
        kill -9 "$pid" 2>/dev/null
    done
    if [[ -n $XVFB_PID ]]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

# Runs "$@" until it succeeds, at most $1 tenths of a second.
wait_for() {
    local tenths=$1
    shift
    local i
    for ((i = 0; i < tenths; i++)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# A private X server on a display number it picks itself (no race with other servers).
start_xvfb() {
    command -v Xvfb >/dev/null || fail "Xvfb is not installed (tools/install-deps.sh)"
    command -v xdotool >/dev/null || fail "xdotool is not installed (tools/install-deps.sh)"
    # -noreset: by default the server resets whenever its last client leaves, and a program
    # that connects during the reset runs on without its window ever appearing (seen in about
    # one start in eight right after a short-lived xdotool call).
    Xvfb -displayfd 3 -screen 0 "${XVFB_SIZE:-1024x768}x24" -nolisten tcp -noreset 3>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    wait_for 300 test -s "$WORK/display" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    export DISPLAY=:$(head -n1 "$WORK/display")
    wait_for 100 xdotool getmouselocation || fail "cannot talk to the X server on $DISPLAY"
    note "Xvfb on $DISPLAY"
}

# The single-instance lock lives in XDG_RUNTIME_DIR; a private one keeps this test apart from
# a koltrep the user may be running and from the other tests.
private_runtime_dir() {
    export XDG_RUNTIME_DIR=$WORK/run
    mkdir -m 700 -p "$XDG_RUNTIME_DIR"
}

# Starts koltrep ($1 = executable, rest = options) in the data folder in the background, its
# output in $WORK/NAME.out / .err where NAME is the variable to receive the pid.
start_koltrep() {
    local var=$1 exe=$2
    shift 2
    (cd "$DATA_DIR" && exec "$exe" "$@") >"$WORK/$var.out" 2>"$WORK/$var.err" &
    local pid=$!
    STARTED_PIDS+=("$pid")
    printf -v "$var" '%s' "$pid"
}

# True while process $1 runs (a finished child stays a zombie until waited for).
alive() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [[ -n $state && $state != Z ]]
}

# True when window $1 is a dialog (a message box, titled with the program's name too).
is_dialog() {
    xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG
}

# Prints the id of the visible window named exactly "Koltrep" (the caption) of process $1; its
# message boxes do not count.
koltrep_window() {
    local id ids=()
    for id in $(xdotool search --onlyvisible --name '^Koltrep$' 2>/dev/null); do
        is_dialog "$id" || ids+=("$id")
    done
    for id in "${ids[@]}"; do
        if [[ $(xdotool getwindowpid "$id" 2>/dev/null) == "$1" ]]; then
            echo "$id"
            return 0
        fi
    done
    # Windows without a _NET_WM_PID: take the only one there is.
    [[ ${#ids[@]} -gt 0 ]] && echo "${ids[0]}"
}

# Prints the window id once process $1 shows its window, within $2 tenths of a second; returns
# 1 without printing if it does not (and 2 if the process ended first).
window_within() {
    local pid=$1 tenths=$2 id= i
    for ((i = 0; i < tenths; i++)); do
        alive "$pid" || return 2
        id=$(koltrep_window "$pid")
        [[ -n $id ]] && {
            echo "$id"
            return 0
        }
        sleep 0.1
    done
    return 1
}

# What a stuck koltrep is doing ($2 says how it is stuck), on stderr, for the record: a start
# has been seen to stall in the X round trips of its first presented frame.
stuck_diagnostics() {
    local pid=$1
    echo "-- koltrep $pid $2 on $DISPLAY; its stderr ends:" >&2
    tail -n 5 "$WORK"/*.err >&2 2>/dev/null
    command -v xwininfo >/dev/null && xwininfo -root -tree 2>&1 | head -n 20 >&2
    command -v ss >/dev/null && ss -xp 2>/dev/null | grep "pid=$pid," >&2
    command -v gdb >/dev/null &&
        gdb -batch -p "$pid" -ex "thread apply all bt 20" 2>/dev/null | grep -E '^(#|Thread)' >&2
}

# Use as: id=$(wait_for_window PID) || exit 1
wait_for_window() {
    local pid=$1 id status
    id=$(window_within "$pid" 600)
    status=$?
    ((status == 0)) && {
        echo "$id"
        return 0
    }
    ((status == 2)) && fail "koltrep (pid $pid) ended before showing its window: $(cat "$WORK"/*.err 2>/dev/null)"
    stuck_diagnostics "$pid" "shows no window"
    fail "no Koltrep window after 60 s on $DISPLAY"
}

# Starts koltrep (as start_koltrep: VAR EXE OPTIONS...) and waits for its window, which it
# leaves in KOLTREP_WINDOW; a start without one fails the test with the process's stacks.
start_koltrep_with_window() {
    local var=$1
    start_koltrep "$@"
    KOLTREP_WINDOW=$(wait_for_window "${!var}") || exit 1
}

# Gives the window the keyboard focus (there is no window manager to do it).
focus_window() {
    xdotool windowfocus --sync "$1" || xdotool windowfocus "$1" || fail "cannot focus window $1"
}

# Holds a key for $2 seconds: the program samples the keyboard once per 50 ms tick, so a
# press must last longer than a tick to be seen, as a person's does.
press_key() {
    xdotool keydown "$1" || fail "xdotool keydown $1"
    sleep "${2:-0.3}"
    xdotool keyup "$1" || fail "xdotool keyup $1"
}

# Waits up to $2 seconds for process $1 to end; sets EXIT_CODE. Fails on a hang.
wait_exit() {
    local pid=$1 limit=${2:-30}
    local i
    for ((i = 0; i < limit * 10; i++)); do
        if ! alive "$pid"; then
            wait "$pid"
            EXIT_CODE=$?
            return 0
        fi
        sleep 0.1
    done
    stuck_diagnostics "$pid" "still runs"
    fail "process $pid still running after $limit s"
}

[[ -x $KOLTREP ]] || fail "$KOLTREP is not built"
