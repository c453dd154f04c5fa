#!/usr/bin/env bash
# The installed program, started through its bin link, finds the splash
# picture in its own folder and, under a window manager and without one,
# shows the splash and then the main window with their outer frames centred
# on the screen. A click where assistive technology finds the splash's box
# ticks it, in start after start; the choice is stored in the user's
# settings file, so the next start shows the main window at once.
#
# usage: window_placement_test.sh BUILD_DIR
set -euo pipefail
build=$1
source "$(dirname "$0")/session.sh"
need_tools Xvfb openbox xdotool xwininfo xprop dbus-daemon dbus-send /usr/libexec/at-spi-bus-launcher
/usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
    skip "the AT-SPI bindings for Python are not installed (scripts/install-deps installs them)"

readonly main_window=536x619 splash=256x276
install_below "$build" "$work/root"
mkdir "$work/root/usr/lib/tarnwick/Splash"
cp "$build/src/app/icons/256.png" "$work/root/usr/lib/tarnwick/Splash/picture.png"

start_display
start_window_manager
start_accessibility_bus
settings="$work/home/.config/Kestrane/Tarnwick.conf"
# Whether the window manager has framed the splash when the program learns
# of its place varies from start to start.
for start in 1 2 3 4; do
    rm -f "$settings"
    start_program "$work/root/usr/bin/tarnwick"
    expect_centred "splash under openbox" "$(wait_for_window "$splash")"
    # Debian's own interpreter, for which its AT-SPI bindings are installed.
    extents=$(/usr/bin/python3 "$(dirname "$0")/accessible_extents.py" 'check box' 'Hide this at next startup')
    read -r x y width height <<<"$extents"
    xdotool mousemove $((x + width / 2)) $((y + height / 2)) click 1
    expect_centred "main window under openbox" "$(wait_for_window "$main_window")"
    grep -qsx 'ShowAgain=1' "$settings" ||
        fail "start $start: a click on the box where assistive technology finds it, ${width}x$height at $x,$y, did not tick it"
    kill "$program"
    wait "$program" || true
done

start_display
start_program "$work/root/usr/bin/tarnwick"
expect_centred "main window without a window manager" "$(wait_for_window "$main_window")"
