#!/usr/bin/env bash
# Line and branch coverage of the file layer and the customer list (clang source-based coverage):
# the unit tests of files/ and customers/, the fault tests through the replaceable system calls,
# and every fuzz target replaying its seeds and any corpus a fuzz run left in build/fuzz/corpus.
# Prints llvm-cov's table for the readers, the writers and the POSIX file layer, and fails when
# one of them has less than 95 % of its lines or 90 % of its branches run.
# Not a leg of scripts/test.sh: a build of its own with the sanitizers, the fuzzer runtime and
# the counters, a few minutes on two cores.
# Usage: scripts/coverage.sh [FUZZ_SECONDS]   (default 0: replay only; more fuzzes each target
#        that long first, from the seeds, into build/coverage/corpus)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-0}
# One absolute name per source file, or the counts of one file split over several relative names.
unset CCACHE_BASEDIR
build=build/coverage
readers=(calculation_file calculation_structure customer_file customer_address_file material_preset)
flags="-fprofile-instr-generate -fcoverage-mapping"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DPYRELTO_GUI=OFF \
  -DPYRELTO_BENCH=OFF -DPYRELTO_FUZZ=ON -DBUILD_TESTING=ON -DPYRELTO_FAULT_SEAM=ON \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$build" -j"$(nproc)" --target files_tests customers_tests fuzz_seeds \
  "${readers[@]/#/fuzz_}"

profiles=$build/profiles
rm -rf "$profiles" "$build/seeds"
mkdir -p "$profiles" "$build/corpus"
export LLVM_PROFILE_FILE=$PWD/$profiles/%p-%m.profraw
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
"$build/fuzz/fuzz_seeds" "$build/seeds"
"$build/tests/files/files_tests" --gtest_brief=1
"$build/tests/customers/customers_tests" --gtest_brief=1
for reader in "${readers[@]}"; do
  corpus=$build/corpus/$reader
  mkdir -p "$corpus"
  if [ "$seconds" -gt 0 ]; then
    "$build/fuzz/fuzz_$reader" -max_total_time="$seconds" -max_len=65536 -malloc_limit_mb=16 \
      -rss_limit_mb=1024 "$corpus" "$build/seeds/$reader" >/dev/null 2>&1
  fi
  # Given files instead of folders, a libFuzzer program runs each once.
  inputs=$(find "$build/seeds/$reader" "$corpus" "build/fuzz/corpus/$reader" -type f 2>/dev/null || true)
  if [ -n "$inputs" ]; then
    # shellcheck disable=SC2086
    "$build/fuzz/fuzz_$reader" $inputs >/dev/null 2>&1
  fi
done

llvm-profdata merge -sparse "$profiles"/*.profraw -o "$build/coverage.profdata"
measured=(files/calculation_file.cpp files/customer_address_file.cpp files/customer_file.cpp
          files/material_preset.cpp files/safe_write.cpp files/torvane.cpp files/platform_posix.cpp
          files/leftover_temporaries.cpp customers/customer_list_file.cpp)
objects=("$build/tests/files/files_tests" -object "$build/tests/customers/customers_tests")
for reader in "${readers[@]}"; do
  objects+=(-object "$build/fuzz/fuzz_$reader")
done
llvm-cov report "${objects[@]}" -instr-profile="$build/coverage.profdata" -show-branch-summary \
  "${measured[@]/#/$PWD/}" | tee "$build/report.txt"

# Columns: Filename Regions Missed Cover Functions Missed Executed Lines Missed Cover Branches
# Missed Cover.
awk '$1 ~ /[.]cpp$/ {
  lines = $10 + 0; branches = $13 + 0
  if (lines < 95 || branches < 90) { print "below the bar: " $1; bad = 1 }
} END { exit bad }' "$build/report.txt"
