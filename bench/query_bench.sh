#!/usr/bin/env bash
# Times the query tool fetching and showing a large result from SQLite.
#   bench/query_bench.sh [ROWS]        (default: 1000000 rows of 5 columns)
# Prints the time until the first 1,000 rows are in the grid, the time until the last one,
# and the peak memory. Targets: first rows within 0.5 s, all rows within 10 s, under 1 GiB.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
ROWS=${1:-1000000}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dalvbench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# Always measure the current sources.
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$BUILD" dalv_bench_query >/dev/null

sqlite3 "$WORK/rows.db" <<SQL
CREATE TABLE big (id INTEGER PRIMARY KEY, qty INTEGER, price REAL, name VARCHAR(40), note TEXT);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $ROWS)
INSERT INTO big SELECT i, i % 1000, i * 0.25, 'name ' || i, 'a note for row ' || i FROM n;
SQL
"$BUILD/bin/dalv_bench_query" "Driver=SQLite3;Database=$WORK/rows.db" "SELECT id, qty, price, name, note FROM big"
