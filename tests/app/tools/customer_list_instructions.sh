#!/usr/bin/env bash
# Instructions per operation of pyrelto_customer_list_timing, counted by callgrind (repeatable on a
# busy machine, unlike its stopwatch): the first paint, opening the drop-down, a new, a renamed and
# a deleted customer, at each list size.
#   tests/app/tools/customer_list_instructions.sh [BUILD_DIR] [SIZE]...
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build/dev}
shift || true
# The timing program is a tool target, built on request only.
cmake -DPYRELTO_TOOLS=ON "$build" >/dev/null
cmake --build "$build" --target pyrelto_customer_list_timing >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} valgrind --tool=callgrind \
  --callgrind-out-file="$out/cg.%p" "$build/tests/app/pyrelto_customer_list_timing" 1 "$@" \
  >/dev/null 2>&1
for dump in $(ls -v "$out"/cg.*.*); do
  what=$(sed -n 's/^desc: Trigger: Client Request: //p' "$dump")
  [ -n "$what" ] || continue
  printf '%-24s %15s instructions\n' "$what" "$(sed -n 's/^summary: //p' "$dump")"
done
