#!/usr/bin/env bash
# Saves what an X server (Xvfb) shows of the main window at its design size: docs/screenshot.png.
# Further arguments go to the probe: --dark shows the window in the Fusion style with a dark
# palette (docs/dark-fusion.png).
#   tests/app/tools/screenshot.sh [BUILD_DIR] [OUTPUT] [--dark]
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build/dev}
out=${2:-docs/screenshot.png}
# The probe is a tool target, built on request only.
cmake -DPYRELTO_TOOLS=ON "$build" >/dev/null
cmake --build "$build" --target pyrelto_startup_probe
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config LANG=de_DE.UTF-8 \
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/app/pyrelto_startup_probe" "${@:3}" --screenshot "$out"
