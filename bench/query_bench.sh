#!/usr/bin/env bash
# Times the query tool fetching and showing a large result.
#   bench/query_bench.sh [ROWS [ENGINE]]    ROWS (1000000) rows of 5 columns from sqlite (the
#                                           default), pg or mariadb
#   bench/query_bench.sh value MB [ENGINE]  one text value of MB MiB from sqlite (default), pg
#                                           or mariadb
# Rows: prints the time until the first 1,000 rows are in the grid, the time until the last one,
# and the peak memory; beside it the engine's own client (sqlite3, psql, mariadb) reading the
# same rows. Targets: first rows within 0.5 s, all rows within 2x the client.
# Value: prints the time until the value is fetched and its cell painted, and the peak memory.
# Targets: 100 MiB within 2 s, peak memory a small multiple of the value's size.
# REPEAT=k (default 3) runs each k times, in rounds, and prints the median of each figure, with
# the machine's load; OLD=<build folder> times that build's dalv_bench_query (of an older
# commit) in the same rounds.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
REPEAT=${REPEAT:-3}
OLD=${OLD:-}
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

# median N...: the middle one of the numbers.
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
# field TEXT WORDS: the number before WORDS in TEXT.
field() { sed -n "s/.*[ :]\([0-9.]*\) $2.*/\1/p" <<<"$1"; }
# bench_run LABEL PROGRAM ARGS...: one run, its printed line added to RUNS[LABEL].
declare -A RUNS
bench_run() { RUNS[$1]+="$("${@:2}" 2>/dev/null </dev/null)"$'\n'; }
# The programs timed: "LABEL PATH" lines.
programs() {
  echo new "$BUILD/bin/dalv_bench_query"
  [ -z "$OLD" ] || echo old "$OLD/bin/dalv_bench_query"
}
# The MariaDB server's client, as `my`.
mariadb_client() {
  server
  [ -n "${DALV_TEST_MARIADB:-}" ] || { echo "no MariaDB server" >&2; exit 1; }
  port=$(sed -n 's/.*Port=\([0-9]*\).*/\1/p' <<<"$DALV_TEST_MARIADB")
  my() { mariadb --no-defaults -h127.0.0.1 -P"$port" -udalvane -p'dalv;pw=1}' dalvtest "$@"; }
}

echo "load before: $(uptime | sed 's/.*load average: //')"
if [ "${1:-}" = value ]; then
  MB=${2:?value needs a size in MiB}
  ENGINE=${3:-sqlite}
  BYTES=$((MB * 1024 * 1024))
  case $ENGINE in
    sqlite)
      # Stored first, so that the time is the reading and showing, not the making.
      sqlite3 "$WORK/value.db" "CREATE TABLE v (body TEXT); INSERT INTO v SELECT substr(replace(hex(zeroblob($BYTES / 2)), '00', 'ab'), 1, $BYTES);"
      CONN="Driver=SQLite3;Database=$WORK/value.db"
      QUERY="SELECT body FROM v"
      ;;
    pg)
      pg_table dalvbench_value "body TEXT" "SELECT repeat('ab', $BYTES / 2)"
      QUERY="SELECT body FROM dalvbench_value"
      ;;
    mariadb)
      mariadb_client
      # The server's packet limit (16 MiB) would turn the value into NULL.
      my -e "SET GLOBAL max_allowed_packet = 1073741824"
      my -e "DROP TABLE IF EXISTS dalvbench_value; CREATE TABLE dalvbench_value (body LONGTEXT);
        INSERT INTO dalvbench_value SELECT repeat('ab', $BYTES / 2)"
      trap 'my -e "DROP TABLE IF EXISTS dalvbench_value"; rm -rf "$WORK"' EXIT
      CONN=$DALV_TEST_MARIADB
      QUERY="SELECT body FROM dalvbench_value"
      ;;
    *) echo "engine: sqlite, pg or mariadb" >&2; exit 2 ;;
  esac
  for ((r = 0; r < REPEAT; r++)); do
    while read -r label program; do bench_run "$label" "$program" "$CONN" "$QUERY" value; done < <(programs)
  done
  while read -r label program; do
    out=${RUNS[$label]}
    shown=(); peak=()
    while IFS= read -r line; do
      [ -n "$line" ] || continue
      shown+=("$(field "$line" 's,')"); peak+=("$(field "$line" MiB)")
    done <<<"$out"
    echo "$ENGINE, $MB MiB, $label (median of $REPEAT): value shown in $(median "${shown[@]}") s, peak memory $(median "${peak[@]}") MiB"
  done < <(programs)
  echo "load after: $(uptime | sed 's/.*load average: //')"
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
    mariadb_client
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
clients=()
for ((r = 0; r < REPEAT; r++)); do
  while read -r label program; do bench_run "$label" "$program" "$CONN" "$QUERY"; done < <(programs)
  clients+=("$(seconds client)")
done
client=$(median "${clients[@]}")
echo "$ENGINE, $ROWS rows, its client (median of $REPEAT): $client s"
while read -r label program; do
  out=${RUNS[$label]}
  first=(); all=(); peak=(); rows=
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    rows=$(sed -n 's/^rows \([0-9]*\):.*/\1/p' <<<"$line")
    first+=("$(field "$line" 's, all')"); all+=("$(field "$line" 's, peak')"); peak+=("$(field "$line" MiB)")
  done <<<"$out"
  a=$(median "${all[@]}")
  echo "$ENGINE, $ROWS rows, $label (median of $REPEAT): rows $rows, first 1000 rows $(median "${first[@]}") s," \
    "all rows $a s ($(awk -v a="$a" -v c="$client" 'BEGIN {printf "%.2f", a / c}')x the client), peak memory $(median "${peak[@]}") MiB"
done < <(programs)
echo "load after: $(uptime | sed 's/.*load average: //')"
