#!/usr/bin/env bash
# Times the batch run (dalvane <batch>.xml) of synthetic databases, one run per report format,
# and prints the wall time, the peak memory (/usr/bin/time -v) and the growth from each size to
# the one before.
#   bench/batch_bench.sh [N ...]        (default: 2000 4000 8000 16000 tables)
# FORMATS="HTML XML WORD SCRIPT" selects the reports (default: HTML XML WORD); SCRIPT times
# Generate SQL Script through dalv_bench_script (the script alone, not the structure import
# before it). ENGINES="sqlite pg" the databases (default: sqlite; pg uses the server of
# scripts/dbservers.sh). REPEAT=n runs every report n times, in rounds over all sizes, and
# keeps the median time (this machine's run-to-run noise is 10-25%) and the largest peak. The
# schema is the one of bench/bench_lib.sh; NAMELEN=n pads every table name to n characters
# (SQLite). BUILD points at the build folder (default build/); DALVANE at another program to
# time, SCRIPTBENCH at its dalv_bench_script (the build is then left alone). BESIDE names a
# second program (dalvane, its dalv_bench_script beside it) timed in the same rounds, every run
# of it next to the same run of the first, and printed beside it (new/old). Reports are
# written under OUTDIR, by default a
# memory file system (/dev/shm) where there is one: on an ext4 file system without a journal,
# creating files is slow for up to six minutes after thousands were deleted anywhere nearby (new
# inodes skip the recently deleted ones), and an HTML run would time that instead of the program.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(2000 4000 8000 16000)
FORMATS=${FORMATS:-"HTML XML WORD"}
NAMELEN=${NAMELEN:-0}
ENGINES=${ENGINES:-sqlite}
REPEAT=${REPEAT:-1}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dalvbatchbench-XXXXXX")
OUTDIR=${OUTDIR:-}
[ -n "$OUTDIR" ] || { [ -d /dev/shm ] && [ -w /dev/shm ] && OUTDIR=/dev/shm; } || OUTDIR=$WORK
REPORTS=$(mktemp -d "$OUTDIR/dalvbatchreports-XXXXXX")
trap 'rm -rf "$WORK" "$REPORTS"' EXIT
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (package time)" >&2; exit 1; }

if [ -z "${DALVANE:-}" ]; then
  # Measure the current sources.
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  ninja -C "$BUILD" dalvane dalv_bench_script >/dev/null
  DALVANE=$BUILD/bin/dalvane
fi
SCRIPTBENCH=${SCRIPTBENCH:-$(dirname "$DALVANE")/dalv_bench_script}
PROGRAMS=(new)
declare -A DALVANE_OF=([new]=$DALVANE) SCRIPTBENCH_OF=([new]=$SCRIPTBENCH)
if [ -n "${BESIDE:-}" ]; then
  PROGRAMS+=(old)
  DALVANE_OF[old]=$BESIDE
  SCRIPTBENCH_OF[old]=$(dirname "$BESIDE")/dalv_bench_script
fi

. "$HERE/bench_lib.sh"

# A private home, so that the run neither reads nor writes the user's own settings.
REALHOME=$HOME
export HOME=$WORK/home XDG_DATA_HOME=$WORK/home/.local/share XDG_CONFIG_HOME=$WORK/home/.config
unset DISPLAY WAYLAND_DISPLAY

declare -A SECONDS_OF PEAK_OF  # "[old ]engine format size" -> seconds of every run, MB

# run <engine> <size> <connection string> <round> [old]: one batch run per format, of the
# program timed beside the first with old.
run() {
  local engine=$1 n=$2 conn=${3//&/&amp;} r=$4 prog=${5:-new} format batch out status wall peak secs files
  local tag= key DALVANE=${DALVANE_OF[${5:-new}]} SCRIPTBENCH=${SCRIPTBENCH_OF[${5:-new}]}
  [ "$prog" = new ] || tag="$prog "
  for format in $FORMATS; do
    batch=$WORK/batch_${engine}_${format}_$n.xml
    out=$REPORTS/report_${prog}_${engine}_${format}_${n}_$r
    rm -rf "$out"
    [ "$engine" != sqlite ] || cat "$WORK/bench_$n.db" > /dev/null
    if [ "$format" = SCRIPT ]; then
      mkdir -p "$out"
      status=0
      /usr/bin/time -v -o "$WORK/time.txt" "$SCRIPTBENCH" "$3" "$out/script.sql" >"$WORK/out.txt" 2>"$WORK/err.txt" || status=$?
      secs=$(sed -n 's/^script: ok, .* in \([0-9.]*\) s (.*$/\1/p' "$WORK/out.txt")
      peak=$(awk '/Maximum resident set size/ {printf "%d", $NF / 1024}' "$WORK/time.txt")
      printf '%s%-6s %-6s %6d tables: %8.2f s %6d MB (exit %d, %s)\n' "$tag" "$engine" "$format" "$n" "${secs:-0}" "$peak" "$status" "$(cat "$WORK/out.txt")"
      [ "$status" -eq 0 ] && [ -n "$secs" ] || { cat "$WORK/out.txt" "$WORK/err.txt" >&2; exit 1; }
      key="$tag$engine $format $n"
      SECONDS_OF[$key]+="$secs "
      [ "${PEAK_OF[$key]:-0}" -ge "$peak" ] || PEAK_OF[$key]=$peak
      continue
    fi
    cat > "$batch" <<XML
<?xml version="1.0"?>
<DALVIMPORT>
  <DATABASE>
    <ENGINE>12</ENGINE>
    <DATABASENAME>bench$n</DATABASENAME>
    <CONNECTIONSTRING>${conn//</&lt;}</CONNECTIONSTRING>
    <REPORTS><REPORT Format="$format" Path="$out/"/></REPORTS>
  </DATABASE>
</DALVIMPORT>
XML
    # The database file is read into the page cache first (above): this machine's memory
    # reclaim drops cold file pages between runs, and a run would then time the disk.
    status=0
    /usr/bin/time -v -o "$WORK/time.txt" "$DALVANE" "$batch" >"$WORK/out.txt" 2>"$WORK/err.txt" || status=$?
    wall=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$WORK/time.txt")
    secs=$(awk -F: '{s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; printf "%.2f", s}' <<<"$wall")
    peak=$(awk '/Maximum resident set size/ {printf "%d", $NF / 1024}' "$WORK/time.txt")
    files=$(find "$out" -type f \( -name '*.html' -o -name '*.xml' -o -name '*.docx' \) 2>/dev/null | wc -l)
    printf '%s%-6s %-6s %6d tables: %8.2f s %6d MB (exit %d, %d files)\n' "$tag" "$engine" "$format" "$n" "$secs" "$peak" "$status" "$files"
    [ "$status" -eq 0 ] || { cat "$WORK/out.txt" "$WORK/err.txt" >&2; exit 1; }
    key="$tag$engine $format $n"
    SECONDS_OF[$key]+="$secs "
    [ "${PEAK_OF[$key]:-0}" -ge "$peak" ] || PEAK_OF[$key]=$peak
    # Reports stay until the end: ext4 finds inodes slowly just after thousands of files are
    # deleted, and a run right after such a deletion would measure that instead.
  done
}

# Every database is made first; each round then runs every size once. This machine has slow
# spells that last a minute or more, so repeats of one size in a row would share one.
declare -A CONN_OF  # "engine size" -> connection string
for n in "${SIZES[@]}"; do
  schema_sql "$n" "$NAMELEN" > "$WORK/schema_$n.sql"
  for engine in $ENGINES; do
    if ! bench_db "$engine" "$n" "$WORK/schema_$n.sql" "$WORK"; then echo "$engine $n: no server, skipped"; continue; fi
    CONN_OF["$engine $n"]=$BENCH_CONN
  done
  rm -f "$WORK/schema_$n.sql"
done
for ((round = 1; round <= REPEAT; round++)); do
  for n in "${SIZES[@]}"; do
    for engine in $ENGINES; do
      [ -n "${CONN_OF["$engine $n"]:-}" ] || continue
      # The two programs take turns first, so neither always runs on a warmer machine.
      order=("${PROGRAMS[@]}")
      ((round % 2 == 0 && ${#order[@]} == 2)) && order=(old new)
      for prog in "${order[@]}"; do run "$engine" "$n" "${CONN_OF["$engine $n"]}" "$round" "$prog"; done
    done
  done
done
for n in "${SIZES[@]}"; do
  for engine in $ENGINES; do
    [ -z "${CONN_OF["$engine $n"]:-}" ] || bench_db_drop "$engine" "$n" "$WORK"
  done
done

# median <seconds ...>
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

echo
printf '%-4s %-6s %-6s %8s %10s %7s %8s %7s\n' prog engine kind tables median growth peak-MB growth
for prog in "${PROGRAMS[@]}"; do
  tag=
  [ "$prog" = new ] || tag="$prog "
  for engine in $ENGINES; do
    for format in $FORMATS; do
      prev=
      for n in "${SIZES[@]}"; do
        [ -n "${SECONDS_OF["$tag$engine $format $n"]:-}" ] || continue
        # shellcheck disable=SC2086
        t=$(median ${SECONDS_OF["$tag$engine $format $n"]})
        m=${PEAK_OF["$tag$engine $format $n"]}
        awk -v g="$prog" -v e="$engine" -v f="$format" -v n="$n" -v t="$t" -v m="$m" -v p="$prev" 'BEGIN {
          split(p, q, " ")
          if (p == "") printf "%-4s %-6s %-6s %8d %10.2f %7s %8d %7s\n", g, e, f, n, t, "", m, ""
          else printf "%-4s %-6s %-6s %8d %10.2f %6.2fx %8d %6.2fx\n", g, e, f, n, t, (q[1] > 0 ? t / q[1] : 0), m, (q[2] > 0 ? m / q[2] : 0)
        }'
        prev="$t $m"
      done
    done
    # The Word report against the HTML report of the same database.
    if [[ " $FORMATS " == *" WORD "* && " $FORMATS " == *" HTML "* ]]; then
      for n in "${SIZES[@]}"; do
        [ -n "${SECONDS_OF["$tag$engine WORD $n"]:-}" ] || continue
        # shellcheck disable=SC2086
        awk -v g="$prog" -v e="$engine" -v n="$n" -v w="$(median ${SECONDS_OF["$tag$engine WORD $n"]})" \
          -v h="$(median ${SECONDS_OF["$tag$engine HTML $n"]})" \
          'BEGIN {printf "%-4s %-6s WORD/HTML %6d tables: %.2fx\n", g, e, n, (h > 0 ? w / h : 0)}'
      done
    fi
  done
done
