#!/usr/bin/env bash
# Sets up, builds and starts Pyrelto Kalkulation. Arguments are passed to the program
# (the first one may name a calculation file to open).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh dev
cmake --build build/dev --target pyrelto -j"$(nproc)"
exec build/dev/app/pyrelto "$@"
