# Helpers for the tests of the Windows program under wine, sourced by them
# after ../install/session.sh: a wine prefix of the test's own, whose Arial
# is Liberation Sans, and the windows of the program on the virtual display.

# Makes a fresh wine prefix in the work folder and points WINEPREFIX at it.
start_wine() {
    export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wineboot --init >>"$work/wine.log" 2>&1 || fail "wineboot: $(cat "$work/wine.log")"
    # The window is laid out in Arial, which wine lacks: Liberation Sans has
    # the same metrics.
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ \
        /d 'Liberation Sans' /f >>"$work/wine.log" 2>&1 || fail "the font map: $(cat "$work/wine.log")"
    trap 'wineserver -k 2>/dev/null; stop_started' EXIT
}

# The Windows path of a file of this system.
windows_path() {
    winepath -w "$1" 2>/dev/null
}

# Starts a Windows program under wine.
start_windows_program() {
    wine "$@" >"$work/program.log" 2>&1 &
    program=$!
    started+=("$program")
}

# Prints the id of a visible window whose title is the given text (a
# regular expression), other than the given window ids; fails when none is.
titled_window() {
    local title=$1 id other
    shift
    for id in $(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null); do
        for other in "$@"; do
            [ "$id" != "$other" ] || continue 2
        done
        echo "$id"
        return
    done
    return 1
}

# The same, waiting up to a minute for the window.
wait_for_titled() {
    local deadline=$((SECONDS + 60))
    until titled_window "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || fail "no window titled $1 appeared"
        kill -0 "$program" 2>/dev/null || fail "the program ended: $(cat "$work/program.log")"
        sleep 0.2
    done
}
