#!/usr/bin/env bash
# Times a full structure import of synthetic databases through cADODB.
#   bench/import_bench.sh [N ...]        (default: 2000 4000)
# Each database has N tables (10 columns, a primary key, one foreign key and one extra index
# per table) and N/10 views, in SQLite and in PostgreSQL (servers of scripts/dbservers.sh).
# ENGINES="sqlite pg mariadb" selects the engines (default: sqlite pg); BUILD points at the
# build folder; REPEAT=n imports each database n times (default 1) and keeps the median time.
# With several sizes, the time ratio of each size to the one before is printed per engine.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
BIN=$BUILD/bin/dalv_bench_import
ENGINES=${ENGINES:-"sqlite pg"}
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(2000 4000)
REPEAT=${REPEAT:-1}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dalvbench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# Always measure the current sources.
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$BUILD" dalv_bench_import >/dev/null

declare -A MEDIAN  # "engine size" -> median seconds

# Imports REPEAT times: timed <engine> <size> <connection string> <label>
timed() {
  local engine=$1 n=$2 conn=$3 label=$4 i line times=()
  for ((i = 0; i < REPEAT; i++)); do
    line=$("$BIN" "$conn" "$label")
    echo "$line"
    # Seconds from the rate, which has more digits than the printed time.
    times+=("$(sed -n 's/.* \([0-9]*\) tables, .* = \([0-9.]*\) tables\/s$/\1 \2/p' <<<"$line" |
      awk '$2 > 0 {printf "%.4f", $1 / $2}')")
  done
  MEDIAN["$engine $n"]=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
  [ "$REPEAT" -gt 1 ] && echo "$label: median ${MEDIAN["$engine $n"]} s of $REPEAT"
  return 0
}

# The synthetic schema: t1 refers to itself, every later table to the one before.
schema_sql() {
  local n=$1 i ref
  echo "BEGIN;"
  for ((i = 1; i <= n; i++)); do
    # Commit in batches: one transaction over thousands of tables exhausts the server's lock table.
    ((i % 250 == 0)) && printf 'COMMIT;\nBEGIN;\n'

    ref=$((i > 1 ? i - 1 : 1))
    printf 'CREATE TABLE t%d (id INTEGER PRIMARY KEY, ref_id INTEGER REFERENCES t%d(id) ON DELETE CASCADE, ' "$i" "$ref"
    printf "name VARCHAR(40) NOT NULL, qty INTEGER DEFAULT 0, price NUMERIC(10,2), born DATE, "
    printf "note VARCHAR(100) DEFAULT 'none', flag INTEGER NOT NULL DEFAULT 1, body TEXT, code VARCHAR(20));\n"
    printf 'CREATE INDEX ix_t%d_qty ON t%d(qty);\n' "$i" "$i"
  done
  for ((i = 1; i <= n / 10; i++)); do
    printf 'CREATE VIEW v%d AS SELECT id, name, qty FROM t%d;\n' "$i" $((i * 10))
  done
  echo "COMMIT;"
}

for n in "${SIZES[@]}"; do
  schema_sql "$n" > "$WORK/schema_$n.sql"
  for engine in $ENGINES; do
    case $engine in
      sqlite)
        dbfile=$WORK/bench_$n.db
        sqlite3 -bail "$dbfile" < "$WORK/schema_$n.sql"
        timed sqlite "$n" "Driver=SQLite3;Database=$dbfile" "SQLite $n"
        ;;
      pg)
        if [ -z "${DALV_TEST_PG:-}" ]; then
          eval "$(bash "$ROOT/scripts/dbservers.sh" start 2>/dev/null)" || true
        fi
        if [ -z "${DALV_TEST_PG:-}" ]; then echo "PostgreSQL $n: no server, skipped"; continue; fi
        port=$(sed -n 's/.*Port=\([0-9]*\).*/\1/p' <<<"$DALV_TEST_PG")
        export PGPASSWORD='dalv;pw=1}' PGHOST=127.0.0.1 PGPORT=$port PGUSER=dalvane
        psql -q -d postgres -c "SET client_min_messages = warning" -c "DROP DATABASE IF EXISTS dalvbench_$n" -c "CREATE DATABASE dalvbench_$n" >/dev/null
        psql -q -v ON_ERROR_STOP=1 -d "dalvbench_$n" -f "$WORK/schema_$n.sql" >/dev/null
        timed pg "$n" "${DALV_TEST_PG/Database=postgres/Database=dalvbench_$n}" "PostgreSQL $n"
        psql -q -d postgres -c "DROP DATABASE IF EXISTS dalvbench_$n" >/dev/null
        ;;
      mariadb)
        if [ -z "${DALV_TEST_MARIADB:-}" ]; then
          eval "$(bash "$ROOT/scripts/dbservers.sh" start 2>/dev/null)" || true
        fi
        if [ -z "${DALV_TEST_MARIADB:-}" ]; then echo "MariaDB $n: no server, skipped"; continue; fi
        port=$(sed -n 's/.*Port=\([0-9]*\).*/\1/p' <<<"$DALV_TEST_MARIADB")
        my=(mariadb --no-defaults -h127.0.0.1 -P"$port" -udalvane -p'dalv;pw=1}')
        "${my[@]}" -e "DROP DATABASE IF EXISTS dalvbench_$n; CREATE DATABASE dalvbench_$n"
        "${my[@]}" "dalvbench_$n" < "$WORK/schema_$n.sql"
        timed mariadb "$n" "${DALV_TEST_MARIADB/Database=dalvtest/Database=dalvbench_$n}" "MariaDB $n"
        "${my[@]}" -e "DROP DATABASE IF EXISTS dalvbench_$n"
        ;;
    esac
  done
done

for engine in $ENGINES; do
  prev=
  for n in "${SIZES[@]}"; do
    t=${MEDIAN["$engine $n"]:-}
    [ -n "$t" ] || continue
    if [ -n "$prev" ]; then
      awk -v e="$engine" -v a="${prev% *}" -v b="$n" -v ta="${prev#* }" -v tb="$t" \
        'BEGIN {printf "%s: %d tables take %.2f times as long as %d\n", e, b, (ta > 0 ? tb / ta : 0), a}'
    fi
    prev="$n $t"
  done
done
