#!/usr/bin/env bash
# The real window on a virtual display with a window manager, closed while a
# file of its search never answers (its open hangs on the project's test file
# system): the window leaves the screen within a second, although the
# process itself can end only once the file system answers.
#
# usage: close_during_dead_read_test.sh PROGRAM TESTFS
set -euo pipefail
program_file=$1 testfs=$2
source "$(dirname "$0")/../install/session.sh"
need_tools Xvfb openbox xdotool fusermount3
[ "$(id -u)" -eq 0 ] && [ -c /dev/fuse ] || skip "mounting FUSE needs the super-user and /dev/fuse"

# Points of the window's client area, from its layout in twips (15 a pixel).
readonly load_list_button="136 182" phrase_box="268 268" start_button="268 365"
click() {
    xdotool mousemove --window "$window" $1 click 1
}
# Whether the number of windows shown whose title matches is as given.
shown() {
    local compare=$1 count=$2 title=$3
    test "$(xdotool search --onlyvisible --name "$title" 2>/dev/null | wc -l)" "$compare" "$count"
}

start_display
start_window_manager
mkdir "$work/source" "$work/share"
printf 'hay' >"$work/source/first.txt"
printf 'hay' >"$work/source/dead.txt"
"$testfs" "$work/source" "$work/share" --hang-open dead.txt -f &
testfs_pid=$!
# Only the end of the file system's process releases the open that hangs.
trap 'kill -9 $testfs_pid 2>/dev/null; fusermount3 -u -z "$work/share" 2>/dev/null; stop_started' EXIT
wait_until 10 test -e "$work/share/first.txt" || fail "the test file system did not mount"
printf '%s\n' "$work/share/first.txt" "$work/share/dead.txt" >"$work/list.txt"

"$program_file" >"$work/program.log" 2>&1 &
program=$!
started+=("$program")
window=$(wait_for_window 536x619)
click "$load_list_button"
wait_until 10 shown -ge 2 '^Tarnwick$' || fail "no format message"
xdotool key Return
wait_until 30 shown -ge 1 '^Add File' || fail "no open dialog"
xdotool type --delay 10 "$work/list.txt"
xdotool key Return
xdotool windowactivate --sync "$window"
click "$phrase_box"
xdotool key ctrl+a
xdotool type --delay 10 needle
click "$start_button"
sleep 1
xdotool windowactivate --sync "$window"
xdotool key alt+F4
wait_until 1 shown -eq 0 '^Tarnwick$' ||
    fail "the window was still shown a second after the close (process: $(ps -o stat= -p "$program"))"
kill -0 "$program" 2>/dev/null && echo "the process waits for the file system, its window gone"
echo "the window left the screen within a second of the close"
