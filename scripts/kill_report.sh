#!/usr/bin/env bash
# Kills a batch HTML report run (kill -9) at many points while it replaces an earlier report of
# the same database, and checks after each kill that the report folder holds the whole earlier
# report or the whole new one, byte for byte against reference runs (dates aside), and that a
# rerun leaves the new report and no temporary file or staging folder.
#   scripts/kill_report.sh [N]          (default: 400 tables in the new report, N-40 in the old)
# KILLS (default 27) kill points are spread evenly over the length of one run. APP names the
# program folder (default: build/bin). Prints the kill points, how many left a mixed report and
# how many left temporary files before the rerun and after it; exits 1 on a mixed report or a
# leftover after a rerun.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
APP=${APP:-$ROOT/build/bin}
N=${1:-400}
KILLS=${KILLS:-27}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dalvkill-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

. "$ROOT/bench/bench_lib.sh"
export HOME=$WORK/home XDG_DATA_HOME=$WORK/home/.local/share XDG_CONFIG_HOME=$WORK/home/.config
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME"

# Two databases reported under one name: the new one has more tables, so pages differ in
# number and in content.
for n in $((N - 40)) "$N"; do
  schema_sql "$n" > "$WORK/schema_$n.sql"
  sqlite3 -bail "$WORK/db_$n.db" < "$WORK/schema_$n.sql"
done

# batch <database file> <report folder>: the batch document reporting it as HTML.
batch() {
  cat > "$WORK/run.xml" <<XML
<?xml version="1.0"?>
<DALVIMPORT><DATABASE><ENGINE>12</ENGINE><DATABASENAME>killed</DATABASENAME>
<CONNECTIONSTRING>Driver=SQLite3;Database=$1</CONNECTIONSTRING>
<REPORTS><REPORT Format="HTML" Path="$2/"/></REPORTS></DATABASE></DALVIMPORT>
XML
}
run() { DALVANE_APP_DIR=$APP "$APP/dalvane" "$WORK/run.xml" >/dev/null 2>&1; }

# normal <folder> <copy>: the folder's files with dates made equal.
normal() {
  rm -rf "$2"
  cp -a "$1" "$2"
  find "$2" -type f -exec sed -i -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2}[T ][0-9:]{8}/<date>/g' {} +
}
# leftovers <folder>: temporary files and staging folders in the folder, its tree or beside it.
leftovers() { find "$(dirname "$1")" -name '*.dvtmp~' | wc -l; }

mkdir -p "$WORK/out"
REPORT=$WORK/out/report
batch "$WORK/db_$((N - 40)).db" "$WORK/old"
run
batch "$WORK/db_$N.db" "$WORK/new"
start=$(date +%s%N)
run
length=$(( ($(date +%s%N) - start) / 1000000 ))
normal "$WORK/old" "$WORK/old.n"
normal "$WORK/new" "$WORK/new.n"
diff -rq "$WORK/old.n" "$WORK/new.n" >/dev/null && { echo "the two reports do not differ" >&2; exit 2; }

mixed=0 left=0 leftAfter=0 oldSeen=0 newSeen=0
batch "$WORK/db_$N.db" "$REPORT"
for ((k = 1; k <= KILLS; k++)); do
  rm -rf "$REPORT"
  find "$WORK/out" -mindepth 1 -maxdepth 1 -exec rm -rf {} +
  cp -a "$WORK/old" "$REPORT"
  DALVANE_APP_DIR=$APP "$APP/dalvane" "$WORK/run.xml" >/dev/null 2>&1 &
  pid=$!
  sleep "$(awk -v l="$length" -v k="$k" -v n="$KILLS" 'BEGIN { printf "%.3f", l * k / (n + 1) / 1000 }')"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  normal "$REPORT" "$WORK/now.n"
  if diff -rq "$WORK/old.n" "$WORK/now.n" >/dev/null; then
    oldSeen=$((oldSeen + 1))
  elif diff -rq "$WORK/new.n" "$WORK/now.n" >/dev/null; then
    newSeen=$((newSeen + 1))
  else
    mixed=$((mixed + 1))
    echo "kill point $k: neither the old report nor the new one" >&2
  fi
  [ "$(leftovers "$REPORT")" -eq 0 ] || left=$((left + 1))
  run || true
  normal "$REPORT" "$WORK/now.n"
  diff -rq "$WORK/new.n" "$WORK/now.n" >/dev/null || { echo "kill point $k: the rerun did not write the new report" >&2; mixed=$((mixed + 1)); }
  n=$(leftovers "$REPORT")
  [ "$n" -eq 0 ] || { leftAfter=$((leftAfter + 1)); echo "kill point $k: $n temporary files after the rerun" >&2; }
done
echo "$N tables, run ${length} ms: $KILLS kill points, $oldSeen old, $newSeen new, $mixed mixed;" \
  "temporary files left at $left kill points, after the rerun at $leftAfter"
[ "$mixed" -eq 0 ] && [ "$leftAfter" -eq 0 ]
