# Shared pieces of the end-to-end scripts that run under a window manager (sourced after
# common.bash): openbox on the private X server, another program's window to take the focus,
# screenshots of one window and the processor time a process has used.

OPENBOX_PID=

# The window manager announces itself on the root window once it manages the screen.
wm_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# openbox with a configuration of the test's own (the user's may bind other keys): new windows
# take the focus, clicks do not move it by themselves, and Alt+F4 is the window manager's close.
start_openbox() {
    command -v openbox >/dev/null || fail "openbox is not installed (tools/install-deps.sh)"
    cat >"$WORK/openbox.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy></placement>
  <desktops><number>1</number></desktops>
  <keyboard><keybind key="A-F4"><action name="Close"/></keybind></keyboard>
</openbox_config>
EOF
    # Xvfb resets when its last client leaves; a connection made during the reset fails, so an
    # openbox that ends at once is started again.
    local attempt i
    for attempt in 1 2 3; do
        XDG_CONFIG_HOME=$WORK/config openbox --sm-disable --config-file "$WORK/openbox.xml" \
            >"$WORK/openbox.log" 2>&1 &
        OPENBOX_PID=$!
        STARTED_PIDS+=("$OPENBOX_PID")
        for ((i = 0; i < 300; i++)); do
            wm_running && break 2
            alive "$OPENBOX_PID" || break
            sleep 0.1
        done
        sleep 0.5
    done
    wm_running || fail "openbox did not start: $(cat "$WORK/openbox.log")"
    note "openbox $OPENBOX_PID manages $DISPLAY"
}

# Opens an xlogo window of $1 x $2 pixels at $3,$4 and prints its id once it is mapped. Its
# Escape key is unbound (it would quit), so the key can be typed into it; it sets no
# _NET_WM_PID, so its class finds it. Use as: id=$(open_other_window ...) || exit 1
open_other_window() {
    xlogo -geometry "${1}x${2}+${3}+${4}" -xrm 'XLogo*baseTranslations: #override <Key>q: quit()' \
        >/dev/null 2>&1 &
    local pid=$! id= i
    STARTED_PIDS+=("$pid")
    for ((i = 0; i < 300; i++)); do
        id=$(xdotool search --onlyvisible --class '^XLogo$' 2>/dev/null | head -n1)
        [[ -n $id ]] && break
        sleep 0.1
    done
    [[ -n $id ]] || fail "the xlogo window did not appear"
    echo "$id"
}

# The window that has the keyboard focus.
focused_window() { xdotool getwindowfocus 2>/dev/null; }

# Waits up to $2 tenths of a second for window $1 to have the focus.
wait_for_focus() {
    local i
    for ((i = 0; i < $2; i++)); do
        [[ $(focused_window) == "$1" ]] && return 0
        sleep 0.1
    done
    return 1
}

# Processor time process $1 has used, in clock ticks (user + system, all its threads).
cpu_ticks() {
    awk '{print $14 + $15}' "/proc/$1/stat"
}

# Saves what window $1 shows on the screen as $2.
window_shot() {
    import -window "$1" "$2" 2>/dev/null || fail "cannot take a screenshot of window $1"
}

# Number of pixels that differ between two pictures of the same size, beyond a small fuzz.
pixels_differing() {
    compare -metric AE -fuzz 8% "$1" "$2" null: 2>&1 | cut -d' ' -f1
}

# Pixels of a picture, width times height.
picture_pixels() {
    identify -format '%[fx:w*h]' "$1"
}
