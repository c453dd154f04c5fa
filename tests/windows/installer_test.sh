#!/usr/bin/env bash
# cpack makes the NSIS installer tarnwick-VERSION-win64.exe, which installs
# silently under wine into Program Files the program, Qt's DLLs and plugins
# and the uninstaller, and nothing else, with a Start-menu entry; the
# installed program shows its window, its splash stores "Hide this at next
# startup" in the registry as text, and the uninstaller removes it all.
#
# usage: installer_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
source "$(dirname "$0")/../install/session.sh"
source "$(dirname "$0")/wine_session.sh"
need_tools cpack makensis wine wineboot Xvfb openbox xdotool xwininfo xprop convert

cpack -G NSIS --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" ||
    fail "cpack: $(cat "$work/cpack.log")"
installer="$work/package/tarnwick-$version-win64.exe"
[ -f "$installer" ] || fail "cpack made no $(basename "$installer"): $(ls "$work/package")"

start_display
start_window_manager
start_wine
wine "$installer" /S || fail "the installer failed"
folder="$WINEPREFIX/drive_c/Program Files/Tarnwick"
installed=$(cd "$folder" && find . -type f | LC_ALL=C sort)
expected=$(printf '%s\n' ./Qt6Core.dll ./Qt6Gui.dll ./Qt6Widgets.dll ./Uninstall.exe \
    ./imageformats/qgif.dll ./imageformats/qico.dll ./imageformats/qjpeg.dll \
    ./platforms/qwindows.dll ./styles/qwindowsvistastyle.dll ./tarnwick-cli.exe ./tarnwick.exe)
[ "$installed" = "$expected" ] || fail "installed in $folder: $installed"
find "$WINEPREFIX/drive_c" -ipath '*Start Menu*' -iname 'Tarnwick.lnk' | grep -q . ||
    fail "no Start-menu entry"
echo "installed into Program Files with a Start-menu entry"
wine "$folder/tarnwick-cli.exe" --version | grep -q "$version" ||
    fail "the installed command line does not start"

start_windows_program "$folder/tarnwick.exe"
wait_for_window 536x619 >/dev/null
echo "the installed program shows its window"
wineserver -k

settings='HKCU\Software\Kestrane\Tarnwick\Tarnwick'
hide_choice() {
    wine reg query "$settings" /v ShowAgain 2>/dev/null | tr -d '\r'
}
choice_stored() {
    grep -q ShowAgain <<<"$(hide_choice)"
}
mkdir "$folder/Splash"
convert -size 300x200 xc:navy "$folder/Splash/a.png"
start_windows_program "$folder/tarnwick.exe"
splash=$(wait_for_window 300x220)
# A click before the splash takes input is lost: clicks the box until the
# choice is stored, each time after the last click had time to land.
for _ in 1 2 3; do
    xdotool mousemove --window "$splash" 14 206 click 1
    wait_until 2 choice_stored && break
done
grep -Eq '^ +ShowAgain +REG_SZ +1$' <<<"$(hide_choice)" ||
    fail "no text 1 in ShowAgain of $settings: $(hide_choice)"
wait_for_window 536x619 >/dev/null
wineserver -k
rm -r "$folder/Splash"
echo "ticking the splash's box stored ShowAgain as the text 1 in the registry"

wine "$folder/Uninstall.exe" /S || fail "the uninstaller failed"
wait_until 60 test ! -e "$folder" || fail "left after uninstalling: $(find "$folder")"
echo "the uninstaller removed the program"
