#!/usr/bin/env bash
# Sets up, builds and runs every test: the sanitizer build with -Werror under CTest, then a short
# smoke run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh asan
cmake --build build/asan -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/asan --output-on-failure -j"$(nproc)"
scripts/test_windows.sh build/asan
if [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh 20
fi
