#!/usr/bin/env bash
# Side-by-side timing of the content test and of the search through the main
# window against plain reading, grep and rg.
#
# usage: bench/compare.sh [--cold | --share LATENCY_US] CORPUS PHRASE
#        bench/compare.sh --walk FOLDER
#   CORPUS  an output folder of make-corpus.py (uses CORPUS/files.txt, CORPUS/tree)
#   --cold  also times plain reads with 2, 16 and 32 threads, rg and the window
#           with its default settings on a cold page cache, dropped before
#           every run of every tool (root only)
#   --share LATENCY_US  instead times, on the project's test file system with
#           that latency per look-up, open, read and listing over CORPUS/tree,
#           mounted anew before every run of every tool (root only): plain
#           reads with the look-up with 2, 16, 32 and 64 threads, rg -j2 and
#           -j16, grep -L and the window with its default settings, over the
#           first SHARE_FILES files of the list, and checks their answers
#   --walk FOLDER  instead times, on a warm cache, adding FOLDER's tree to the
#           window's file list as a drop of it does, beside fd (fdfind -u -t f,
#           left out when not installed) and find -type f listing its files, and
#           the window's own walk time, longest stall and GUI thread CPU time.
#           The counts differ by design: the window leaves out hidden folders
#           and names starting with "~", and takes links to files
#   env SHARE_FILES             files of the list searched on the share, default 3000
#   env SHARE_ROUNDS            interleaved rounds on the share, default 3
#   env TARNWICK_TESTFS         the test file system (default build/bench/tests/testfs/tarnwick_testfs)
#   env TARNWICK_BENCH_DRIVER   the search driver (default build/bench/bench/tarnwick_search_bench)
#   env TARNWICK_WINDOW_BENCH   the window driver (default build/bench/bench/tarnwick_window_bench)
#   env TARNWICK_WINDOW_BEFORE  another build of the window driver, such as that of the
#                               commit before a change: it runs beside the window with
#                               its default pool as "window-before", hot, cold, on a share
#                               and in --walk
#   env TARNWICK_CLI            the command line (default build/bench/src/cli/tarnwick-cli); when
#                               it exists it runs beside the others as "cli", and hot also
#                               with a second phrase to lack that no file holds ("cli-2")
#   env ROUNDS                  interleaved rounds, default 7 (also of --walk)
#   env COLD_ROUNDS             interleaved rounds on a cold cache, default 3
#
# Every tool runs once per round, in turn, on a warm cache; the table shows
# medians of whole-process wall times and ratios to the plain-read floor, to
# the engine alone and to rg (one thread, and one thread per core) of the same
# mode. "wN", "-jN" and "PN" mean one worker, thread or process per core;
# "read-match" is the threaded plain read that looks each path up first, as a
# search must so as never to open a device or a FIFO, and also looks for the
# phrase in each block with the engine's matcher: the floor of any search. A
# second table shows what the window itself measured inside those runs: the
# click until the run ended, the longest stall, the GUI thread's CPU time per
# entry and that of one bare yield to the event loop.
set -euo pipefail

cold=false
share_latency=""
walk_folder=""
if [ "${1:-}" = "--cold" ]; then
    cold=true
    shift
elif [ "${1:-}" = "--share" ] && [ "$#" -ge 2 ]; then
    share_latency=$2
    shift 2
elif [ "${1:-}" = "--walk" ] && [ "$#" -eq 2 ]; then
    walk_folder=$(cd "$2" && pwd)
    shift 2
fi
if [ -z "$walk_folder" ] && [ "$#" -ne 2 ]; then
    echo "usage: $0 [--cold | --share LATENCY_US] CORPUS PHRASE" >&2
    echo "       $0 --walk FOLDER" >&2
    exit 2
fi
if $cold && { [ "$(id -u)" -ne 0 ] || [ ! -w /proc/sys/vm/drop_caches ]; }; then
    echo "$0 --cold drops the page cache before every run, which needs root" >&2
    exit 2
fi
if [ -n "$share_latency" ] && [ "$(id -u)" -ne 0 ]; then
    echo "$0 --share mounts a FUSE file system anew before every run, which needs root" >&2
    exit 2
fi
repo=$(cd "$(dirname "$0")/.." && pwd)
window=${TARNWICK_WINDOW_BENCH:-"$repo/build/bench/bench/tarnwick_window_bench"}
window_before=${TARNWICK_WINDOW_BEFORE:-}
rounds=${ROUNDS:-7}

now() { date +%s.%N; }

# Runs a command with its output in $work/output and its errors in ERRORS,
# and adds its wall time in seconds to TIMES.
timed() {
    local times=$1 errors=$2 start end
    shift 2
    start=$(now)
    "$@" >"$work/output" 2>"$errors" || true
    end=$(now)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f\n", e - s }' >>"$times"
}

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b == "" || b == 0) print "-"; else printf "%.2f\n", a / b }'
}

# A folder tree: the window adding it, beside fd and find listing its files.
if [ -n "$walk_folder" ]; then
    if [ ! -x "$window" ]; then
        echo "missing: $window" >&2
        exit 1
    fi
    fd_program=$(command -v fdfind || command -v fd || true)
    walk_names=(window)
    [ -n "$window_before" ] && walk_names+=(window-before)
    [ -n "$fd_program" ] && walk_names+=(fd)
    walk_names+=(find)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    run_walk_tool() {
        case "$1" in
            window) "$window" walk "$walk_folder" ;;
            window-before) "$window_before" walk "$walk_folder" ;;
            fd) "$fd_program" -u -t f . "$walk_folder" ;;
            find) find "$walk_folder" -type f ;;
        esac
    }
    echo "warming the cache..."
    for name in "${walk_names[@]}"; do run_walk_tool "$name" >/dev/null 2>&1 || true; done
    for round in $(seq 1 "$rounds"); do
        echo "walk round $round of $rounds" >&2
        for name in "${walk_names[@]}"; do
            timed "$work/$name.times" /dev/null run_walk_tool "$name"
            case "$name" in
                window*)
                    for field in entries walk longest-stall gui-cpu; do
                        awk -v f="$field" '$1 == f { print $2 }' "$work/output" >>"$work/$name.$field"
                    done
                    ;;
                *) wc -l <"$work/output" >>"$work/$name.entries" ;;
            esac
        done
    done
    fd_seconds=""
    [ -n "$fd_program" ] && fd_seconds=$(median "$work/fd.times")
    find_seconds=$(median "$work/find.times")
    echo
    echo "walk of $walk_folder, $rounds rounds, $(nproc) cores, warm cache, medians;"
    echo "whole-process seconds (the window's include starting Qt and building the window)"
    [ -z "$fd_program" ] && echo "(fd is not installed: on Debian, the package fd-find)"
    printf '%-14s %8s %7s %8s %9s\n' tool seconds "vs fd" "vs find" entries
    for name in "${walk_names[@]}"; do
        seconds=$(median "$work/$name.times")
        printf '%-14s %8.3f %7s %8s %9s\n' "$name" "$seconds" "$(ratio "$seconds" "$fd_seconds")" \
            "$(ratio "$seconds" "$find_seconds")" "$(sort -u "$work/$name.entries" | tr '\n' ' ')"
    done
    echo
    echo "inside the window runs: the walk from the drop until the last row is shown, its"
    echo "longest stall of the event loop (median and longest of all rounds), the GUI thread's CPU time"
    printf '%-14s %8s %10s %10s %8s\n' tool "walk ms" "stall ms" "worst ms" "gui ms"
    for name in "${walk_names[@]}"; do
        case "$name" in
            window*)
                printf '%-14s %8.1f %10.1f %10.1f %8s\n' "$name" "$(median "$work/$name.walk")" \
                    "$(median "$work/$name.longest-stall")" \
                    "$(sort -g "$work/$name.longest-stall" | tail -n 1)" \
                    "$( [ -s "$work/$name.gui-cpu" ] && median "$work/$name.gui-cpu" || echo -)"
                ;;
        esac
    done
    exit 0
fi

corpus=$(cd "$1" && pwd)
phrase=$2
list="$corpus/files.txt"
tree="$corpus/tree"
driver=${TARNWICK_BENCH_DRIVER:-"$repo/build/bench/bench/tarnwick_search_bench"}
cli=${TARNWICK_CLI:-"$repo/build/bench/src/cli/tarnwick-cli"}
[ -x "$cli" ] || cli=""
# A phrase that no file of the corpus holds, so that both phrases are
# searched through every file that lacks the first.
readonly absent_phrase="Zebra Quokka Marmalade"
cold_rounds=${COLD_ROUNDS:-3}
cores=$(nproc)

for needed in "$list" "$tree" "$driver" "$window"; do
    if [ ! -e "$needed" ]; then
        echo "missing: $needed" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tr '\n' '\0' <"$list" >"$work/files0"

# A share: the corpus through the test file system with a latency per
# operation, mounted anew before every run so that nothing is cached.
if [ -n "$share_latency" ]; then
    testfs=${TARNWICK_TESTFS:-"$repo/build/bench/tests/testfs/tarnwick_testfs"}
    share_files=${SHARE_FILES:-3000}
    share_rounds=${SHARE_ROUNDS:-3}
    if [ ! -x "$testfs" ]; then
        echo "missing: $testfs" >&2
        exit 1
    fi
    mount="$work/share"
    mkdir "$mount"
    unmount_share() { fusermount3 -u -z "$mount" 2>/dev/null || true; }
    trap 'unmount_share; rm -rf "$work"' EXIT
    mount_share() {
        unmount_share
        "$testfs" "$tree" "$mount" --latency-us "$share_latency"
        until mountpoint -q "$mount"; do sleep 0.01; done
    }
    head -n "$share_files" "$list" | sed "s|^$tree/|$mount/|" >"$work/share-list"
    tr '\n' '\0' <"$work/share-list" >"$work/share-files0"
    share_names=(plain-j2 plain-j16 plain-j32 plain-j64 rg-j2 rg-j16 grep window)
    [ -n "$window_before" ] && share_names+=(window-before)
    [ -n "$cli" ] && share_names+=(cli)
    run_share_tool() {
        case "$1" in
            plain-j*) "$driver" "$work/share-list" "$phrase" --plain-read --lookup \
                --threads "${1#plain-j}" ;;
            rg-j*) xargs -0 rg --files-without-match -F -uuu -j"${1#rg-j}" -- "$phrase" \
                <"$work/share-files0" ;;
            grep) LC_ALL=C xargs -0 grep -L -F -- "$phrase" <"$work/share-files0" ;;
            window) "$window" search "$work/share-list" "$phrase" --print-results ;;
            window-before) "$window_before" search "$work/share-list" "$phrase" --print-results ;;
            cli) "$cli" --list "$work/share-list" -- "$phrase" ;;
        esac
    }
    # What each tool must answer: the engine's rules for the window, grep's
    # for grep and rg (which read non-text files too).
    head -n "$share_files" "$corpus/files.txt" | LC_ALL=C sort >"$work/share-subset"
    for rule in cs grepL-cs; do
        sed "s|^|$tree/|" "$corpus/expected-$rule.txt" | LC_ALL=C sort |
            LC_ALL=C comm -12 - "$work/share-subset" | sed "s|^$tree/|$mount/|" >"$work/expected-$rule"
    done
    for round in $(seq 1 "$share_rounds"); do
        echo "share round $round of $share_rounds" >&2
        for name in "${share_names[@]}"; do
            mount_share
            timed "$work/share-$name.times" "$work/errors" run_share_tool "$name"
            case "$name" in
                window*) awk '$1 == "click" { printf "%.4f\n", $2 / 1000 }' "$work/errors" \
                    >>"$work/share-$name.click" ;;
            esac
            case "$name" in
                window* | cli) expected=cs ;;
                rg-* | grep) expected=grepL-cs ;;
                *) continue ;;
            esac
            grep -v '^$' "$work/output" | LC_ALL=C sort >"$work/answer"
            if cmp -s "$work/answer" "$work/expected-$expected"; then
                echo "right" >>"$work/share-$name.answers"
            else
                echo "differs" >>"$work/share-$name.answers"
            fi
        done
    done
    unmount_share
    echo
    echo "share: the test file system with $share_latency us per operation over $corpus/tree,"
    echo "$share_files files, mounted anew before every run, $share_rounds rounds, medians;"
    echo "whole-process seconds, and for the window its click until the run ended"
    fastest=$(for name in plain-j2 plain-j16 plain-j32 plain-j64; do median "$work/share-$name.times"; done |
        sort -g | head -n 1)
    rg16=$(median "$work/share-rg-j16.times")
    printf '%-15s %8s %13s %10s %8s\n' tool seconds "vs fastest" "vs rg -j16" answers
    for name in "${share_names[@]}"; do
        seconds=$(median "$work/share-$name.times")
        label=$name
        case "$name" in
            window*)
                seconds=$(median "$work/share-$name.click")
                label="$name (click)"
                ;;
        esac
        answers="-"
        [ -f "$work/share-$name.answers" ] && answers=$(sort -u "$work/share-$name.answers" | tr '\n' ' ')
        printf '%-15s %8.3f %13s %10s %8s\n' "$label" "$seconds" "$(ratio "$seconds" "$fastest")" \
            "$(ratio "$seconds" "$rg16")" "$answers"
    done
    echo "(\"vs fastest\": against the fastest plain read with the look-up of this run;"
    echo " answers: the window against expected-cs.txt, rg and grep against expected-grepL-cs.txt;"
    echo " rg reads a UTF-16 file with a byte-order mark in its own encoding, so it can differ)"
    exit 0
fi

names=(plain-read plain-read-lookup plain-read-jN read-match-jN-cs read-match-jN-ci
    engine-cs engine-ci
    window-w1-cs window-w1-ci window-wN-cs window-wN-ci
    grep-cs grep-ci grep-PN-cs grep-PN-ci
    rg-j1-cs rg-j1-ci rg-jN-cs rg-jN-ci)
[ -n "$window_before" ] && names+=(window-before-wN-cs window-before-wN-ci)
[ -n "$cli" ] && names+=(cli-cs cli-ci cli-2-cs cli-2-ci)

grep_in_parallel() {
    LC_ALL=C xargs -0 -P "$cores" -n 1000 grep -L -F "$@" -- "$phrase" <"$work/files0"
}

run_tool() {
    case "$1" in
        plain-read) "$driver" "$list" "$phrase" --plain-read ;;
        plain-read-lookup) "$driver" "$list" "$phrase" --plain-read --lookup ;;
        plain-read-jN) "$driver" "$list" "$phrase" --plain-read --threads "$cores" ;;
        read-match-jN-cs)
            "$driver" "$list" "$phrase" --plain-read --threads "$cores" --lookup --match
            ;;
        read-match-jN-ci)
            "$driver" "$list" "$phrase" --plain-read --threads "$cores" --lookup --match \
                --ignore-case
            ;;
        engine-cs) "$driver" "$list" "$phrase" ;;
        engine-ci) "$driver" "$list" "$phrase" --ignore-case ;;
        window-w1-cs) "$window" search "$list" "$phrase" --workers 1 ;;
        window-w1-ci) "$window" search "$list" "$phrase" --workers 1 --ignore-case ;;
        window-wN-cs) "$window" search "$list" "$phrase" --workers 0 ;;
        window-wN-ci) "$window" search "$list" "$phrase" --workers 0 --ignore-case ;;
        window-before-wN-cs) "$window_before" search "$list" "$phrase" --workers 0 ;;
        window-before-wN-ci) "$window_before" search "$list" "$phrase" --workers 0 --ignore-case ;;
        cli-cs) "$cli" --list "$list" -- "$phrase" ;;
        cli-ci) "$cli" -i --list "$list" -- "$phrase" ;;
        cli-2-cs) "$cli" --list "$list" --lacking "$phrase" --lacking "$absent_phrase" ;;
        cli-2-ci) "$cli" -i --list "$list" --lacking "$phrase" --lacking "$absent_phrase" ;;
        grep-cs) LC_ALL=C grep -rL -F -- "$phrase" "$tree" ;;
        grep-ci) LC_ALL=C grep -rL -F -i -- "$phrase" "$tree" ;;
        grep-PN-cs) grep_in_parallel ;;
        grep-PN-ci) grep_in_parallel -i ;;
        rg-j1-cs) rg --files-without-match -F -uuu -j1 -- "$phrase" "$tree" ;;
        rg-j1-ci) rg --files-without-match -F -uuu -j1 -i -- "$phrase" "$tree" ;;
        rg-jN-cs) rg --files-without-match -F -uuu -j"$cores" -- "$phrase" "$tree" ;;
        rg-jN-ci) rg --files-without-match -F -uuu -j"$cores" -i -- "$phrase" "$tree" ;;
    esac
}

# The window reports its own click time, longest stall and GUI CPU time; keep them.
keep_window_report() {
    local name=$1 output=$2
    awk '$1 == "click" { print $2 }' "$output" >>"$work/$name.click"
    awk '$1 == "longest-stall" { print $2 }' "$output" >>"$work/$name.stall"
    awk '$1 == "gui-cpu-per-entry" { print $2 }' "$output" >>"$work/$name.gui"
    awk '$1 == "yield-cpu" { print $2 }' "$output" >>"$work/$name.yield"
}

time_tool() {
    timed "$work/$1.times" /dev/null run_tool "$1"
    case "$1" in window-*) keep_window_report "$1" "$work/output" ;; esac
}

median_ms() { median "$1" | awk '{ print $1 * 1000 }'; }

check_output() {
    local label=$1 mode=$2
    shift 2
    sed "s|^|$tree/|" "$corpus/expected-$mode.txt" | LC_ALL=C sort >"$work/expected-$mode"
    # A tool may end with a status that is not 0 and still give its whole list:
    # the command line gives 2 after a report, such as the list file's empty last line.
    { "$@" 2>/dev/null || true; } | LC_ALL=C sort >"$work/$label"
    if cmp -s "$work/expected-$mode" "$work/$label"; then
        echo "$label output equals expected-$mode.txt ($(wc -l <"$work/$label") files)"
    else
        echo "$label output DIFFERS from expected-$mode.txt"
        diff "$work/expected-$mode" "$work/$label" | head -5
    fi
}

echo "warming the cache..."
for name in "${names[@]}"; do run_tool "$name" >/dev/null 2>&1 || true; done

for round in $(seq 1 "$rounds"); do
    echo "round $round of $rounds" >&2
    for name in "${names[@]}"; do time_tool "$name"; done
done

floor=$(median "$work/plain-read.times")
lookup_floor=$(median "$work/plain-read-lookup.times")

echo
echo "corpus $corpus, phrase \"$phrase\", $rounds rounds, $cores cores, medians;"
echo "\"vs lookup\": against the plain read that looks each path up before opening it"
printf '%-19s %8s %9s %10s %10s %10s %10s\n' tool seconds "vs plain" "vs lookup" "vs engine" \
    "vs rg -j1" "vs rg -jN"
for name in "${names[@]}"; do
    seconds=$(median "$work/$name.times")
    engine="" rg1="" rgN=""
    case "$name" in
        *-cs | *-ci)
            mode=${name##*-}
            engine=$(median "$work/engine-$mode.times")
            rg1=$(median "$work/rg-j1-$mode.times")
            rgN=$(median "$work/rg-jN-$mode.times")
            ;;
    esac
    printf '%-19s %8.3f %9s %10s %10s %10s %10s\n' "$name" "$seconds" \
        "$(ratio "$seconds" "$floor")" "$(ratio "$seconds" "$lookup_floor")" \
        "$(ratio "$seconds" "$engine")" "$(ratio "$seconds" "$rg1")" "$(ratio "$seconds" "$rgN")"
done

if [ -n "$cli" ]; then
    echo
    echo "the command line, whole process: against the threaded plain read, that read with"
    echo "the look-up and looking for the phrase (the floor of any search), rg -jN, and one phrase"
    for mode in cs ci; do
        one=$(median "$work/cli-$mode.times")
        two=$(median "$work/cli-2-$mode.times")
        echo "cli-$mode: $(ratio "$one" "$(median "$work/plain-read-jN.times")")x plain-read-jN," \
            "$(ratio "$one" "$(median "$work/read-match-jN-$mode.times")")x read-match-jN-$mode," \
            "$(ratio "$one" "$(median "$work/rg-jN-$mode.times")")x rg-jN-$mode;" \
            "two phrases $(ratio "$two" "$one")x one"
    done
fi

echo
echo "inside the window runs (medians): the click on \"Start Searching\" until it returned,"
echo "that is the search without the benchmark building the window and filling its list;"
echo "the GUI thread's CPU time per entry, and that of one bare yield to the event loop"
printf '%-19s %9s %9s %10s %13s %13s %10s %13s %9s\n' tool "click ms" "stall ms" "vs engine" \
    "vs plain-jN" "vs match-jN" "vs rg -jN" "gui us/entry" "yield us"
for name in "${names[@]}"; do
    case "$name" in
        window-*)
            mode=${name##*-}
            click=$(median "$work/$name.click")
            printf '%-19s %9.1f %9.1f %10s %13s %13s %10s %13.2f %9.2f\n' "$name" "$click" \
                "$(median "$work/$name.stall")" \
                "$(ratio "$click" "$(median_ms "$work/engine-$mode.times")")" \
                "$(ratio "$click" "$(median_ms "$work/plain-read-jN.times")")" \
                "$(ratio "$click" "$(median_ms "$work/read-match-jN-$mode.times")")" \
                "$(ratio "$click" "$(median_ms "$work/rg-jN-$mode.times")")" \
                "$(median "$work/$name.gui")" "$(median "$work/$name.yield")"
            ;;
    esac
done

echo
check_output engine-cs cs "$driver" "$list" "$phrase"
check_output engine-ci ci "$driver" "$list" "$phrase" --ignore-case
for workers in 1 0; do
    check_output "window-w$workers-cs" cs \
        "$window" search "$list" "$phrase" --print-results --workers "$workers"
    check_output "window-w$workers-ci" ci \
        "$window" search "$list" "$phrase" --print-results --workers "$workers" --ignore-case
done
if [ -n "$cli" ]; then
    check_output cli-cs cs "$cli" --list "$list" -- "$phrase"
    check_output cli-ci ci "$cli" -i --list "$list" -- "$phrase"
    check_output cli-2-cs cs "$cli" --list "$list" --lacking "$phrase" --lacking "$absent_phrase"
fi
echo "(window-w0 is the default pool: one test per core, more while the storage is slow)"

if ! $cold; then
    exit 0
fi

# Cold cache: every run of every tool starts with the page cache dropped, so
# that every file comes from the storage.
cold_names=(plain-read-j2 plain-read-j16 plain-read-j32 rg window)
[ -n "$window_before" ] && cold_names+=(window-before)
[ -n "$cli" ] && cold_names+=(cli)

run_cold_tool() {
    case "$1" in
        plain-read-j*) "$driver" "$list" "$phrase" --plain-read --threads "${1#plain-read-j}" ;;
        rg) rg --files-without-match -F -uuu -- "$phrase" "$tree" ;;
        window) "$window" search "$list" "$phrase" ;;
        window-before) "$window_before" search "$list" "$phrase" ;;
        cli) "$cli" --list "$list" -- "$phrase" ;;
    esac
}

drop_page_cache() {
    sync
    echo 3 >/proc/sys/vm/drop_caches
}

for round in $(seq 1 "$cold_rounds"); do
    echo "cold round $round of $cold_rounds" >&2
    for name in "${cold_names[@]}"; do
        drop_page_cache
        timed "$work/cold-$name.times" /dev/null run_cold_tool "$name"
        case "$name" in
            window*)
                awk '$1 == "click" { printf "%.4f\n", $2 / 1000 }' "$work/output" >>"$work/cold-$name.click"
                awk '$1 == "results" { print $2 }' "$work/output" >>"$work/cold-$name.results"
                ;;
        esac
    done
done

echo
echo "cold page cache, $cold_rounds rounds, medians: whole-process seconds, and for the window"
echo "its click until the run ended (Qt's start from a cold disk is left out)"
cold_floor=$(median "$work/cold-plain-read-j32.times")
cold_rg=$(median "$work/cold-rg.times")
printf '%-15s %8s %14s %8s\n' tool seconds "vs plain-j32" "vs rg"
for name in "${cold_names[@]}"; do
    case "$name" in
        window*)
            seconds=$(median "$work/cold-$name.click")
            label="$name (click)"
            ;;
        *)
            seconds=$(median "$work/cold-$name.times")
            label=$name
            ;;
    esac
    printf '%-15s %8.3f %14s %8s\n' "$label" "$seconds" "$(ratio "$seconds" "$cold_floor")" \
        "$(ratio "$seconds" "$cold_rg")"
done
echo "window results on a cold cache: $(sort -u "$work/cold-window.results" | tr '\n' ' ')(expected-cs.txt has $(wc -l <"$corpus/expected-cs.txt"))"
