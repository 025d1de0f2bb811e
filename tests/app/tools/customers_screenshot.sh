#!/usr/bin/env bash
# Saves the "Kunden Vorlagen" tab as an X server (Xvfb) shows it, with a few customers and the
# search for "meier" done: docs/customers.png. Further arguments go to the probe (--dark).
#   tests/app/tools/customers_screenshot.sh [BUILD_DIR] [OUTPUT] [--dark]
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build/dev}
out=${2:-docs/customers.png}
# The probe is a tool target, built on request only.
cmake -DPYRELTO_TOOLS=ON "$build" >/dev/null
cmake --build "$build" --target pyrelto_startup_probe
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
folder="$home/data/Torvane/Pyrelto Kalkulation"
mkdir -p "$folder"
# The customer list file (docs/file-formats.md): a count, then each name as a length in UTF-16
# units and the name in UTF-16LE.
python3 - "$folder/options.dat" <<'PY'
import struct, sys
names = ["Abel & Söhne", "Bauhof Nord", "Becker Holzbau", "Meier, Hans", "Müller Bedachungen GmbH",
         "Obermeier KG", "Schulz", "Zeiler Dachbau"]
with open(sys.argv[1], "wb") as f:
    f.write(struct.pack("<i", len(names)))
    for name in names:
        f.write(struct.pack("<i", len(name)) + name.encode("utf-16-le"))
PY
HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config LANG=de_DE.UTF-8 \
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/app/pyrelto_startup_probe" "${@:3}" --customers meier --screenshot "$out"
