#!/usr/bin/env bash
# Builds everything and runs every test: once in an optimised build, the
# Windows modules and their tests (cross-built, run under Wine), again under
# AddressSanitizer + UndefinedBehaviorSanitizer, the threading tests and a
# minute's soak under ThreadSanitizer, and the fuzzers (clang's libFuzzer)
# over their seed corpora and for a short while each. The editor's window
# tests run on an Xvfb of their own, started here once for all the builds.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh

JOBS="${JOBS:-2}"

# Whatever happens, the X server for the editor tests and (once started) the
# Windows tests' Wine session stop with this script.
XVFB_PID=""
WINE_STARTED=""
cleanup() {
  if [ -n "$WINE_STARTED" ]; then ./scripts/wine-run.sh --stop build-win/wine-prefix || true; fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  if [ -n "${XVFB_READY:-}" ]; then rm -f "$XVFB_READY"; fi
}
trap cleanup EXIT

# Xvfb says its display number on fd 3 once it accepts clients. -noreset:
# the tests open and close many connections, and a server that resets when
# the last one goes would lose the windows of the next.
XVFB_READY="$(mktemp)"
Xvfb -noreset -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$XVFB_READY" </dev/null >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do
  if [ -s "$XVFB_READY" ]; then break; fi
  sleep 0.1
done
if [ ! -s "$XVFB_READY" ]; then
  echo "test.sh: Xvfb did not start" >&2
  exit 1
fi
# Only the Linux test runs see it; the Wine session keeps its own X server.
EDITOR_DISPLAY=":$(head -n1 "$XVFB_READY" | tr -d '[:space:]')"

echo "== optimised build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$JOBS"
DISPLAY="$EDITOR_DISPLAY" ctest --test-dir build --output-on-failure -j"$JOBS"

echo "== Windows build (mingw-w64), its tests under Wine"
cmake -S . -B build-win --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUARV_LINUX_BUILD_DIR="$PWD/build" >/dev/null
cmake --build build-win -j"$JOBS"
# The tests' wineserver and X server stop with this script, however it ends.
WINE_STARTED=1
env -u DISPLAY ctest --test-dir build-win --output-on-failure -j"$JOBS"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARV_SANITIZE=address,undefined \
  -DQUARV_BENCH=OFF >/dev/null
cmake --build build-asan -j"$JOBS"
DISPLAY="$EDITOR_DISPLAY" ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$JOBS"

echo "== ThreadSanitizer (threading tests and the soak)"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARV_SANITIZE=thread \
  -DQUARV_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$JOBS" --target threading_tests host_tests soak_tests editor_thread_tests
DISPLAY="$EDITOR_DISPLAY" QUARV_SOAK_SECONDS="${SOAK_SECONDS:-60}" TSAN_OPTIONS=halt_on_error=1 \
  ctest --test-dir build-tsan --output-on-failure -L thread

echo "== Fuzzers (clang: libFuzzer with AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQUARV_FUZZ=ON -DBUILD_TESTING=OFF -DQUARV_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$JOBS" --target fuzzers
./scripts/fuzz.sh build-fuzz "${FUZZ_SECONDS:-15}"
