#!/usr/bin/env bash
# Not a test: the start of pyrelto-cli for a run that only computes (the worked example), beside a
# C++ program that only prints a small JSON (pyrelto_minimal_json): instructions under callgrind
# and the median wall time over RUNS alternating runs of each.
#   tests/cli/tools/cli_start_ratio.sh BUILD [RUNS]   (BUILD configured with -DPYRELTO_TOOLS=ON)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD [RUNS]}" && pwd)
runs=${2:-50}
cmake --build "$build" --target pyrelto-cli pyrelto_minimal_json >/dev/null
cli=$build/cli/pyrelto-cli
minimal=$build/tests/cli/pyrelto_minimal_json
steps=(--separator=, List1Ed=9,99 Rab1Ed=35 Ver1Ed=15 Summe6Ed=0,35 Summe7Ed=0,20 Ek8Ed=0,12
       Anz8Ed=4 Summe10Ed=6 Summe11Ed=4,5 Dach14Ed=24)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
instructions() {
  valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$@" >/dev/null 2>"$work/cg.log"
  sed -n 's/^summary: //p' "$work/cg.out"
}
cli_ir=$(cd "$work" && instructions "$cli" "${steps[@]}")
min_ir=$(cd "$work" && instructions "$minimal")
python3 - "$runs" "$cli_ir" "$min_ir" "$cli" "$minimal" "${steps[@]}" <<'PY'
import statistics, subprocess, sys, time
runs, cli_ir, min_ir = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
cli, minimal = [sys.argv[4]] + sys.argv[6:], [sys.argv[5]]
def once(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start
for _ in range(5):
    once(cli), once(minimal)
times = {"cli": [], "minimal": []}
for _ in range(runs):
    times["cli"].append(once(cli))
    times["minimal"].append(once(minimal))
c, m = statistics.median(times["cli"]), statistics.median(times["minimal"])
print(f"instructions: pyrelto-cli {cli_ir / 1e6:.2f} M, minimal {min_ir / 1e6:.2f} M, "
      f"ratio {cli_ir / min_ir:.2f}")
print(f"median wall over {runs}: pyrelto-cli {c * 1e3:.2f} ms, minimal {m * 1e3:.2f} ms, "
      f"ratio {c / m:.2f}")
PY
