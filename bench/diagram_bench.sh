#!/usr/bin/env bash
# Times a relationship diagram of N tables (default 500) through the diagram library: open with
# every table added, ReArrange with its save, Export.   bench/diagram_bench.sh [N ...]
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(500)

# Always measure the current sources.
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$BUILD" orbelle dalv_bench_diagram >/dev/null
export QT_QPA_PLATFORM=offscreen
for n in "${SIZES[@]}"; do
  "$BUILD/bin/dalv_bench_diagram" "$BUILD/bin/liborbelle.so" "$n"
done
