# Helpers for the tests of the installed program, sourced by them: a work
# folder removed at exit, skipping, the install, and a virtual X display of
# 1280x1024 with or without a window manager on which to start the program.

readonly screen_width=1280 screen_height=1024
work=$(mktemp -d)
started=()

stop_started() {
    local pid
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap stop_started EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

skip() {
    echo "SKIPPED: $*"
    exit 77
}

need_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps installs it)"
    done
}

# Runs the command until it succeeds, for at most the given seconds.
wait_until() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# Installs the build tree below root with the prefix /usr, as a package would.
install_below() {
    local build=$1 root=$2
    DESTDIR="$root" cmake --install "$build" --prefix /usr >"$work/install.log" ||
        fail "install: $(cat "$work/install.log")"
}

# Starts an X server of its own on a free display and points DISPLAY at it.
start_display() {
    local announced="$work/display-$RANDOM"
    Xvfb -displayfd 3 -screen 0 "${screen_width}x${screen_height}x24" -nolisten tcp \
        3>"$announced" 2>>"$work/xvfb.log" &
    started+=($!)
    wait_until 30 grep -q '^[0-9][0-9]*$' "$announced" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(cat "$announced")"
}

window_manager_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

start_window_manager() {
    openbox --sm-disable >>"$work/openbox.log" 2>&1 &
    started+=($!)
    wait_until 30 window_manager_running || fail "openbox did not start: $(cat "$work/openbox.log")"
}

# Starts a session bus of the test's own and turns accessibility on there,
# as a screen reader does, for the programs started next.
start_accessibility_bus() {
    local announced="$work/bus-$RANDOM"
    dbus-daemon --session --nofork --print-address=3 3>"$announced" >>"$work/dbus.log" 2>&1 &
    started+=($!)
    wait_until 30 grep -q . "$announced" || fail "dbus-daemon did not start: $(cat "$work/dbus.log")"
    export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$announced")
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
        string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null
}

# Starts the program for a user whose home is in the work folder.
start_program() {
    mkdir -p "$work/home"
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb \
        "$1" >"$work/program.log" 2>&1 &
    program=$!
    started+=("$program")
}

inner_size() {
    xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}

# Prints the id of the program's visible window of the given inner size once
# there is one.
wait_for_window() {
    local size=$1 deadline=$((SECONDS + 60)) id
    while [ "$SECONDS" -lt "$deadline" ]; do
        for id in $(xdotool search --onlyvisible --name '^Tarnwick$' 2>/dev/null); do
            if [ "$(inner_size "$id")" = "$size" ]; then
                echo "$id"
                return
            fi
        done
        kill -0 "$program" 2>/dev/null || fail "the program ended: $(cat "$work/program.log")"
        sleep 0.1
    done
    fail "no window of $size titled Tarnwick appeared: $(cat "$work/program.log")"
}

# Prints "x y width height" of the window's outer frame: the outermost
# window below the root that holds it (the window manager's frame), or the
# window itself when nothing frames it.
outer_frame() {
    local window=$1 tree parent root
    while :; do
        tree=$(xwininfo -tree -id "$window")
        root=$(awk '/Root window id:/ { print $4 }' <<<"$tree")
        parent=$(awk '/Parent window id:/ { print $4 }' <<<"$tree")
        [ "$parent" != "$root" ] || break
        window=$parent
    done
    xwininfo -id "$window" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }'
}

# Fails unless the window's outer frame is centred on the screen within a pixel.
expect_centred() {
    local label=$1 x y width height
    read -r x y width height <<<"$(outer_frame "$2")"
    local centred_x=$(((screen_width - width) / 2)) centred_y=$(((screen_height - height) / 2))
    echo "$label: outer frame ${width}x$height at $x,$y; centred is $centred_x,$centred_y"
    if [ $((x - centred_x)) -gt 1 ] || [ $((centred_x - x)) -gt 1 ] ||
        [ $((y - centred_y)) -gt 1 ] || [ $((centred_y - y)) -gt 1 ]; then
        fail "$label is not centred"
    fi
}
