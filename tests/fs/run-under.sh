#!/usr/bin/env bash
# Runs a test program under another file system or kernel condition:
#
#   run-under.sh fuse -- COMMAND...               temporary files on a bindfs pass-through
#   run-under.sh testfs -- COMMAND...             temporary files on the project's test file
#                                                 system, the program $TARNWICK_TESTFS
#   run-under.sh io-uring-refused -- COMMAND...   the program told to act as if the kernel
#                                                 refused io_uring
#   run-under.sh io-uring-disabled -- COMMAND...  io_uring disabled in the kernel for the run
#                                                 (for the whole machine)
#
# The tests make their files under TMPDIR (std::filesystem::temp_directory_path
# and QTemporaryDir follow it). When this machine cannot make the condition,
# prints "SKIPPED: <reason>" and exits 77.
set -euo pipefail

usage="usage: $0 fuse|testfs|io-uring-refused|io-uring-disabled -- COMMAND..."
[ $# -ge 3 ] && [ "$2" = "--" ] || { echo "$usage" >&2; exit 2; }
mode=$1
shift 2

# Below CTest's time limit, so that what was changed is always put back.
time_limit=240

skip() {
    echo "SKIPPED: $*"
    exit 77
}

require_fuse() {
    [ "$(id -u)" -eq 0 ] || skip "mounting with allow_other for the tests of other users needs the super-user"
    (exec 3<>/dev/fuse) 2>/dev/null || skip "/dev/fuse cannot be opened"
    command -v fusermount3 >/dev/null || skip "fusermount3 is missing (Debian package fuse3)"
}

mount_bindfs() {
    bindfs "$1" "$2"
}

mount_testfs() {
    "$TARNWICK_TESTFS" "$1" "$2" -o allow_other
}

# Mounts a fresh source folder with the function named first, and runs the
# rest with TMPDIR on the mount.
run_on_mount() {
    local mount=$1
    shift
    base=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-fs-XXXXXX")
    trap 'fusermount3 -u -z "$base/mount" 2>/dev/null || true; rm -rf "$base"' EXIT
    chmod 755 "$base"
    # As /tmp is: everyone may make files, each removes only their own.
    mkdir -m 1777 "$base/source" "$base/mount"
    $mount "$base/source" "$base/mount"
    local waited=0
    while [ "$(stat -c %d "$base/mount")" = "$(stat -c %d "$base")" ]; do
        [ $waited -lt 100 ] || { echo "run-under.sh: $base/mount did not mount" >&2; exit 1; }
        sleep 0.05
        waited=$((waited + 1))
    done
    TMPDIR="$base/mount" timeout --kill-after=10 $time_limit "$@"
}

case $mode in
    fuse)
        require_fuse
        command -v bindfs >/dev/null || skip "bindfs is missing (Debian package bindfs)"
        run_on_mount mount_bindfs "$@"
        ;;
    testfs)
        require_fuse
        [ -x "${TARNWICK_TESTFS:-}" ] || skip "the test file system is not built: TARNWICK_TESTFS='${TARNWICK_TESTFS:-}'"
        run_on_mount mount_testfs "$@"
        ;;
    io-uring-refused)
        TARNWICK_TEST_REFUSE_IO_URING=1 timeout --kill-after=10 $time_limit "$@"
        ;;
    io-uring-disabled)
        setting=/proc/sys/kernel/io_uring_disabled
        [ -e $setting ] || skip "this kernel has no kernel.io_uring_disabled (Linux 6.6 and later have it)"
        [ "$(id -u)" -eq 0 ] || skip "setting kernel.io_uring_disabled needs the super-user"
        # Runs of other builds wait here, so each puts back the value it found.
        exec 9>/tmp/tarnwick-io-uring-disabled.lock
        flock 9
        previous=$(cat $setting)
        trap 'echo "$previous" > '$setting EXIT
        echo 2 2>/dev/null > $setting || skip "kernel.io_uring_disabled cannot be written here"
        timeout --kill-after=10 $time_limit "$@"
        ;;
    *)
        echo "$usage" >&2
        exit 2
        ;;
esac
