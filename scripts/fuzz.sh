#!/usr/bin/env bash
# Runs every fuzzer of a QUARV_FUZZ build: each replays its seed corpus
# (tests/fuzz/corpus/<name>) and then fuzzes for SECONDS. Inputs it finds go
# to a temporary folder, never into the repository; a crash, a leak or a
# sanitizer report fails the run and leaves the input in that folder.
#   scripts/fuzz.sh BUILD_DIR [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."
build="$1"
seconds="${2:-15}"
work="$(mktemp -d)"
passed=0
failed=0
for fuzzer in vst2_chunk vst3_state param_text_vst2 param_text_vst3 png text; do
  seeds="tests/fuzz/corpus/$fuzzer"
  [ -d "$seeds" ] || seeds="tests/fuzz/corpus/${fuzzer%_vst?}"
  mkdir -p "$work/$fuzzer"
  if "$build/tests/fuzz/fuzz_$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$work/$fuzzer/crash-" -print_final_stats=1 "$work/$fuzzer" "$seeds" \
      >"$work/$fuzzer.log" 2>&1; then
    echo "fuzz_$fuzzer: $(grep -E '^stat::number_of_executed_units' "$work/$fuzzer.log" | awk '{print $2}') executions, no finding"
    passed=$((passed + 1))
  else
    echo "fuzz_$fuzzer FAILED; its log and input are in $work/$fuzzer*"
    tail -40 "$work/$fuzzer.log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && rm -rf "$work"
[ "$failed" -eq 0 ]
