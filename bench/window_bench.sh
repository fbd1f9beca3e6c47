#!/usr/bin/env bash
# Times Refresh of a connection from the main window (offscreen) and how alive the window stays.
#   bench/window_bench.sh [N ...]        (default: 3000)
# Each database is the synthetic SQLite schema of N tables (bench_lib.sh). Every round runs the
# command twice, with the window's event pump ("alive": pending events run at most every 50 ms)
# and without it ("frozen": no event runs during the command, as before the pump), and prints
# each run's time, event-loop turns (and their rate), the longest stretch without a turn and
# how often the progress bar and the status text were painted, with the processor time beside
# the time (other work on the machine changes the time far more). REPEAT=n rounds (default 5);
# the medians and the cost of staying alive (alive against frozen, and the time the window's
# events took inside the command, which the machine's load hardly changes) are printed per size.
# OLD=<build folder> times that build's dalv_bench_window (of an older commit, where the window
# lets no event run) in the same rounds, as "old", and the cost of staying alive against it.
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
  declare -A TIMES=() CPUS=() GAPS=() RATES=() PUMPS=()
  for ((r = 0; r < REPEAT; r++)); do
    runs=("frozen $BUILD/bin/dalv_bench_window frozen" "alive $BUILD/bin/dalv_bench_window alive")
    [ -n "$OLD" ] && runs+=("old $OLD/bin/dalv_bench_window frozen")
    for run in "${runs[@]}"; do
      read -r label program mode <<<"$run"
      line=$("$program" "$db" "$mode" 2>/dev/null </dev/null) || { echo "$label: failed: $line"; continue; }
      echo "$label: ${line#* }"
      TIMES[$label]+=" $(field "$line" 'in \([0-9.]*\) s ')"
      CPUS[$label]+=" $(field "$line" 'processor \([0-9.]*\) s')"
      GAPS[$label]+=" $(field "$line" 'longest without one \([0-9.]*\) s')"
      RATES[$label]+=" $(field "$line" '(\([0-9.]*\)/s)')"
      PUMPS[$label]+=" $(field "$line" ', \([0-9.]*\) s in them')"
    done
  done
  for label in frozen alive old; do
    [ -n "${TIMES[$label]:-}" ] || continue
    # shellcheck disable=SC2086
    echo "$n tables, $label: median $(median ${TIMES[$label]}) s (processor $(median ${CPUS[$label]}) s)," \
      "$(median ${RATES[$label]}) turns/s," \
      "longest without a turn $(median ${GAPS[$label]}) s, events ran for $(median ${PUMPS[$label]}) s"
  done
  # compare LABEL: the medians of alive against LABEL's, in time and in processor time.
  compare() {
    # shellcheck disable=SC2086
    awk -v a="$(median ${TIMES[alive]})" -v f="$(median ${TIMES[$1]})" -v ca="$(median ${CPUS[alive]})" \
      -v cf="$(median ${CPUS[$1]})" -v n="$n" -v other="$1" 'BEGIN {
        printf "%d tables: alive against %s: time %+.1f%%, processor time %+.1f%%\n", n, other,
          (a / f - 1) * 100, (ca / cf - 1) * 100 }'
  }
  compare frozen
  [ -n "${TIMES[old]:-}" ] && compare old
  unset TIMES CPUS GAPS RATES PUMPS
done
