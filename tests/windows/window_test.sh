#!/usr/bin/env bash
# The program under wine on a virtual display, as a user meets it: the window
# appears titled Tarnwick with its 536x619 client area, a list file typed into
# the open dialog loads, one that does not exist is taken and not found, a
# search lists the files that lack the phrase, and the results saved are those
# paths, one a line ended by CR LF, in UTF-8 with a byte-order mark as a Greek
# name needs. Leaves a screenshot of the window at SCREENSHOT.
#
# usage: window_test.sh PROGRAM SCREENSHOT
set -euo pipefail
program_file=$1 screenshot=$2
source "$(dirname "$0")/../install/session.sh"
source "$(dirname "$0")/wine_session.sh"
need_tools wine wineboot winepath Xvfb openbox xdotool xwininfo xprop import

# Points of the window's client area, from its layout in twips (15 a pixel).
readonly load_list_button="136 182" phrase_box="268 268" start_button="268 365"
readonly save_button="136 528"

click() {
    xdotool mousemove --window "$window" $1 click 1
}

# A click that comes before the new window takes input is lost: clicks until
# a window of the title shows.
click_until_titled() {
    local point=$1 title=$2 deadline=$((SECONDS + 60)) wait
    while [ "$SECONDS" -lt "$deadline" ]; do
        click "$point"
        for wait in 1 2 3 4 5 6 7 8 9 10; do
            titled_window "$title" "$window" && return
            sleep 0.5
        done
    done
    fail "no window titled $title appeared after clicks at $point"
}

# Types text into the window that has the focus and presses Return.
type_and_enter() {
    xdotool type --delay 20 "$1"
    xdotool key Return
}

start_display
start_window_manager
start_wine

mkdir "$work/files"
printf 'hay' >"$work/files/a.txt"
printf 'a needle here' >"$work/files/b.txt"
printf 'more hay' >"$work/files/c.txt"
a=$(windows_path "$work/files/a.txt")
b=$(windows_path "$work/files/b.txt")
c=$(windows_path "$work/files/c.txt")
printf 'hay' >"$work/files/Ωμέγα.txt"
greek=$(windows_path "$work/files/Ωμέγα.txt")
printf '%s\r\n' "$a" "$b" "$c" "$greek" >"$work/files/list.txt"

start_windows_program "$program_file"
window=$(wait_for_window 536x619)
echo "the window shows, titled Tarnwick, with a client area of 536x619"

xdotool windowactivate --sync "$(click_until_titled "$load_list_button" Tarnwick)"
xdotool key Return
xdotool windowactivate --sync "$(wait_for_titled 'Add File\(s\) - Hold Ctrl to select multiple files')"
type_and_enter "$(windows_path "$work/files/list.txt")"

# The system's dialog takes a typed name of a file that does not exist; the
# program then says "File not found" in a box of its own.
xdotool windowactivate --sync "$window"
xdotool windowactivate --sync "$(click_until_titled "$load_list_button" Tarnwick)"
xdotool key Return
xdotool windowactivate --sync "$(wait_for_titled 'Add File\(s\) - Hold Ctrl to select multiple files')"
type_and_enter "$(windows_path "$work/files")\\missing.txt"
xdotool windowactivate --sync "$(wait_for_titled Tarnwick "$window")"
xdotool key Return
echo "the open dialog took the name of a list file that does not exist"

xdotool windowactivate --sync "$window"
click "$phrase_box"
xdotool key ctrl+a
xdotool type --delay 20 needle
xdotool windowactivate --sync "$(click_until_titled "$start_button" Tarnwick)"
xdotool key Return
import -window root "$screenshot"

xdotool windowactivate --sync "$window"
xdotool windowactivate --sync "$(click_until_titled "$save_button" Save)"
type_and_enter "$(windows_path "$work/files/results.txt")"
wait_until 30 test -s "$work/files/results.txt" || fail "no results file was written"

# A name outside the ANSI code page makes the file UTF-8 with a byte-order mark.
{ printf '\xEF\xBB\xBF'; printf '%s\r\n' "$a" "$c" "$greek"; } >"$work/expected.txt"
cmp -s "$work/expected.txt" "$work/files/results.txt" ||
    fail "the results file holds: $(cat -A "$work/files/results.txt")"
echo "the list file loaded, the search found a.txt, c.txt and Ωμέγα.txt, and the save wrote them"
