#!/usr/bin/env bash
# Builds everything and runs every test: once in an optimised build, again
# under AddressSanitizer + UndefinedBehaviorSanitizer, and the threading tests
# under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh

JOBS="${JOBS:-2}"

echo "== optimised build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$JOBS"
ctest --test-dir build --output-on-failure -j"$JOBS"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARV_SANITIZE=address,undefined \
  -DQUARV_BENCH=OFF >/dev/null
cmake --build build-asan -j"$JOBS"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$JOBS"

echo "== ThreadSanitizer (threading tests)"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARV_SANITIZE=thread \
  -DQUARV_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$JOBS" --target threading_tests host_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -L thread
