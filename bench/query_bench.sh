#!/usr/bin/env bash
# Times the query tool fetching and showing a large result.
#   bench/query_bench.sh [ROWS]             1000000 rows of 5 columns from SQLite (the default)
#   bench/query_bench.sh value MB [ENGINE]  one text value of MB MiB from sqlite (default) or pg
# Rows: prints the time until the first 1,000 rows are in the grid, the time until the last one,
# and the peak memory. Targets: first rows within 0.5 s, all rows within 10 s, under 1 GiB.
# Value: prints the time until the value is fetched and its cell painted, and the peak memory.
# Targets: 100 MiB within 2 s, peak memory a small multiple of the value's size.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dalvbench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# Always measure the current sources.
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$BUILD" dalv_bench_query >/dev/null

if [ "${1:-}" = value ]; then
  MB=${2:?value needs a size in MiB}
  ENGINE=${3:-sqlite}
  BYTES=$((MB * 1024 * 1024))
  case $ENGINE in
    sqlite)
      # Stored first, so that the time is the reading and showing, not the making.
      sqlite3 "$WORK/value.db" "CREATE TABLE v (body TEXT); INSERT INTO v SELECT substr(replace(hex(zeroblob($BYTES / 2)), '00', 'ab'), 1, $BYTES);"
      CONN="Driver=SQLite3;Database=$WORK/value.db"
      ;;
    pg)
      source "$HERE/bench_lib.sh"
      if [ -z "${DALV_TEST_PG:-}" ]; then
        eval "$(HOME=${REALHOME:-$HOME} bash "$ROOT/scripts/dbservers.sh" start 2>/dev/null)" || true
      fi
      [ -n "${DALV_TEST_PG:-}" ] || { echo "no PostgreSQL server" >&2; exit 1; }
      port=$(sed -n 's/.*Port=\([0-9]*\).*/\1/p' <<<"$DALV_TEST_PG")
      export PGPASSWORD='dalv;pw=1}' PGHOST=127.0.0.1 PGPORT=$port PGUSER=dalvane
      psql -q -d postgres -c "SET client_min_messages = warning" -c "DROP TABLE IF EXISTS dalvbench_value" \
        -c "CREATE TABLE dalvbench_value (body TEXT)" \
        -c "INSERT INTO dalvbench_value SELECT repeat('ab', $BYTES / 2)" >/dev/null
      trap 'psql -q -d postgres -c "DROP TABLE IF EXISTS dalvbench_value" >/dev/null; rm -rf "$WORK"' EXIT
      CONN=$DALV_TEST_PG
      ;;
    *) echo "engine: sqlite or pg" >&2; exit 2 ;;
  esac
  case $ENGINE in
    sqlite) QUERY="SELECT body FROM v" ;;
    pg) QUERY="SELECT body FROM dalvbench_value" ;;
  esac
  echo "$ENGINE, $MB MiB: $("$BUILD/bin/dalv_bench_query" "$CONN" "$QUERY" value 2>/dev/null)"
  exit 0
fi

ROWS=${1:-1000000}
sqlite3 "$WORK/rows.db" <<SQL
CREATE TABLE big (id INTEGER PRIMARY KEY, qty INTEGER, price REAL, name VARCHAR(40), note TEXT);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $ROWS)
INSERT INTO big SELECT i, i % 1000, i * 0.25, 'name ' || i, 'a note for row ' || i FROM n;
SQL
"$BUILD/bin/dalv_bench_query" "Driver=SQLite3;Database=$WORK/rows.db" "SELECT id, qty, price, name, note FROM big"
