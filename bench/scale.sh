#!/usr/bin/env bash
# Times the main window at scale: the list operations on a million entries,
# the folder walk of a drop side by side with find, and start-up; prints the
# targets next to the medians measured.
#
# usage: bench/scale.sh [TREE]
#   TREE  a folder tree to walk (default /tmp/corpus-medium/tree); a tree of a
#         million empty files is walked as well, made once under EMPTY_ROOT
#   env TARNWICK_WINDOW_BENCH  the window driver (default build/bench/bench/tarnwick_window_bench)
#   env EMPTY_ROOT             where the empty tree lives (default /tmp/tarnwick-million-empty)
#   env ROUNDS                 interleaved rounds of the walks and start-ups, default 5
#   env LIST_ROUNDS            runs of the million-entry list operations, default 3
set -euo pipefail
export LC_ALL=C

if [ "$#" -gt 1 ]; then
    echo "usage: $0 [TREE]" >&2
    exit 2
fi
tree=$(cd "${1:-/tmp/corpus-medium/tree}" && pwd)
repo=$(cd "$(dirname "$0")/.." && pwd)
window=${TARNWICK_WINDOW_BENCH:-"$repo/build/bench/bench/tarnwick_window_bench"}
empty_root=${EMPTY_ROOT:-/tmp/tarnwick-million-empty}
rounds=${ROUNDS:-5}
list_rounds=${LIST_ROUNDS:-3}
entries=1000000

if [ ! -x "$window" ]; then
    echo "missing: $window" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 1000 folders of 1000 empty files; "complete" is written last, so an
# interrupted creation is finished by the next run.
make_empty_tree() {
    if [ -e "$empty_root/complete" ]; then
        return
    fi
    echo "creating $empty_root/tree (a million empty files)..." >&2
    python3 - "$empty_root/tree" <<'PY'
import os, sys
root = sys.argv[1]
for folder in range(1000):
    path = os.path.join(root, f"d{folder:03}")
    os.makedirs(path, exist_ok=True)
    for file in range(1000):
        open(os.path.join(path, f"f{file:03}.txt"), "a").close()
PY
    touch "$empty_root/complete"
}

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f\n", a / b }'; }

seconds_now() { date +%s.%N; }

elapsed_ms() { awk -v s="$1" -v e="$2" 'BEGIN { printf "%.1f\n", (e - s) * 1000 }'; }

# Appends the window's report of one lists run, as "ROW<TAB>ms<TAB>stall"
# lines and "ROW<TAB>MB" memory lines, to the collected runs.
collect_lists_run() {
    "$window" lists "$entries" 2>/dev/null | tee -a "$work/lists.raw" | awk '
        / MB resident/ { name = substr($0, 1, 34); sub(/ +$/, "", name); sub(/^ +/, "", name)
                         rss[name] = $(NF - 7); peak = $(NF - 1) }
        NF >= 3 && $(NF) ~ /^[0-9.]+$/ && $(NF - 1) ~ /^[0-9.]+$/ {
            name = substr($0, 1, 34); sub(/ +$/, "", name)
            print name "\t" $(NF - 1) "\t" $NF }
        END { for (n in rss) print n "\t" rss[n]; print "peak\t" peak }' >>"$work/lists.rows"
}

# The median of column (2: ms or MB, 3: stall) over the runs of row.
lists_median() {
    awk -F '\t' -v row="$1" -v column="$2" '$1 == row { print $column }' "$work/lists.rows" \
        >"$work/values"
    median "$work/values"
}

time_walk() {
    local label=$1 folder=$2 start end
    start=$(seconds_now)
    "$window" walk "$folder" >"$work/walk.out" 2>/dev/null
    end=$(seconds_now)
    elapsed_ms "$start" "$end" >>"$work/$label-walk-process"
    awk '$1 == "walk" { print $2 }' "$work/walk.out" >>"$work/$label-walk"
    awk '$1 == "longest-stall" { print $2 }' "$work/walk.out" >>"$work/$label-walk-stall"
    awk '$1 == "entries" { print $2 }' "$work/walk.out" >"$work/$label-walk-entries"
}

time_find() {
    local label=$1 folder=$2 start end
    start=$(seconds_now)
    find "$folder" -type f | wc -l >"$work/$label-find-entries"
    end=$(seconds_now)
    elapsed_ms "$start" "$end" >>"$work/$label-find"
}

time_startup() {
    "$window" startup --launched-at "$EPOCHREALTIME" 2>/dev/null >"$work/startup.out"
    awk '$1 == "from-launch" { print $2 }' "$work/startup.out" >>"$work/startup-launch"
    awk '$1 == "from-main" { print $2 }' "$work/startup.out" >>"$work/startup-main"
}

make_empty_tree
empty_tree="$empty_root/tree"

echo "warming the cache..." >&2
for folder in "$tree" "$empty_tree"; do
    find "$folder" -type f >/dev/null
    "$window" walk "$folder" >/dev/null 2>&1
done
"$window" startup >/dev/null 2>&1

for round in $(seq 1 "$rounds"); do
    echo "round $round of $rounds" >&2
    time_walk tree "$tree"
    time_find tree "$tree"
    time_walk empty "$empty_tree"
    time_find empty "$empty_tree"
    time_startup
done
for round in $(seq 1 "$list_rounds"); do
    echo "lists run $round of $list_rounds" >&2
    collect_lists_run
done

echo
echo "the last lists run as the window reported it:"
awk -v runs="$list_rounds" '/^shown window/ { run++ } run == runs' "$work/lists.raw"

echo
echo "walks, $rounds rounds, medians (walk: inside the window; process: the whole run)"
printf '%-8s %9s %9s %11s %10s %9s %8s %12s\n' tree entries "find -type f" "walk ms" \
    "process ms" "find ms" "walk/find" "stall ms"
for label in tree empty; do
    walk=$(median "$work/$label-walk")
    find_ms=$(median "$work/$label-find")
    printf '%-8s %9s %12s %9s %10s %9s %8s %12s\n' "$label" "$(cat "$work/$label-walk-entries")" \
        "$(cat "$work/$label-find-entries")" "$walk" "$(median "$work/$label-walk-process")" \
        "$find_ms" "$(ratio "$walk" "$find_ms")" "$(median "$work/$label-walk-stall")"
done
echo "(tree: $tree; empty: $empty_tree)"

launch=$(median "$work/startup-launch")
from_main=$(median "$work/startup-main")
tree_walk=$(ratio "$(median "$work/tree-walk")" "$(median "$work/tree-find")")
empty_walk=$(ratio "$(median "$work/empty-walk")" "$(median "$work/empty-find")")

row() {
    awk -v what="$1" -v target="$2" -v measured="$3" -v unit="$4" 'BEGIN {
        printf "%-46s %10s %10s %-6s %s\n", what, "<= " target, measured, unit,
            (measured + 0 <= target + 0) ? "met" : "NOT met"
    }'
}

echo
echo "targets, medians ($list_rounds lists runs of $entries entries, $rounds walks and start-ups)"
printf '%-46s %10s %10s %-6s %s\n' measure target measured unit verdict
row "load a list file of a million entries" 1000 "$(lists_median "load list file" 2)" ms
row "filter removing half" 300 "$(lists_median "filter removing half" 2)" ms
row "clear file list" 50 "$(lists_median "clear file list (button)" 2)" ms
row "save a million results (after the dialog)" 1000 \
    "$(lists_median "save results (after the dialog)" 2)" ms
row "copy a million results (until the message)" 1000 \
    "$(lists_median "copy results (until the message)" 2)" ms
row "resident, file list of a million entries" 250 \
    "$(lists_median "with the file list full" 2)" MB
row "resident, result list of a million entries" 250 \
    "$(lists_median "with the result list full" 2)" MB
row "peak resident over all the list operations" 250 "$(lists_median peak 2)" MB
row "longest stall, save (whole click)" 50 "$(lists_median "save results (whole click)" 3)" ms
row "longest stall, copy (whole click)" 50 "$(lists_median "copy results (whole click)" 3)" ms
row "longest stall, walk of $(basename "$(dirname "$tree")")/$(basename "$tree")" 50 \
    "$(median "$work/tree-walk-stall")" ms
row "longest stall, walk of a million empty files" 50 "$(median "$work/empty-walk-stall")" ms
row "walk / find -type f, $(basename "$(dirname "$tree")")/$(basename "$tree")" 3 "$tree_walk" x
row "walk / find -type f, a million empty files" 3 "$empty_walk" x
row "start-up to the painted window, from launch" 150 "$launch" ms
row "start-up to the painted window, from main" 150 "$from_main" ms
