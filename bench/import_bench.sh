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

. "$HERE/bench_lib.sh"

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
        if ! pg_bench_db "$n" "$WORK/schema_$n.sql"; then echo "PostgreSQL $n: no server, skipped"; continue; fi
        timed pg "$n" "$BENCH_CONN" "PostgreSQL $n"
        pg_drop_bench_db "$n"
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
