#!/usr/bin/env bash
# Times Refresh of a connection from the main window (offscreen) and how alive the window stays.
#   bench/window_bench.sh [N ...]        (default: 3000)
# Each database is the synthetic SQLite schema of N tables (bench_lib.sh). Every round runs the
# command twice, with the window's event pump ("alive": pending events run at most every 50 ms)
# and without it ("frozen": no event runs during the command, as before the pump), and prints
# each run's time, event-loop turns (and their rate), the longest stretch without a turn and
# how often the progress bar and the status text were painted. REPEAT=n rounds (default 5);
# the medians and the cost of staying alive (alive / frozen) are printed per size.
# OLD=<build folder> times that build's dalv_bench_window (of an older commit) in the same
# rounds, as "old".
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
REPEAT=${REPEAT:-5}
OLD=${OLD:-}
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(3000)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dalvbench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# Always measure the current sources.
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$BUILD" dalv_bench_window >/dev/null

. "$HERE/bench_lib.sh"

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
field() { sed -n "s|.*$2.*|\1|p" <<<"$1"; }

for n in "${SIZES[@]}"; do
  db=$WORK/bench_$n.db
  schema_sql "$n" > "$WORK/schema_$n.sql"
  sqlite3 -bail "$db" "PRAGMA journal_mode=OFF;" >/dev/null
  sqlite3 -bail "$db" < "$WORK/schema_$n.sql"
  declare -A TIMES=() GAPS=() RATES=()
  for ((r = 0; r < REPEAT; r++)); do
    runs=("frozen $BUILD/bin/dalv_bench_window frozen" "alive $BUILD/bin/dalv_bench_window alive")
    [ -n "$OLD" ] && runs+=("old $OLD/bin/dalv_bench_window alive")
    for run in "${runs[@]}"; do
      read -r label program mode <<<"$run"
      line=$("$program" "$db" "$mode" 2>/dev/null </dev/null) || { echo "$label: failed: $line"; continue; }
      echo "$label: ${line#* }"
      TIMES[$label]+=" $(field "$line" 'in \([0-9.]*\) s,')"
      GAPS[$label]+=" $(field "$line" 'longest without one \([0-9.]*\) s')"
      RATES[$label]+=" $(field "$line" '(\([0-9.]*\)/s)')"
    done
  done
  for label in frozen alive old; do
    [ -n "${TIMES[$label]:-}" ] || continue
    # shellcheck disable=SC2086
    echo "$n tables, $label: median $(median ${TIMES[$label]}) s, $(median ${RATES[$label]}) turns/s," \
      "longest without a turn $(median ${GAPS[$label]}) s"
  done
  # shellcheck disable=SC2086
  awk -v a="$(median ${TIMES[alive]})" -v f="$(median ${TIMES[frozen]})" -v n="$n" \
    'BEGIN {printf "%d tables: alive takes %.1f%% %s than frozen\n", n, (a > f ? a / f - 1 : 1 - a / f) * 100, (a > f ? "longer" : "less")}'
  unset TIMES GAPS RATES
done
