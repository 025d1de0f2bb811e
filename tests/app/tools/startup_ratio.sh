#!/usr/bin/env bash
# The program's start against a bare Qt window of the same size, in the same run: instructions to
# the first paint (callgrind, repeatable on a busy machine) and peak resident memory.
#   tests/app/tools/startup_ratio.sh [BUILD_DIR] [CUSTOMERS] [closed]
# With CUSTOMERS, options.dat holds that many names first (the start with a long customer list).
# With "closed", a shared database on a closed port of this machine is chosen (a server that is
# down): the window must paint as fast as with no database chosen.
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build/dev}
customers=${2:-0}
store=${3:-}
probe=$build/tests/app/pyrelto_startup_probe
# The probe is a tool target, built on request only.
cmake -DPYRELTO_TOOLS=ON "$build" >/dev/null
cmake --build "$build" --target pyrelto_startup_probe >/dev/null
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config LANG=de_DE.UTF-8
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
if [ "$customers" -gt 0 ]; then
  mkdir -p "$XDG_DATA_HOME/Torvane/Pyrelto Kalkulation"
  python3 - "$customers" "$XDG_DATA_HOME/Torvane/Pyrelto Kalkulation/options.dat" <<'PY'
import random, struct, sys
n, path = int(sys.argv[1]), sys.argv[2]
rng = random.Random(42)
names = sorted("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(4, 24))).title()
               for _ in range(n))
with open(path, "wb") as f:
    f.write(struct.pack("<i", n))
    for name in names:
        units = name.encode("utf-16-le")
        f.write(struct.pack("<i", len(units) // 2) + units)
PY
fi
if [ "$store" = closed ]; then
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  mkdir -p "$XDG_CONFIG_HOME"
  printf '[Datenbank]\nArt=PostgreSQL\nHost=127.0.0.1\nPort=%s\nDatenbank=pyrelto\n' "$port" \
    >"$XDG_CONFIG_HOME/$(basename "$probe").conf"
fi
instructions() {
  valgrind --tool=callgrind --callgrind-out-file="$home/cg.out" "$probe" "$@" >/dev/null 2>"$home/cg.log"
  # Summed over every part callgrind reports (under xcb it reports two).
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$home/cg.log" | python3 -c "import sys; print(sum(int(l) for l in sys.stdin))"
}
rss_kb() {
  /usr/bin/time -f %M "$probe" "$@" 2>&1 >/dev/null | tail -1
}
"$probe" --minimal >/dev/null # warm the page cache
min_ir=$(instructions --minimal)
app_ir=$(instructions)
min_rss=$(rss_kb --minimal)
app_rss=$(rss_kb)
echo "instructions to first paint: minimal $min_ir, program $app_ir," \
  "ratio $(python3 -c "print(round($app_ir / $min_ir, 3))")"
echo "peak RSS (kB):               minimal $min_rss, program $app_rss," \
  "ratio $(python3 -c "print(round($app_rss / $min_rss, 3))")"
