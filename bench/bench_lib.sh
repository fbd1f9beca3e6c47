# Shared by the bench scripts (sourced): the synthetic schema and the PostgreSQL bench
# databases. Needs ROOT (the source folder).

# schema_sql N [LENGTH]: N tables (10 columns, a primary key, one foreign key and one extra
# index per table) and N/10 views. t1 refers to itself, every later table to the one before.
# With LENGTH, every table name is padded to LENGTH characters (SQLite only: PostgreSQL cuts
# names at 63).
schema_sql() {
  local n=$1 length=${2:-0} i ref pad=
  ((length > 0)) && pad=_$(head -c "$length" /dev/zero | tr '\0' n)
  # name VARIABLE I: the name of table I.
  name() { if ((length > 0)); then printf -v "$1" '%.*s' "$length" "t$2$pad"; else printf -v "$1" 't%d' "$2"; fi; }
  local own other
  echo "BEGIN;"
  for ((i = 1; i <= n; i++)); do
    # Commit in batches: one transaction over thousands of tables exhausts the server's lock table.
    ((i % 250 == 0)) && printf 'COMMIT;\nBEGIN;\n'

    ref=$((i > 1 ? i - 1 : 1))
    name own "$i"
    name other "$ref"
    printf 'CREATE TABLE %s (id INTEGER PRIMARY KEY, ref_id INTEGER REFERENCES %s(id) ON DELETE CASCADE, ' "$own" "$other"
    printf "name VARCHAR(40) NOT NULL, qty INTEGER DEFAULT 0, price NUMERIC(10,2), born DATE, "
    printf "note VARCHAR(100) DEFAULT 'none', flag INTEGER NOT NULL DEFAULT 1, body TEXT, code VARCHAR(20));\n"
    printf 'CREATE INDEX ix_t%d_qty ON %s(qty);\n' "$i" "$own"
  done
  for ((i = 1; i <= n / 10; i++)); do
    name other $((i * 10))
    printf 'CREATE VIEW v%d AS SELECT id, name, qty FROM %s;\n' "$i" "$other"
  done
  echo "COMMIT;"
}

# pg_bench_db N SCHEMA_FILE: (re)creates database dalvbench_N from SCHEMA_FILE on the server of
# scripts/dbservers.sh, started when DALV_TEST_PG is not set, and sets BENCH_CONN to its
# connection string. Returns 1 when there is no server.
pg_bench_db() {
  local n=$1 schema=$2 port
  if [ -z "${DALV_TEST_PG:-}" ]; then
    eval "$(HOME=${REALHOME:-$HOME} bash "$ROOT/scripts/dbservers.sh" start 2>/dev/null)" || true
  fi
  [ -n "${DALV_TEST_PG:-}" ] || return 1
  port=$(sed -n 's/.*Port=\([0-9]*\).*/\1/p' <<<"$DALV_TEST_PG")
  export PGPASSWORD='dalv;pw=1}' PGHOST=127.0.0.1 PGPORT=$port PGUSER=dalvane
  psql -q -d postgres -c "SET client_min_messages = warning" -c "DROP DATABASE IF EXISTS dalvbench_$n" -c "CREATE DATABASE dalvbench_$n" >/dev/null
  psql -q -v ON_ERROR_STOP=1 -d "dalvbench_$n" -f "$schema" >/dev/null
  # The new catalogue is written out before anything is timed on it.
  psql -q -d "dalvbench_$n" -c "CHECKPOINT" >/dev/null 2>&1 || true
  sync
  BENCH_CONN=${DALV_TEST_PG/Database=postgres/Database=dalvbench_$n}
}

# pg_bench_kept N: like pg_bench_db, when database dalvbench_N is there already with its N
# tables; returns 1 otherwise.
pg_bench_kept() {
  local n=$1 port
  port=$(sed -n 's/.*Port=\([0-9]*\).*/\1/p' <<<"$DALV_TEST_PG")
  export PGPASSWORD='dalv;pw=1}' PGHOST=127.0.0.1 PGPORT=$port PGUSER=dalvane
  [ "$(psql -d "dalvbench_$n" -Atc "SELECT count(*) FROM pg_tables WHERE schemaname = 'public'" 2>/dev/null)" = "$n" ] || return 1
  BENCH_CONN=${DALV_TEST_PG/Database=postgres/Database=dalvbench_$n}
}

# pg_drop_bench_db N: removes what pg_bench_db N made.
pg_drop_bench_db() {
  psql -q -d postgres -c "DROP DATABASE IF EXISTS dalvbench_$1" >/dev/null
}

# bench_db ENGINE N SCHEMA_FILE FOLDER: makes the database of ENGINE (sqlite, in FOLDER, or pg)
# from SCHEMA_FILE, written out before anything is timed on it, and sets BENCH_CONN to its
# connection string. Returns 1 when there is no server.
bench_db() {
  case $1 in
    sqlite)
      rm -f "$4/bench_$2.db"
      sqlite3 -bail "$4/bench_$2.db" < "$3"
      sync
      BENCH_CONN="Driver=SQLite3;Database=$4/bench_$2.db"
      ;;
    pg) pg_bench_db "$2" "$3" ;;
  esac
}

# bench_db_drop ENGINE N FOLDER: removes what bench_db made.
bench_db_drop() {
  case $1 in
    sqlite) rm -f "$3/bench_$2.db" ;;
    pg) pg_drop_bench_db "$2" ;;
  esac
}
