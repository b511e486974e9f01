#!/bin/sh
# Instruction counts of the access layer against raw SQLite, one process per side under callgrind,
# counting only the measured work (bench_sqlite_cost's benchMeasured, bench_sqlite_queue's benchWorker).
# Steady on a busy machine, where wall times are not.
#
#   bench/sqlite/callgrind.sh <build dir> [rows]
set -eu
build=${1:?usage: callgrind.sh <build dir> [rows]}
rows=${2:-20000}
bin="$build/bin/bench_sqlite_cost"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

count() { # case [program function count]
    valgrind --tool=callgrind "--toggle-collect=*${3:-benchMeasured}*" --callgrind-out-file="$out/$1.out" \
        "${2:-$bin}" "$1" "${4:-$rows}" >/dev/null 2>"$out/$1.err" || { cat "$out/$1.err" >&2; exit 2; }
    awk '/Collected :/ { print $NF; exit }' "$out/$1.err"
}

insert_raw=$(count insert-raw)
insert_layer=$(count insert-layer)
index_raw=$(count index-raw)
index_layer=$(count index-layer)
name_layer=$(count name-layer)
# 4 threads, a quarter of the rows each, one insert per statement.
queue_raw=$(count raw "$build/bin/bench_sqlite_queue" benchWorker $((rows / 4)))
queue_layer=$(count queue "$build/bin/bench_sqlite_queue" benchWorker $((rows / 4)))

status=0
line() { # work raw layer target
    awk -v w="$1" -v r="$2" -v l="$3" -v t="$4" 'BEGIN {
        ratio = l / r; printf "%-34s %14d %14d %8.3f %6.2f%s\n", w, r, l, ratio, t, (ratio <= t ? "" : "  MISSED");
        exit (ratio <= t ? 0 : 1) }' || status=1
}
printf '%-34s %14s %14s %8s %6s\n' "work ($rows rows)" "raw Ir" "layer Ir" "ratio" "target"
line "insert, one transaction" "$insert_raw" "$insert_layer" 1.15
line "point select, columns by index" "$index_raw" "$index_layer" 1.15
line "point select, columns by name" "$index_raw" "$name_layer" 1.30
line "4 threads inserting, queue" "$queue_raw" "$queue_layer" 1.30
exit $status
