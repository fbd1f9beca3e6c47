#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/
# (or $BUILD_DIR) and runs every test there with the test database servers.
# Extra arguments go to ctest, e.g.  bash scripts/sanitize.sh -R test_core
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-asan}
JOBS=${JOBS:-$(nproc)}
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDALV_MIMALLOC=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
# Test discovery runs the executables at build time: no leak report there.
ASAN_OPTIONS=detect_leaks=0 cmake --build "$BUILD_DIR" -j"$JOBS"
# Findings inside system libraries are left out, each with its reason in the file.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1:suppressions=$PWD/scripts/asan.supp}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cleanup() { [ -f scripts/dbservers.sh ] && bash scripts/dbservers.sh stop || true; }
trap cleanup EXIT
if [ -f scripts/dbservers.sh ]; then
  # shellcheck disable=SC1090
  eval "$(bash scripts/dbservers.sh start)"
fi
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$JOBS" "$@"
