#!/usr/bin/env bash
# Times the batch run (dalvane <batch>.xml) of a synthetic SQLite database with an HTML report.
#   bench/batch_bench.sh [N ...]        (default: 2000 tables)
# The schema is the one of bench/import_bench.sh. BUILD points at the build folder (default
# build/); DALVANE at another program to time.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
DALVANE=${DALVANE:-$BUILD/bin/dalvane}
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(2000)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dalvbatchbench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# Always measure the current sources.
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$BUILD" dalvane >/dev/null

# schema_sql N: the synthetic schema generator of the import benchmark.
eval "$(sed -n '/^schema_sql() {/,/^}/p' "$HERE/import_bench.sh")"
declare -F schema_sql >/dev/null || { echo "schema_sql not found in import_bench.sh" >&2; exit 1; }

# A private home, so that the run neither reads nor writes the user's own settings.
export HOME=$WORK/home XDG_DATA_HOME=$WORK/home/.local/share XDG_CONFIG_HOME=$WORK/home/.config
unset DISPLAY WAYLAND_DISPLAY

for n in "${SIZES[@]}"; do
  db=$WORK/bench_$n.db
  schema_sql "$n" | sqlite3 "$db"
  cat > "$WORK/batch_$n.xml" <<XML
<?xml version="1.0"?>
<DALVIMPORT>
  <DATABASE>
    <ENGINE>12</ENGINE>
    <DATABASENAME>bench$n</DATABASENAME>
    <CONNECTIONSTRING>Driver=SQLite3;Database=$db</CONNECTIONSTRING>
    <REPORTS><REPORT Format="HTML" Path="$WORK/report_$n/"/></REPORTS>
  </DATABASE>
</DALVIMPORT>
XML
  start=$(date +%s%N)
  status=0
  "$DALVANE" "$WORK/batch_$n.xml" >"$WORK/out_$n.txt" 2>"$WORK/err_$n.txt" || status=$?
  end=$(date +%s%N)
  pages=$(find "$WORK/report_$n" -maxdepth 1 -name '*.html' | wc -l)
  ms=$(((end - start) / 1000000))
  printf 'SQLite %d tables, HTML report: %d.%01d s (exit %d, %d pages)\n' "$n" $((ms / 1000)) $((ms % 1000 / 100)) "$status" "$pages"
  [ "$status" -eq 0 ] || { cat "$WORK/out_$n.txt" "$WORK/err_$n.txt" >&2; exit 1; }
done
