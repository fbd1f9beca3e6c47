#!/usr/bin/env bash
# Times a relationship diagram of N tables (default 500) through the diagram library: open with
# every table added, ReArrange with its save, Export; with the session's peak memory. Beside it,
# graphviz `dot -Tjpg` of the same tables and relations as the reference.
#   bench/diagram_bench.sh [N ...]     REPEAT=k runs each size k times and prints the median of
#   each figure (the machine is shared); GRAPHVIZ=0 leaves the reference out.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
REPEAT=${REPEAT:-1}
GRAPHVIZ=${GRAPHVIZ:-1}
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(500)

# Always measure the current sources.
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$BUILD" orbelle dalv_bench_diagram >/dev/null
export QT_QPA_PLATFORM=offscreen
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The bench's diagram as a graphviz graph: table_i with column_0..7, a key from table_i's
# column_1 to column_0 of table_((i-1)/2).
dot_graph() {
  local n=$1 i
  echo 'digraph bench { rankdir=LR; node [shape=record, fontname=Arial, fontsize=8];'
  for ((i = 0; i < n; i++)); do
    printf 'table_%d [label="{table_%d|<c0>column_0|<c1>column_1|column_2|column_3|column_4|column_5|column_6|column_7}"];\n' "$i" "$i"
    ((i > 0)) && printf 'table_%d:c1 -> table_%d:c0;\n' "$i" $(((i - 1) / 2))
  done
  echo '}'
}

# median N...: the middle one of the numbers (the lower middle of an even count).
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

for n in "${SIZES[@]}"; do
  opens=(); arranges=(); exports=(); rsss=(); status=ok
  for ((r = 0; r < REPEAT; r++)); do
    if ! /usr/bin/time -v -o "$WORK/time" "$BUILD/bin/dalv_bench_diagram" "$BUILD/bin/liborbelle.so" "$n" >"$WORK/out" 2>"$WORK/err"; then
      status="FAILED ($(head -c 300 "$WORK/err" | tr '\n' ' '))"
    fi
    line=$(cat "$WORK/out")
    o=$(sed -n 's/.*open \([0-9]*\) ms.*/\1/p' <<<"$line")
    a=$(sed -n 's/.*rearrange+save \([0-9]*\) ms.*/\1/p' <<<"$line")
    e=$(sed -n 's/.*export \([0-9]*\) ms.*/\1/p' <<<"$line")
    m=$(sed -n 's/.*Maximum resident set size (kbytes): \([0-9]*\).*/\1/p' "$WORK/time")
    [ -n "$o" ] || { echo "tables $n: no result: $(cat "$WORK/err")"; continue 2; }
    opens+=("$o"); arranges+=("$a"); exports+=("$e"); rsss+=("$m")
  done
  printf 'tables %d: open %d ms, rearrange+save %d ms, export %d ms, peak memory %d MB (%s, median of %d)\n' \
    "$n" "$(median "${opens[@]}")" "$(median "${arranges[@]}")" "$(median "${exports[@]}")" \
    $(($(median "${rsss[@]}") / 1024)) "$status" "$REPEAT"
  if [ "$GRAPHVIZ" = 1 ] && command -v dot >/dev/null; then
    dot_graph "$n" >"$WORK/g.dot"
    times=(); rsss=()
    for ((r = 0; r < REPEAT; r++)); do
      start=$(date +%s%N)
      /usr/bin/time -v -o "$WORK/time" dot -Tjpg -o "$WORK/g.jpg" "$WORK/g.dot" 2>/dev/null || true
      ms=$((($(date +%s%N) - start) / 1000000))
      m=$(sed -n 's/.*Maximum resident set size (kbytes): \([0-9]*\).*/\1/p' "$WORK/time")
      times+=("$ms"); rsss+=("$m")
    done
    printf 'tables %d: graphviz dot -Tjpg %d ms, peak memory %d MB\n' "$n" "$(median "${times[@]}")" $(($(median "${rsss[@]}") / 1024))
  fi
done
