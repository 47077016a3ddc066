#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Loading a 65535-sample two-channel capture from Python (kurvex.load and the time, CH1
and CH2 arrays) against `kurvex-cli info` on it (read it, print its settings).

Both run as separate processes, taking turns, measured two ways:
  with start-up:    one file per process, the interpreter's or Qt's start-up included;
  without start-up: (process with 101 files - process with 1 file) / 100, so that each
                    side's own start-up cancels out.
Wall time and processor time (user + system of the child: less disturbed when other work
shares the machine). Goal: Python at most twice kurvex-cli without start-up.
Usage: bench/python_load.py [BUILD_DIR] [RUNS]"""
import math
import os
import pathlib
import resource
import statistics
import subprocess
import sys
import tempfile
import time

root = pathlib.Path(__file__).resolve().parents[1]
build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else root / "build").resolve()
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
sys.path.insert(0, str(root / "tests" / "python"))
from savfile import sav_bytes  # noqa: E402

LOAD = """import sys, kurvex
for p in sys.argv[1:]:
    c = kurvex.load(p); c.time; c.ch1; c.ch2"""


def run(command):
    """Wall and processor seconds of one run of the command."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, PYTHONPATH=str(build / "python")))
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


with tempfile.TemporaryDirectory() as work:
    big = os.path.join(work, "big.sav")
    n = 65535
    channels = [[int(128 + 80 * math.sin(i * 0.001 * (c + 1))) for i in range(n)]
                for c in range(2)]
    pathlib.Path(big).write_bytes(sav_bytes(channels, interval_ps=183_105))
    commands = {
        "cli": [str(build / "src" / "cli" / "kurvex-cli"), "info"],
        "python": ["/usr/bin/python3", "-c", LOAD],
    }
    times = {(name, k): [] for name in commands for k in (1, 101)}
    for _ in range(runs):
        for name, command in commands.items():
            for k in (1, 101):
                times[name, k].append(run(command + [big] * k))

    def median(name, k, which):
        return statistics.median(t[which] for t in times[name, k])

    print(f"65535-sample two-channel capture, medians of {runs} runs")
    for which, label in ((0, "wall"), (1, "processor")):
        cli1, py1 = median("cli", 1, which), median("python", 1, which)
        cli = (median("cli", 101, which) - cli1) / 100
        py = (median("python", 101, which) - py1) / 100
        print(f"{label:>9} with start-up:    kurvex-cli info {cli1 * 1e3:8.2f} ms, "
              f"python {py1 * 1e3:8.2f} ms, ratio {py1 / cli1:.2f}")
        print(f"{label:>9} without start-up: kurvex-cli info {cli * 1e3:8.2f} ms, "
              f"python {py * 1e3:8.2f} ms, ratio {py / cli:.2f} (goal at most 2)")
