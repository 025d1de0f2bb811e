#!/usr/bin/env bash
# Saves the "Aufmaß" tab as an X server (Xvfb) shows it, with the README's take-off example opened
# and one of its faces selected: docs/takeoff.png.
#   tests/app/tools/takeoff_screenshot.sh [BUILD_DIR] [OUTPUT] [FACE]
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build/dev}
out=${2:-docs/takeoff.png}
face=${3:-2}
# The probe is a tool target, built on request only.
cmake -DPYRELTO_TOOLS=ON "$build" >/dev/null
cmake --build "$build" --target pyrelto_startup_probe pyrelto-cli
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# The JSON block of the README's section "Take-off from a JSON file".
python3 - "$home/dach.json" <<'PY'
import re, sys
readme = open("README.md", encoding="utf-8").read()
section = readme[readme.index("### Take-off from a JSON file"):]
open(sys.argv[1], "w", encoding="utf-8").write(re.search(r"```json\n(.*?)```", section, re.S).group(1))
PY
"$build/cli/pyrelto-cli" --separator=, List1Ed=9,99 Rab1Ed=35 Ver1Ed=15 Summe10Ed=6 \
  --takeoff "$home/dach.json" --save "$home/dach.kal" >/dev/null
HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config LANG=de_DE.UTF-8 \
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/app/pyrelto_startup_probe" --takeoff "$face" --screenshot "$out" "$home/dach.kal"
