#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (preset "fuzz") and runs each file reader for the given
# number of seconds, starting from seed files written by the real writers. Fails on any crash,
# sanitizer report, leak, timeout or memory blow-up.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
readers=(calculation_file calculation_structure customer_file customer_address_file extension_block
         material_preset datanorm csv_price_list xml_text stored_records)

cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j"$(nproc)" --target fuzz_seeds "${readers[@]/#/fuzz_}"

work=build/fuzz/corpus
rm -rf "$work"
mkdir -p "$work"
build/fuzz/fuzz/fuzz_seeds "$work/seeds"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for reader in "${readers[@]}"; do
  # Targets without written seeds start from an empty corpus.
  mkdir -p "$work/$reader" "$work/seeds/$reader"
  log="$work/$reader.log"
  # Inputs up to 64 KiB; no single allocation may exceed 16 MiB and the whole process 1 GiB, so a
  # reader that reserves what a damaged count claims is caught as a crash.
  if build/fuzz/fuzz/"fuzz_$reader" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
      -malloc_limit_mb=16 -rss_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$work/$reader-" \
      "$work/$reader" "$work/seeds/$reader" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz_$reader: ${runs:-?} runs in ${seconds}s, ${rate:-?} exec/s, clean"
  else
    echo "fuzz_$reader: FAILED (log: $log)" >&2
    tail -n 40 "$log" >&2
    status=1
  fi
done
exit "$status"
