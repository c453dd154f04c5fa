#!/usr/bin/env bash
# cmake --install puts the program in a folder of its own with a relative
# link in bin, the command-line program in bin, the icon at every size, a
# menu entry and AppStream metainfo that carry the project's version and
# pass their validators, the manual pages, and a copyright file that states
# the licence the metainfo names.
#
# usage: install_tree_test.sh BUILD_DIR APP_ID VERSION
set -euo pipefail
build=$1 app_id=$2 version=$3
source "$(dirname "$0")/session.sh"

png_size() {
    local bytes
    read -r -a bytes <<<"$(od -An -tu1 -j16 -N8 "$1")"
    echo "$(((bytes[2] << 8) + bytes[3]))x$(((bytes[6] << 8) + bytes[7]))"
}

check_tree() {
    local usr=$1
    [ -x "$usr/lib/tarnwick/tarnwick" ] || fail "no program file in $usr/lib/tarnwick"
    [ "$(readlink "$usr/bin/tarnwick")" = "../lib/tarnwick/tarnwick" ] ||
        fail "bin/tarnwick is not the relative link to the program: $(ls -l "$usr/bin/tarnwick")"
    [ "$usr/bin/tarnwick" -ef "$usr/lib/tarnwick/tarnwick" ] || fail "bin/tarnwick does not reach the program"

    local icons="$usr/share/icons/hicolor" size
    grep -q '<svg' "$icons/scalable/apps/$app_id.svg" || fail "no scalable icon"
    for size in 16 22 24 32 48 64 128 256; do
        [ "$(png_size "$icons/${size}x$size/apps/$app_id.png")" = "${size}x$size" ] ||
            fail "the ${size}x$size icon is missing or of another size"
    done

    local entry="$usr/share/applications/$app_id.desktop"
    local metainfo="$usr/share/metainfo/$app_id.metainfo.xml"
    grep -qx 'Exec=tarnwick' "$entry" || fail "Exec is not the bare program name: $(grep Exec "$entry")"
    grep -qx "Icon=$app_id" "$entry" || fail "the entry does not name the icon"
    grep -qx 'Categories=Utility;TextTools;' "$entry" || fail "wrong categories"
    grep -q "<id>$app_id</id>" "$metainfo" || fail "the metainfo does not carry the id"
    grep -q "<release version=\"$version\" date=\"[0-9-]*\"/>" "$metainfo" ||
        fail "the metainfo release is not version $version"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch the entry"

    [ "$("$usr/bin/tarnwick-cli" --version)" = "tarnwick-cli $version" ] ||
        fail "bin/tarnwick-cli is missing or not version $version"
    local manual license whole
    manual=$(gzip -dc "$usr/share/man/man1/tarnwick.1.gz")
    grep -q "^\.TH TARNWICK 1 .*\"Tarnwick $version\"" <<<"$manual" ||
        fail "no manual page tarnwick.1 of version $version"
    grep -q "^\.TH TARNWICK-CLI 1 .*\"Tarnwick $version\"" \
        <<<"$(gzip -dc "$usr/share/man/man1/tarnwick-cli.1.gz")" ||
        fail "no manual page tarnwick-cli.1 of version $version"
    license=$(sed -n 's:.*<project_license>\(.*\)</project_license>.*:\1:p' "$metainfo")
    whole=$(grep -A2 -x 'Files: \*' "$usr/share/doc/tarnwick/copyright")
    grep -qx "License: $license" <<<"$whole" ||
        fail "the copyright file does not state the metainfo's licence $license for the whole"
}

install_below "$build" "$work/root"
check_tree "$work/root/usr"

# Any prefix will do, without DESTDIR as well.
cmake --install "$build" --prefix "$work/elsewhere" >/dev/null
check_tree "$work/elsewhere"

usr="$work/root/usr"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$usr/share/applications/$app_id.desktop"
    echo "desktop-file-validate: valid"
else
    echo "SKIPPED: validating the menu entry: desktop-file-validate is not installed"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic "$usr/share/metainfo/$app_id.metainfo.xml"
    appstreamcli validate-tree --no-net --pedantic "$work/root"
else
    echo "SKIPPED: validating the metainfo: appstreamcli is not installed"
fi
echo "installed tree complete"
