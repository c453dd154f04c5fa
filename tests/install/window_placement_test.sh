#!/usr/bin/env bash
# The installed program, started through its bin link, finds the splash
# picture in its own folder and, under a window manager and without one,
# shows the splash and then the main window with their outer frames centred
# on the screen. Ticking the splash's box is stored in the user's settings
# file, so the next start shows the main window at once.
#
# usage: window_placement_test.sh BUILD_DIR
set -euo pipefail
build=$1
source "$(dirname "$0")/session.sh"
need_tools Xvfb openbox xdotool xwininfo xprop

readonly main_window=536x619 splash=256x276
install_below "$build" "$work/root"
mkdir "$work/root/usr/lib/tarnwick/Splash"
cp "$build/src/app/icons/256.png" "$work/root/usr/lib/tarnwick/Splash/picture.png"

start_display
start_window_manager
start_program "$work/root/usr/bin/tarnwick"
splash_window=$(wait_for_window "$splash")
expect_centred "splash under openbox" "$splash_window"
read -r x y _ <<<"$(outer_frame "$splash_window")"
# The box "Hide this at next startup" lies at the left of the white strip.
xdotool mousemove $((x + 20)) $((y + 262)) click 1
expect_centred "main window under openbox" "$(wait_for_window "$main_window")"
settings="$work/home/.config/Kestrane/Tarnwick.conf"
grep -qx 'ShowAgain=1' "$settings" || fail "the ticked box is not in $settings"
kill "$program"

start_display
start_program "$work/root/usr/bin/tarnwick"
expect_centred "main window without a window manager" "$(wait_for_window "$main_window")"
