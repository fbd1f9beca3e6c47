#!/usr/bin/env bash
# Times a full structure import of synthetic databases through cADODB.
#   bench/import_bench.sh [N ...]        (default: 2000 4000)
# Each database has N tables (10 columns, a primary key, one foreign key and one extra index
# per table) and N/10 views, in SQLite, PostgreSQL and MariaDB (servers of scripts/dbservers.sh).
# ENGINES="sqlite pg mariadb" selects the engines (default: sqlite pg); BUILD points at the
# build folder; REPEAT=n imports each database n times, in rounds (default 1), and keeps the
# median time; OLD=<build folder> times that build's dalv_bench_import (of an older commit) in
# the same rounds and says whether both wrote the same structure document; KEEP=1 keeps the
# server databases for the next run and reuses those already there.
# Printed per database: the time of each build and, on PostgreSQL, of `pg_dump -s` on the same
# database with the import's time as a multiple of it. Then, per engine, the time ratio of each
# size to the one before, and MariaDB's time as a multiple of PostgreSQL's for each size.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
BIN=$BUILD/bin/dalv_bench_import
ENGINES=${ENGINES:-"sqlite pg"}
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(2000 4000)
REPEAT=${REPEAT:-1}
OLD=${OLD:-}
KEEP=${KEEP:-}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dalvbench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# Always measure the current sources.
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$BUILD" dalv_bench_import >/dev/null
[ -z "$OLD" ] || [ -x "$OLD/bin/dalv_bench_import" ] || { echo "no $OLD/bin/dalv_bench_import" >&2; exit 2; }

declare -A MEDIAN  # "engine size label" -> median seconds

# The programs timed: "LABEL PATH" lines.
programs() {
  echo new "$BIN"
  [ -z "$OLD" ] || echo old "$OLD/bin/dalv_bench_import"
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
# seconds CMD...: how long the command takes; nothing when it fails.
seconds() {
  local start=$(date +%s%N)
  "$@" >/dev/null || return 0
  echo "$(( ($(date +%s%N) - start) / 1000000 ))" | awk '{printf "%.3f", $1 / 1000}'
}

# Imports REPEAT times with every program, in rounds, and on PostgreSQL runs pg_dump -s in the
# same rounds: timed <engine> <size> <connection string> <label> [database]
timed() {
  local engine=$1 n=$2 conn=$3 label=$4 db=${5:-} i line prog name
  declare -A times=()
  for ((i = 0; i < REPEAT; i++)); do
    while read -r name prog; do
      line=$("$prog" "$conn" "$label, $name" "$WORK/$engine-$n-$name.xml")
      echo "$line"
      # Seconds from the rate, which has more digits than the printed time.
      times[$name]+="$(sed -n 's/.* \([0-9]*\) tables, .* = \([0-9.]*\) tables\/s$/\1 \2/p' <<<"$line" |
        awk '$2 > 0 {printf "%.4f", $1 / $2}') "
    done < <(programs)
    [ "$engine" = pg ] && times[pg_dump]+="$(seconds pg_dump -s -d "$db") "
  done
  for name in "${!times[@]}"; do
    # shellcheck disable=SC2086
    MEDIAN["$engine $n $name"]=$(median ${times[$name]})
  done
  local summary="$label (median of $REPEAT): new ${MEDIAN["$engine $n new"]} s"
  [ -z "$OLD" ] || summary+=", old ${MEDIAN["$engine $n old"]} s"
  if [ "$engine" = pg ] && [ -z "${MEDIAN["$engine $n pg_dump"]:-}" ]; then
    summary+=", pg_dump -s failed"
  elif [ "$engine" = pg ]; then summary+=$(awk -v t="${MEDIAN["$engine $n new"]}" -v d="${MEDIAN["$engine $n pg_dump"]}" \
    'BEGIN {printf ", pg_dump -s %s s (the import %.2f times it)", d, (d > 0 ? t / d : 0)}'); fi
  echo "$summary"
  if [ -n "$OLD" ] && [ -f "$WORK/$engine-$n-old.xml" ]; then
    if cmp -s "$WORK/$engine-$n-new.xml" "$WORK/$engine-$n-old.xml"; then
      echo "$label: the same structure document as the old build"
    else
      echo "$label: the structure document differs from the old build's"
    fi
  fi
  rm -f "$WORK/$engine-$n-"*.xml
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
        if [ -n "$KEEP" ] && [ -n "${DALV_TEST_PG:-}" ] && pg_bench_kept "$n"; then
          :
        elif ! pg_bench_db "$n" "$WORK/schema_$n.sql"; then
          echo "PostgreSQL $n: no server, skipped"; continue
        fi
        timed pg "$n" "$BENCH_CONN" "PostgreSQL $n" "dalvbench_$n"
        [ -n "$KEEP" ] || pg_drop_bench_db "$n"
        ;;
      mariadb)
        if [ -z "${DALV_TEST_MARIADB:-}" ]; then
          eval "$(bash "$ROOT/scripts/dbservers.sh" start 2>/dev/null)" || true
        fi
        if [ -z "${DALV_TEST_MARIADB:-}" ]; then echo "MariaDB $n: no server, skipped"; continue; fi
        port=$(sed -n 's/.*Port=\([0-9]*\).*/\1/p' <<<"$DALV_TEST_MARIADB")
        my=(mariadb --no-defaults -h127.0.0.1 -P"$port" -udalvane -p'dalv;pw=1}')
        kept=$("${my[@]}" -N -e "SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = 'dalvbench_$n' AND TABLE_TYPE = 'BASE TABLE'")
        if [ -z "$KEEP" ] || [ "$kept" != "$n" ]; then
          "${my[@]}" -e "DROP DATABASE IF EXISTS dalvbench_$n; CREATE DATABASE dalvbench_$n"
          "${my[@]}" "dalvbench_$n" < "$WORK/schema_$n.sql"
        fi
        timed mariadb "$n" "${DALV_TEST_MARIADB/Database=dalvtest/Database=dalvbench_$n}" "MariaDB $n"
        [ -n "$KEEP" ] || "${my[@]}" -e "DROP DATABASE IF EXISTS dalvbench_$n"
        ;;
    esac
  done
done

for engine in $ENGINES; do
  prev=
  for n in "${SIZES[@]}"; do
    t=${MEDIAN["$engine $n new"]:-}
    [ -n "$t" ] || continue
    if [ -n "$prev" ]; then
      awk -v e="$engine" -v a="${prev% *}" -v b="$n" -v ta="${prev#* }" -v tb="$t" \
        'BEGIN {printf "%s: %d tables take %.2f times as long as %d\n", e, b, (ta > 0 ? tb / ta : 0), a}'
    fi
    prev="$n $t"
  done
done
for n in "${SIZES[@]}"; do
  my=${MEDIAN["mariadb $n new"]:-} pg=${MEDIAN["pg $n new"]:-}
  [ -n "$my" ] && [ -n "$pg" ] || continue
  awk -v n="$n" -v m="$my" -v p="$pg" 'BEGIN {printf "%d tables: MariaDB takes %.2f times as long as PostgreSQL\n", n, (p > 0 ? m / p : 0)}'
done
