#!/usr/bin/env bash
# cpack makes a Debian package that lintian passes without an error or a
# warning, that depends on Debian's runtime packages only, the Qt plugins
# the program loads among them, and whose program, unpacked into a root of
# its own, starts to its main window under a window manager; its
# command-line program runs.
#
# usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
source "$(dirname "$0")/session.sh"
need_tools cpack dpkg-deb dpkg-shlibdeps lintian Xvfb openbox xdotool xwininfo xprop

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" ||
    fail "cpack: $(cat "$work/cpack.log")"
packages=("$work"/package/*.deb)
[ "${#packages[@]}" -eq 1 ] || fail "cpack made ${#packages[@]} packages"
package=${packages[0]}

# Informational tags are shown; an error or a warning fails the test.
lintian --display-info --fail-on error,warning "$package" 2>&1 ||
    fail "lintian found errors or warnings in the package"

[ "$(dpkg-deb -f "$package" Version)" = "$version" ] || fail "the package is not version $version"
depends=$(dpkg-deb -f "$package" Depends)
echo "Depends: $depends"
for needed in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libxcb1 fonts-liberation \
    qt6-qpa-plugins qt6-image-formats-plugins; do
    grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "the package does not depend on $needed"
done
if grep -Eq -- '-dev( |,|$)' <<<"$depends"; then
    fail "the package depends on development packages"
fi

dpkg -x "$package" "$work/root"
[ "$("$work/root/usr/bin/tarnwick-cli" --version)" = "tarnwick-cli $version" ] ||
    fail "the package holds no tarnwick-cli of version $version"
start_display
start_window_manager
start_program "$work/root/usr/bin/tarnwick"
wait_for_window 536x619 >/dev/null
echo "the unpacked program shows its main window"
