#!/usr/bin/env bash
# Starts (or stops) throw-away PostgreSQL and MariaDB servers on loopback for the tests.
#   bash scripts/dbservers.sh start   -> prints "export ..." lines with ODBC connection strings
#   bash scripts/dbservers.sh stop
# State lives under $DALV_DBSERVERS_DIR (default /tmp/dalvane-dbservers-$UID).
set -uo pipefail
ROOT=${DALV_DBSERVERS_DIR:-/tmp/dalvane-dbservers-$(id -u)}
PG_BIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
TEST_PASSWORD='dalv;pw=1}'

free_port() {
  local p
  for p in $(seq "$1" $(($1 + 200))); do
    (exec 3<>/dev/tcp/127.0.0.1/"$p") 2>/dev/null || { echo "$p"; return 0; }
  done
  return 1
}

# Runs a command as the given service user when we are root (servers refuse to run as root).
as_user() {
  local user=$1; shift
  if [ "$(id -u)" -eq 0 ]; then runuser -u "$user" -- "$@"; else "$@"; fi
}

start_pg() {
  [ -x "$PG_BIN/initdb" ] || { echo "# PostgreSQL not installed" >&2; return 1; }
  local dir=$ROOT/pg user=postgres
  [ "$(id -u)" -eq 0 ] || user=$(id -un)
  if [ ! -f "$dir/data/PG_VERSION" ]; then
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown "$user" "$dir"
    printf '%s\n' "$TEST_PASSWORD" > "$dir/pw"
    [ "$(id -u)" -eq 0 ] && chown "$user" "$dir/pw"
    as_user "$user" "$PG_BIN/initdb" -D "$dir/data" -U dalvane --pwfile="$dir/pw" \
      -A scram-sha-256 -E UTF8 >"$dir/initdb.log" 2>&1 || { echo "# initdb failed" >&2; return 1; }
  fi
  local port
  port=$(cat "$dir/port" 2>/dev/null || echo 55432)
  if ! as_user "$user" "$PG_BIN/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
    # The port of an earlier run may have been taken since by another server.
    port=$(free_port "$port") || { echo "# no free port for PostgreSQL" >&2; return 1; }
    echo "$port" > "$dir/port"
    # pg_dump -s locks every table at once: the benchmark's 16,000 tables need more lock
    # slots than the default 64 per connection give.
    as_user "$user" "$PG_BIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c max_locks_per_transaction=512" start >/dev/null 2>&1 \
      || { echo "# PostgreSQL did not start, see $dir/server.log" >&2; return 1; }
  fi
  echo "export DALV_TEST_PG='Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$port;Database=postgres;UID=dalvane;PWD={dalv;pw=1}}}'"
}

start_mariadb() {
  [ -x /usr/sbin/mariadbd ] || { echo "# MariaDB not installed" >&2; return 1; }
  local dir=$ROOT/mariadb user=mysql
  [ "$(id -u)" -eq 0 ] || user=$(id -un)
  local port
  mkdir -p "$dir"
  [ "$(id -u)" -eq 0 ] && chown "$user" "$dir"
  port=$(cat "$dir/port" 2>/dev/null || echo 53306)
  if [ ! -d "$dir/data/mysql" ]; then
    as_user "$user" mariadb-install-db --no-defaults --datadir="$dir/data" --auth-root-authentication-method=normal \
      --skip-test-db >"$dir/install.log" 2>&1 || { echo "# mariadb-install-db failed" >&2; return 1; }
  fi
  # A socket left by a server that died does not count as running.
  if [ -S "$dir/sock" ] && ! mariadb-admin --no-defaults -uroot --socket="$dir/sock" ping >/dev/null 2>&1; then
    rm -f "$dir/sock" "$dir/pid"
  fi
  if [ ! -S "$dir/sock" ]; then
    port=$(free_port "$port") || { echo "# no free port for MariaDB" >&2; return 1; }
    echo "$port" > "$dir/port"
    # setsid: the server outlives the shell (and its process group) that started it.
    as_user "$user" setsid /usr/sbin/mariadbd --no-defaults --datadir="$dir/data" --bind-address=127.0.0.1 \
      --port="$port" --socket="$dir/sock" --pid-file="$dir/pid" --skip-name-resolve \
      --log-error="$dir/server.log" >/dev/null 2>&1 &
    for _ in $(seq 1 60); do [ -S "$dir/sock" ] && break; sleep 0.5; done
    [ -S "$dir/sock" ] || { echo "# MariaDB did not start, see $dir/server.log" >&2; return 1; }
    mariadb --no-defaults -uroot --socket="$dir/sock" >/dev/null 2>&1 <<SQL || true
CREATE DATABASE IF NOT EXISTS dalvtest;
CREATE USER IF NOT EXISTS 'dalvane'@'127.0.0.1' IDENTIFIED BY 'dalv;pw=1}';
GRANT ALL ON *.* TO 'dalvane'@'127.0.0.1' WITH GRANT OPTION;
SQL
  fi
  echo "export DALV_TEST_MARIADB='Driver={MariaDB Unicode};Server=127.0.0.1;Port=$port;Database=dalvtest;UID=dalvane;PWD={dalv;pw=1}}}'"
}

stop_all() {
  local user=postgres
  [ "$(id -u)" -eq 0 ] || user=$(id -un)
  if [ -f "$ROOT/pg/data/PG_VERSION" ]; then
    as_user "$user" "$PG_BIN/pg_ctl" -D "$ROOT/pg/data" -m fast stop >/dev/null 2>&1 || true
  fi
  if [ -f "$ROOT/mariadb/pid" ]; then
    kill "$(cat "$ROOT/mariadb/pid")" 2>/dev/null || true
    for _ in $(seq 1 40); do [ -S "$ROOT/mariadb/sock" ] || break; sleep 0.25; done
  fi
}

case "${1:-}" in
  start) mkdir -p "$ROOT"; chmod 755 "$ROOT"; start_pg; start_mariadb; exit 0 ;;
  stop) stop_all ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
