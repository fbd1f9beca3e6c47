#!/usr/bin/env bash
# Installs what is missing, builds, starts the test database servers and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/setup-chromium.sh || echo "Chromium could not be installed: the HTML rendering test will be skipped."
bash scripts/setup-libreoffice.sh || echo "LibreOffice could not be installed: the Word conversion test will be skipped."
bash scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
# The benchmark programs are left out of the default build; they must build all the same.
cmake --build "$BUILD_DIR" --target dalv_bench_import dalv_bench_query dalv_bench_script dalv_bench_window dalv_bench_diagram
# No library may link back to one that links it.
python3 scripts/check_link_cycles.py "$BUILD_DIR"
cleanup() { [ -x scripts/dbservers.sh ] && bash scripts/dbservers.sh stop || true; }
trap cleanup EXIT
if [ -f scripts/dbservers.sh ]; then
  # shellcheck disable=SC1090
  eval "$(bash scripts/dbservers.sh start)"
fi
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" "$@"
