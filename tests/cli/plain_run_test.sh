#!/usr/bin/env bash
# A run of the real pyrelto-cli that only computes maps no Qt library: the dynamic loader's own
# account (LD_DEBUG=libs) of what it loads. A PDF step in the same build does load Qt, through the
# module found beside the executable, so the check sees Qt when it is there.
#   plain_run_test.sh CLI
set -euo pipefail
cli=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export HOME=$dir XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
loaded() { LD_DEBUG=libs "$cli" "$@" 2>&1 >/dev/null | grep -o 'libQt6[A-Za-z]*' | sort -u || true; }

for run in "--separator=, Dach14Ed=24 --save $dir/a.kal" "--open $dir/a.kal" "--help"; do
  # shellcheck disable=SC2086 # the runs are word lists
  qt=$(loaded $run)
  [ -z "$qt" ] || { echo "pyrelto-cli $run loaded: $qt"; exit 1; }
done
qt=$(loaded --open "$dir/a.kal" --calculation-pdf "$dir/k.pdf")
grep -q libQt6Gui <<<"$qt" || { echo "the PDF step loaded no Qt: '$qt'"; exit 1; }
[ -s "$dir/k.pdf" ] || { echo "the PDF step wrote nothing"; exit 1; }
