#!/usr/bin/env bash
# Sets up, builds and runs every check, one leg after the other; the first failing leg stops the
# run. A leg is a function below or a script of its own; either is one line in the list at the
# bottom.
# Usage: scripts/test.sh [LEG...]   (default: every leg, in order; e.g. scripts/test.sh format)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Our own sources, as git knows them (generated files and build folders stay out).
own_sources() {
  git ls-files -- '*.cpp' '*.h'
}

# Debug with -Werror, AddressSanitizer and UndefinedBehaviorSanitizer; every test under CTest.
leg_sanitizers() {
  cmake --preset asan >/dev/null
  cmake --build build/asan -j"$jobs"
  ctest --test-dir build/asan --output-on-failure -j"$jobs"
}

# The optimiser finds warnings a Debug build does not (-Wrestrict, -Wmaybe-uninitialized).
leg_release_werror() {
  cmake --preset release >/dev/null
  cmake --build build/release -j"$jobs"
}

# The core, the driver and their tests on a machine without Qt.
leg_nogui() {
  cmake --preset nogui >/dev/null
  cmake --build build/nogui -j"$jobs"
  ctest --test-dir build/nogui --output-on-failure -j"$jobs"
}

# The store tests against a throwaway PostgreSQL server as well as SQLite (the other legs skip the
# PostgreSQL cases: they have no server).
leg_postgres() {
  [ -f build/asan/CMakeCache.txt ] || cmake --preset asan >/dev/null
  cmake --build build/asan -j"$jobs" --target store_tests pyrelto-store-tool cli_store_tests \
    app_tests
  scripts/with_postgres.sh build/asan/tests/store/store_tests --gtest_brief=1
  # pyrelto-cli making offers from several processes at once against the same server.
  scripts/with_postgres.sh build/asan/tests/cli/cli_store_tests --gtest_brief=1
  # The window and a second "PC" sharing the server.
  QT_QPA_PLATFORM=offscreen scripts/with_postgres.sh build/asan/tests/app/app_tests \
    --gtest_brief=1 --gtest_filter='DatabaseChoice*'
}

# The Windows cross build under wine, checked against the sanitizer build's output.
leg_windows() {
  scripts/test_windows.sh build/asan
}

leg_fuzz_smoke() {
  scripts/fuzz.sh 20
}

# Every e-invoice the writer produces for the table of sample invoices, checked by the offline
# XRechnung validator beside the clone (schema, EN 16931 rules, XRechnung rules) in one call: each
# start of it costs seconds. Any rule of level error or fatal fails the leg. PYRELTO_EINVOICE_DIR
# points elsewhere (a worktree has no shared/ beside it). As root the validator installs Java,
# Saxon-HE and xmllint when they are missing.
leg_einvoice() {
  local validator=${PYRELTO_EINVOICE_DIR:-../shared/einvoice}/validate-xrechnung
  if [ ! -x "$validator" ]; then
    echo "SKIPPED: $validator does not exist; no e-invoice was validated"
    return 0
  fi
  cmake --preset nogui >/dev/null
  cmake --build build/nogui -j"$jobs" --target einvoice-samples
  local out=build/nogui/einvoice-samples
  rm -rf "$out"
  build/nogui/tests/documents/einvoice-samples "$out"
  "$validator" "$out"/*.xml
}

leg_format() {
  own_sources | xargs clang-format --dry-run -Werror
}

# clang-tidy (.clang-tidy) over the files changed against main and a fixed sample of every folder;
# tidy_all over every file.
leg_tidy() {
  scripts/tidy.sh
}
leg_tidy_all() {
  scripts/tidy.sh --all
}

run_leg() {
  local name=$1
  local start=$SECONDS
  echo "== $name"
  if declare -F "leg_$name" >/dev/null; then
    "leg_$name"
  else
    "$name"
  fi
  echo "== $name: passed in $((SECONDS - start)) s"
}

scripts/setup.sh asan
# Every leg configures again, so the launcher reaches them all once setup has installed it.
# Six build folders compile mostly the same files; the cache keys on paths relative to the
# checkout, so another clone of the same commit reuses them too.
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi
legs=("$@")
if [ ${#legs[@]} -eq 0 ]; then
  legs=(
    format
    sanitizers
    windows
    release_werror
    nogui
    einvoice
    postgres
    tidy
    fuzz_smoke
  )
fi
for leg in "${legs[@]}"; do
  run_leg "$leg"
done
echo "== all legs passed"
