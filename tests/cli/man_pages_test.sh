#!/usr/bin/env bash
# The manual pages render without a single warning of groff (-ww turns on every kind).
#   man_pages_test.sh PAGE...
set -euo pipefail
status=0
for page in "$@"; do
  warnings=$(groff -man -Tutf8 -ww "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    printf '%s:\n%s\n' "$page" "$warnings"
    status=1
  fi
done
exit "$status"
