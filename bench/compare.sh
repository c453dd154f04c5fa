#!/usr/bin/env bash
# Side-by-side timing of the content test against plain reading, grep and rg.
#
# usage: bench/compare.sh CORPUS PHRASE
#   CORPUS  an output folder of make-corpus.py (uses CORPUS/files.txt, CORPUS/tree)
#   env TARNWICK_BENCH_DRIVER  the search driver (default build/release/bench/tarnwick_search_bench)
#   env ROUNDS                 interleaved rounds, default 7
#
# Every tool runs once per round, in turn, on a warm cache; the table shows
# medians and ratios to the plain-read floor and to rg -j1 of the same mode.
set -euo pipefail

if [ "$#" -ne 2 ]; then
    echo "usage: $0 CORPUS PHRASE" >&2
    exit 2
fi
corpus=$(cd "$1" && pwd)
phrase=$2
list="$corpus/files.txt"
tree="$corpus/tree"
repo=$(cd "$(dirname "$0")/.." && pwd)
driver=${TARNWICK_BENCH_DRIVER:-"$repo/build/release/bench/tarnwick_search_bench"}
rounds=${ROUNDS:-7}

for needed in "$list" "$tree" "$driver"; do
    if [ ! -e "$needed" ]; then
        echo "missing: $needed" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

names=(plain-read engine-cs engine-ci grep-cs grep-ci rg-j1-cs rg-j1-ci)

run_tool() {
    case "$1" in
        plain-read) "$driver" "$list" "$phrase" --plain-read ;;
        engine-cs) "$driver" "$list" "$phrase" ;;
        engine-ci) "$driver" "$list" "$phrase" --ignore-case ;;
        grep-cs) LC_ALL=C grep -rL -F -- "$phrase" "$tree" ;;
        grep-ci) LC_ALL=C grep -rL -F -i -- "$phrase" "$tree" ;;
        rg-j1-cs) rg --files-without-match -F -uuu -j1 -- "$phrase" "$tree" ;;
        rg-j1-ci) rg --files-without-match -F -uuu -j1 -i -- "$phrase" "$tree" ;;
    esac
}

now() { date +%s.%N; }

time_tool() {
    local start end
    start=$(now)
    run_tool "$1" >/dev/null 2>&1 || true
    end=$(now)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f\n", e - s }' >>"$work/$1.times"
}

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

check_output() {
    local mode=$1 flag=$2
    sed "s|^|$tree/|" "$corpus/expected-$mode.txt" | LC_ALL=C sort >"$work/expected-$mode"
    # shellcheck disable=SC2086
    "$driver" "$list" "$phrase" $flag | LC_ALL=C sort >"$work/engine-$mode"
    if cmp -s "$work/expected-$mode" "$work/engine-$mode"; then
        echo "engine-$mode output equals expected-$mode.txt ($(wc -l <"$work/engine-$mode") files)"
    else
        echo "engine-$mode output DIFFERS from expected-$mode.txt"
        diff "$work/expected-$mode" "$work/engine-$mode" | head -5
    fi
}

echo "warming the cache..."
for name in "${names[@]}"; do run_tool "$name" >/dev/null 2>&1 || true; done

for round in $(seq 1 "$rounds"); do
    echo "round $round of $rounds" >&2
    for name in "${names[@]}"; do time_tool "$name"; done
done

floor=$(median "$work/plain-read.times")
rg_cs=$(median "$work/rg-j1-cs.times")
rg_ci=$(median "$work/rg-j1-ci.times")

echo
echo "corpus $corpus, phrase \"$phrase\", $rounds rounds, medians"
printf '%-12s %10s %10s %10s\n' tool seconds "vs plain" "vs rg -j1"
for name in "${names[@]}"; do
    seconds=$(median "$work/$name.times")
    case "$name" in
        *-cs) rg=$rg_cs ;;
        *-ci) rg=$rg_ci ;;
        *) rg="" ;;
    esac
    awk -v n="$name" -v s="$seconds" -v f="$floor" -v r="$rg" 'BEGIN {
        vs_rg = (r == "") ? "-" : sprintf("%.2f", s / r)
        printf "%-12s %10.3f %10.2f %10s\n", n, s, s / f, vs_rg
    }'
done
echo
check_output cs ""
check_output ci --ignore-case
