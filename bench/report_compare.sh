#!/usr/bin/env bash
# Renders the synthetic databases of bench/bench_lib.sh through the batch run twice, with
# the current program and with a reference, and compares the reports byte for byte: every
# HTML page, the XML report, the text of the Word document and the SQL script (Generate SQL
# Script, through dalv_bench_script where the program folder has it).
#   bench/report_compare.sh [N ...]        (default: 2000 tables)
# The reference is REFERENCE_APP, a program folder (dalvane beside its styles/), or else the
# current program with the style sheets of commit BASE (default: main). ENGINES="sqlite pg"
# selects the databases (default: sqlite; pg, whose keys are named, uses the server of
# scripts/dbservers.sh). NAMELEN=n pads every table name to n characters (SQLite).
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(2000)
BASE=${BASE:-main}
ENGINES=${ENGINES:-sqlite}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dalvcompare-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$BUILD" dalvane dalv_bench_script >/dev/null

if [ -n "${REFERENCE_APP:-}" ]; then
  REF=$REFERENCE_APP
else
  REF=$WORK/reference
  cp -r "$BUILD/bin" "$REF"
  rm -rf "$REF/styles"
  mkdir -p "$REF/styles"
  for f in $(git -C "$ROOT" ls-tree --name-only "$BASE" data/styles/); do
    git -C "$ROOT" show "$BASE:$f" > "$REF/styles/$(basename "$f")"
  done
fi

. "$HERE/bench_lib.sh"
REALHOME=$HOME
export HOME=$WORK/home XDG_DATA_HOME=$WORK/home/.local/share XDG_CONFIG_HOME=$WORK/home/.config
unset DISPLAY WAYLAND_DISPLAY

# render <program folder> <connection string> <n> <output folder>
render() {
  local app=$1 conn=${2//&/&amp;} n=$3 out=$4
  mkdir -p "$out"
  cat > "$out.batch.xml" <<XML
<?xml version="1.0"?>
<DALVIMPORT>
  <DATABASE>
    <ENGINE>12</ENGINE>
    <DATABASENAME>bench$n</DATABASENAME>
    <CONNECTIONSTRING>${conn//</&lt;}</CONNECTIONSTRING>
    <REPORTS>
      <REPORT Format="HTML" Path="$out/html/"/>
      <REPORT Format="XML" Path="$out/xml/"/>
      <REPORT Format="WORD" Path="$out/word/"/>
    </REPORTS>
  </DATABASE>
</DALVIMPORT>
XML
  DALVANE_APP_DIR=$app "$app/dalvane" "$out.batch.xml" >/dev/null 2>"$out.err" || { cat "$out.err" >&2; return 1; }
  (cd "$out/word" && for d in *.docx; do unzip -p "$d" word/document.xml > "$d.document.xml" && rm "$d"; done)
  if [ -x "$app/dalv_bench_script" ]; then
    DALVANE_APP_DIR=$app "$app/dalv_bench_script" "$2" "$out/script.sql" >/dev/null 2>"$out.err" || { cat "$out.err" >&2; return 1; }
  fi
  # The report's date and the program folder are all that may differ between two runs.
  find "$out" -type f -exec sed -i -E -e 's/[0-9]{4}-[0-9]{2}-[0-9]{2}[T ][0-9:]{8}/<date>/g' -e "s|$app/|<app>/|g" {} +
}

status=0
for n in "${SIZES[@]}"; do
  schema_sql "$n" "${NAMELEN:-0}" > "$WORK/schema_$n.sql"
  for engine in $ENGINES; do
    if ! bench_db "$engine" "$n" "$WORK/schema_$n.sql" "$WORK"; then echo "$engine $n: no server, skipped"; continue; fi
    conn=$BENCH_CONN
    ref=$WORK/ref_${engine}_$n new=$WORK/new_${engine}_$n
    render "$REF" "$conn" "$n" "$ref"
    render "$BUILD/bin" "$conn" "$n" "$new"
    pages=$(find "$new/html" -name '*.html' | wc -l)
    if diff -r -q "$ref" "$new" >"$WORK/diff.txt"; then
      echo "$engine $n tables: identical ($pages HTML pages, XML report, Word text$([ -f "$new/script.sql" ] && echo ", SQL script"))"
    else
      echo "$engine $n tables: DIFFERENT"
      head -20 "$WORK/diff.txt"
      status=1
    fi
    [ -z "${KEEP:-}" ] || cp -r "$ref" "$new" "$KEEP/"
    rm -rf "$ref" "$new"
    bench_db_drop "$engine" "$n" "$WORK"
  done
  rm -f "$WORK/schema_$n.sql"
done
exit $status
