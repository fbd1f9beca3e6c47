#!/usr/bin/env bash
# Times the query tool fetching and showing a large result.
#   bench/query_bench.sh [ROWS [ENGINE]]    ROWS (1000000) rows of 5 columns from sqlite (the
#                                           default), pg or mariadb
#   bench/query_bench.sh value MB [ENGINE]  one text value of MB MiB from sqlite (default) or pg
# Rows: prints the time until the first 1,000 rows are in the grid, the time until the last one,
# and the peak memory; beside it the engine's own client (sqlite3, psql, mariadb) reading the
# same rows. Targets: first rows within 0.5 s, all rows within 2x the client.
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

# The throw-away servers (started when not running yet).
server() {
  if [ -z "${DALV_TEST_PG:-}" ] || [ -z "${DALV_TEST_MARIADB:-}" ]; then
    eval "$(HOME=${REALHOME:-$HOME} bash "$ROOT/scripts/dbservers.sh" start 2>/dev/null)" || true
  fi
}
# psql's settings for the PostgreSQL server.
pg_client() {
  server
  [ -n "${DALV_TEST_PG:-}" ] || { echo "no PostgreSQL server" >&2; exit 1; }
  port=$(sed -n 's/.*Port=\([0-9]*\).*/\1/p' <<<"$DALV_TEST_PG")
  export PGPASSWORD='dalv;pw=1}' PGHOST=127.0.0.1 PGPORT=$port PGUSER=dalvane
}
# pg_table NAME COLUMNS ROWS: a table of the PostgreSQL server filled by the query ROWS, dropped
# at the end.
pg_table() {
  pg_client
  psql -q -d postgres -c "SET client_min_messages = warning" -c "DROP TABLE IF EXISTS $1" \
    -c "CREATE TABLE $1 ($2)" -c "INSERT INTO $1 $3" >/dev/null
  trap "psql -q -d postgres -c 'DROP TABLE IF EXISTS $1' >/dev/null; rm -rf '$WORK'" EXIT
  CONN=$DALV_TEST_PG
}

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
      pg_table dalvbench_value "body TEXT" "SELECT repeat('ab', $BYTES / 2)"
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
ENGINE=${2:-sqlite}
QUERY="SELECT id, qty, price, name, note FROM dalvbench_big"
# seconds CMD...: how long the command takes.
seconds() {
  local start=$(date +%s%N)
  "$@" >/dev/null
  echo "$(( ($(date +%s%N) - start) / 1000000 ))" | awk '{printf "%.3f", $1 / 1000}'
}
case $ENGINE in
  sqlite)
    sqlite3 "$WORK/rows.db" <<SQL
CREATE TABLE dalvbench_big (id INTEGER PRIMARY KEY, qty INTEGER, price REAL, name VARCHAR(40), note TEXT);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $ROWS)
INSERT INTO dalvbench_big SELECT i, i % 1000, i * 0.25, 'name ' || i, 'a note for row ' || i FROM n;
SQL
    CONN="Driver=SQLite3;Database=$WORK/rows.db"
    client() { sqlite3 "$WORK/rows.db" "$QUERY"; }
    ;;
  pg)
    pg_table dalvbench_big "id INTEGER PRIMARY KEY, qty INTEGER, price DOUBLE PRECISION, name VARCHAR(40), note TEXT" \
      "SELECT i, i % 1000, i * 0.25, 'name ' || i, 'a note for row ' || i FROM generate_series(1, $ROWS) i"
    client() { psql -q -d postgres -At -c "$QUERY"; }
    ;;
  mariadb)
    server
    [ -n "${DALV_TEST_MARIADB:-}" ] || { echo "no MariaDB server" >&2; exit 1; }
    port=$(sed -n 's/.*Port=\([0-9]*\).*/\1/p' <<<"$DALV_TEST_MARIADB")
    my() { mariadb --no-defaults -h127.0.0.1 -P"$port" -udalvane -p'dalv;pw=1}' dalvtest "$@"; }
    my -e "DROP TABLE IF EXISTS dalvbench_big;
      CREATE TABLE dalvbench_big (id INTEGER PRIMARY KEY, qty INTEGER, price DOUBLE, name VARCHAR(40), note TEXT);
      SET SESSION max_recursive_iterations = $ROWS + 1;
      INSERT INTO dalvbench_big WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $ROWS)
        SELECT i, i % 1000, i * 0.25, CONCAT('name ', i), CONCAT('a note for row ', i) FROM n;"
    trap 'my -e "DROP TABLE IF EXISTS dalvbench_big"; rm -rf "$WORK"' EXIT
    CONN=$DALV_TEST_MARIADB
    client() { my -N -B -e "$QUERY"; }
    ;;
  *) echo "engine: sqlite, pg or mariadb" >&2; exit 2 ;;
esac
echo "$ENGINE: $("$BUILD/bin/dalv_bench_query" "$CONN" "$QUERY" 2>/dev/null); its client $(seconds client) s"
