#!/usr/bin/env python3
"""Time from process start to the first painted main window, without a file and with one.

Runs pyrelto_startup_probe (the program's own start, stopped at the window's first paint) RUNS
times in each case, and as often a minimal Qt window of the same size, and prints the median, the
spread and the ratio to the minimal window. Use a Release build; under Xvfb set
QT_QPA_PLATFORM=xcb to include the X server, otherwise the offscreen platform is used.

    tests/app/tools/measure_startup.py BUILD_DIR [RUNS]
"""
import os
import statistics
import struct
import subprocess
import sys
import tempfile
import time


def text_block(text):
    units = text.encode("utf-16-le")
    return struct.pack("<i", len(units) // 2) + units


def sample_calculation():
    """A complete calculation file (80 entries) with every row in use."""
    out = struct.pack("<4i", 5, 5, 5, 3)
    texts = ["Müller Bedachungen"] + [f"Bahn {n}" for n in range(1, 6)] + [
        "Gas", "Titanol", "Tellerdübel", "Pyrelto 1. Lage", "Pyrelto 2. Lage",
        "Pyrelto 3. Lage", "€"]
    out += b"".join(text_block(t) for t in texts)
    out += struct.pack("<41d", *[1.25 + n for n in range(41)])
    out += b"".join(text_block(f"Sonstiges {n}") for n in range(3, 6))
    out += struct.pack("<3d", 0.1, 0.2, 0.3)
    out += b"".join(text_block(f"Stück {n}") for n in range(2, 6))
    out += struct.pack("<12d", *[0.5 + n for n in range(12)])
    return out


def run(probe, args, env):
    env = dict(env, PYRELTO_T0_NS=str(time.clock_gettime_ns(time.CLOCK_MONOTONIC)))
    out = subprocess.run([probe] + args, env=env, capture_output=True, text=True, timeout=60,
                         check=True).stdout
    for line in out.splitlines():
        if line.startswith("shown_ms="):
            return float(line.split("=", 1)[1])
    raise RuntimeError("probe printed no time: " + out)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 21
    probe = os.path.join(build, "tests", "app", "pyrelto_startup_probe")
    # The probe is a tool target, built on request only.
    subprocess.run(["cmake", "-DPYRELTO_TOOLS=ON", build], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "--target", "pyrelto_startup_probe"], check=True,
                   stdout=subprocess.DEVNULL)
    env = dict(os.environ)
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    env.setdefault("LANG", "de_DE.UTF-8")
    with tempfile.TemporaryDirectory() as home:
        env.update(HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
                   XDG_CONFIG_HOME=os.path.join(home, "config"))
        sample = os.path.join(home, "beispiel.kal")
        with open(sample, "wb") as f:
            f.write(sample_calculation())
        run(probe, [], env)  # warm the page cache
        cases = (("minimal window", ["--minimal"]), ("without a file", []),
                 ("with a file", [sample]))
        # Taken in turns, so that a busy moment of the machine does not fall on one case only.
        results = {name: [] for name, _ in cases}
        for _ in range(runs):
            for name, args in cases:
                results[name].append(run(probe, args, env))
        minimal = statistics.median(results["minimal window"])
        for name, _ in cases:
            times = sorted(results[name])
            median = statistics.median(times)
            print(f"{env['QT_QPA_PLATFORM']:9} {name:15} median {median:7.1f} ms"
                  f"  (min {times[0]:.1f}, max {times[-1]:.1f}, {runs} runs)"
                  f"  {median / minimal:.2f} x minimal")


if __name__ == "__main__":
    main()
