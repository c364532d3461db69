#!/usr/bin/env python3
"""Polling of a full demonstration site, per-loop walk beside one-at-a-time.

Runs the real program headless on a generated site of 16 loops x 127
detectors (demonstration ports), once with every loop walked on its own and
once with [BusMaster] PollOneAtATime=1, and prints side by side: polls per
second per loop and for the site, the poll cycle, the alarm latency from
`fire1` to the alarm event (min, median, max over 20 devices) and the CPU the
program used per minute of supervising.

    bench/poll_site.py [--exe build/default/src/quillark] [--seconds 30]

The CPU figure is the program's own user + system time over the window, from
/proc; the machine's other load does not count in it but can stretch timers.
"""

import argparse
import os
import random
import re
import shutil
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sitebench import alarm_latencies, DETECTORS, ROOT, Child, site_stats, write_full_site  # noqa: E402

LOOPS = 16


def make_home(home, one_at_a_time):
    shutil.copy(os.path.join(ROOT, "resources/demo/quillark.ini"), home)
    ini = os.path.join(home, "quillark.ini")
    with open(ini, newline="") as f:
        text = f.read()
    text = text.replace("Loops=2", "Loops=%d" % LOOPS)
    text = text.replace("Site=demo.cfg", "Site=full.cfg")
    text = text.replace("[BusMaster]\r\n",
                        "[BusMaster]\r\nPollOneAtATime=%d\r\n" % (1 if one_at_a_time else 0))
    with open(ini, "w", newline="") as f:
        f.write(text)
    write_full_site(home, LOOPS)


class Program(Child):
    def __init__(self, exe, home):
        super().__init__([exe, "--headless", "--home", home])

    def stats(self):
        site, per = site_stats(self, LOOPS)
        loops = {n: (polls, cycle) for n, (polls, _, cycle) in per.items()}
        cycle = int(re.search(r"cycle (\d+) ms", site).group(1))
        return time.monotonic(), cycle, loops


def run(exe, one_at_a_time, seconds, rng):
    home = tempfile.mkdtemp(prefix="quillark-bench-")
    try:
        make_home(home, one_at_a_time)
        p = Program(exe, home)
        p.wait_for(r"\*\*\*\* Quillark startup \*\*\*\*")
        while p.stats()[1] == 0:  # a whole walk first
            time.sleep(0.5)
        t0, _, before = p.stats()
        c0 = p.cpu_seconds()
        time.sleep(seconds)
        t1, cycle, after = p.stats()
        c1 = p.cpu_seconds()
        wall = t1 - t0
        rates = [(after[n][0] - before[n][0]) / wall for n in range(1, LOOPS + 1)]

        # Twenty detectors spread over the loops, set on fire at moments
        # spread over a cycle; each latency runs from fire1 to its alarm event.
        devices = ["%d-%03d" % (i % LOOPS + 1, 1 + (i * 53) % DETECTORS) for i in range(20)]
        fired = {}
        for d in devices:
            p.send("select " + d)
            p.wait_for("^selected " + d)
            fired[d] = p.send("fire1")
            p.wait_for("^ok$")
            time.sleep(rng.uniform(0.0, 0.3))
        latencies = alarm_latencies(p, fired)
        p.quit()
        return {
            "site polls/s": sum(rates),
            "loop polls/s (min..max)": (min(rates), max(rates)),
            "cycle ms": cycle,
            "alarm latency s (min/median/max)": (min(latencies), statistics.median(latencies),
                                                 max(latencies)),
            "CPU s per minute": (c1 - c0) / wall * 60.0,
            "CPU % of a core": (c1 - c0) / wall * 100.0,
        }
    finally:
        shutil.rmtree(home, ignore_errors=True)


def show(value):
    if isinstance(value, tuple):
        return " / ".join("%.2f" % v for v in value)
    return "%.2f" % value if isinstance(value, float) else str(value)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--exe", default=os.path.join(ROOT, "build/default/src/quillark"))
    ap.add_argument("--seconds", type=float, default=30.0, help="CPU and rate window")
    ap.add_argument("--seed", type=int, default=13)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    results = [("per loop", run(args.exe, False, args.seconds, rng)),
               ("one at a time", run(args.exe, True, args.seconds, rng))]
    print("full site: %d loops x %d detectors, demonstration ports, %.0f s window" %
          (LOOPS, DETECTORS, args.seconds))
    print("%-34s %22s %22s" % ("", results[0][0], results[1][0]))
    for key in results[0][1]:
        print("%-34s %22s %22s" % (key, show(results[0][1][key]), show(results[1][1][key])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
