#!/usr/bin/env bash
# The command line under wine with a Greek file name: on a console (a
# pseudo-terminal) and redirected to a file, it lists the file that lacks the
# phrase, by its name in UTF-8, and not the one that holds it.
#
# usage: cli_console_test.sh PROGRAM
set -euo pipefail
program_file=$1
source "$(dirname "$0")/../install/session.sh"
source "$(dirname "$0")/wine_session.sh"
need_tools wine wineboot winepath script
start_wine

mkdir "$work/files"
printf 'hay and straw\n' >"$work/files/Ωμέγα.txt"
printf 'a needle here\n' >"$work/files/needle.txt"
folder=$(windows_path "$work/files")
expected="$folder\\Ωμέγα.txt"

script -q -e -c "wine '$program_file' needle '$folder'" "$work/console.log" >/dev/null ||
    fail "on a console: exit status $? ($(cat -v "$work/console.log"))"
grep -qF "$expected" "$work/console.log" || fail "on a console: $(cat -v "$work/console.log")"
! grep -q needle.txt "$work/console.log" || fail "on a console, the file with the phrase is listed"

wine "$program_file" needle "$folder" >"$work/redirected.txt" 2>"$work/errors.txt" ||
    fail "redirected: exit status $? ($(cat "$work/errors.txt"))"
[ "$(tr -d '\r' <"$work/redirected.txt")" = "$expected" ] ||
    fail "redirected: $(od -c "$work/redirected.txt" | head -5)"
