#!/usr/bin/env python3
"""A full live site on simulated serial loops: poll cycle, alarm latency, CPU.

Starts quillark-loopsim with 16 loops x 127 detectors at 9600 baud, runs the
real program headless in the live edition on its pseudo-terminals, and prints:
the poll cycle of a loop and of the site, polls per second, the alarm latency
from a `fire1` typed into the simulator to the alarm event on the program's
standard output (min, median, max over 20 devices spread over the loops) and
the program's CPU per minute of supervising.

    bench/live_site.py [--build build/default] [--seconds 30] [--loops 16]

The CPU figure is the program's own user + system time over the window, from
/proc; the simulator's does not count in it, but both share the machine, so a
loaded machine stretches timers and latencies.
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


def make_home(home, loops, ports):
    shutil.copy(os.path.join(ROOT, "resources/demo/quillark.ini"), home)
    ini = os.path.join(home, "quillark.ini")
    with open(ini, newline="") as f:
        text = f.read()
    comm = "".join("Loop%dPortType=0\r\nLoop%dPort=%s\r\nLoop%dBaud=9600\r\n" % (n, n, ports[n], n)
                   for n in range(1, loops + 1))
    text = text.replace("Loops=2\r\n", "Loops=%d\r\n" % loops + comm)
    text = text.replace("Site=demo.cfg", "Site=full.cfg")
    text = text.replace("[Product]\r\n", "[Product]\r\nEdition=live\r\n")
    with open(ini, "w", newline="") as f:
        f.write(text)
    write_full_site(home, loops)


def stats(p, loops):
    site, per = site_stats(p, loops)
    cycle = int(re.search(r"cycle (\d+) ms", site).group(1))
    return time.monotonic(), cycle, per


def run(build, loops, seconds, rng):
    home = tempfile.mkdtemp(prefix="quillark-live-bench-")
    sim = prog = None
    try:
        sim = Child([os.path.join(build, "src/quillark-loopsim"), "--loops", str(loops),
                     "--detectors", str(DETECTORS)])
        ports = {}
        while True:
            _, line = sim.wait_for(r"^(loop \d+: |ready$)")
            if line == "ready":
                break
            n, path = re.match(r"loop (\d+): (\S+)", line).groups()
            ports[int(n)] = path
        make_home(home, loops, ports)
        prog = Child([os.path.join(build, "src/quillark"), "--headless", "--home", home])
        prog.wait_for(r"\*\*\*\* Quillark startup \*\*\*\*")
        while stats(prog, loops)[1] == 0:  # a whole walk first
            time.sleep(0.5)
        t0, _, before = stats(prog, loops)
        c0, s0 = prog.cpu_seconds(), sim.cpu_seconds()
        time.sleep(seconds)
        t1, cycle, after = stats(prog, loops)
        c1, s1 = prog.cpu_seconds(), sim.cpu_seconds()
        wall = t1 - t0
        rates = [(after[n][0] - before[n][0]) / wall for n in range(1, loops + 1)]
        answered = sum(after[n][1] - before[n][1] for n in after)
        polled = sum(after[n][0] - before[n][0] for n in after)
        loopcycles = [after[n][2] for n in range(1, loops + 1)]

        # Twenty detectors spread over the loops, set on fire in the simulator
        # at moments spread over a cycle; each latency runs from the word
        # typed to the alarm event on the program's output.
        devices = ["%d-%03d" % (i % loops + 1, 1 + (i * 53) % DETECTORS) for i in range(20)]
        fired = {}
        for d in devices:
            fired[d] = sim.send("fire1 " + d)
            sim.wait_for("^ok fire1 " + d)
            time.sleep(rng.uniform(0.0, 0.3))
        latencies = alarm_latencies(prog, fired)
        return [
            ("loops x detectors, baud", "%d x %d, 9600" % (loops, DETECTORS)),
            ("loop poll cycle ms (min..max)", (min(loopcycles), max(loopcycles))),
            ("site poll cycle ms", cycle),
            ("site polls/s", sum(rates)),
            ("loop polls/s (min..max)", (min(rates), max(rates))),
            ("answered polls %", 100.0 * answered / max(1, polled)),
            ("alarm latency s (min/median/max)",
             (min(latencies), statistics.median(latencies), max(latencies))),
            ("CPU s per minute", (c1 - c0) / wall * 60.0),
            ("CPU % of a core", (c1 - c0) / wall * 100.0),
            ("simulator CPU % of a core", (s1 - s0) / wall * 100.0),
            ("machine load average", os.getloadavg()[0]),
        ]
    finally:
        for child in (prog, sim):
            if child is not None:
                child.quit()
        shutil.rmtree(home, ignore_errors=True)


def show(value):
    if isinstance(value, tuple):
        return " / ".join(("%.2f" % v if isinstance(v, float) else str(v)) for v in value)
    return "%.2f" % value if isinstance(value, float) else str(value)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.path.join(ROOT, "build/default"))
    ap.add_argument("--seconds", type=float, default=30.0, help="CPU and rate window")
    ap.add_argument("--loops", type=int, default=16)
    ap.add_argument("--seed", type=int, default=13)
    args = ap.parse_args()
    results = run(args.build, args.loops, args.seconds, random.Random(args.seed))
    print("live site on quillark-loopsim, %.0f s window" % args.seconds)
    for key, value in results:
        print("%-36s %s" % (key, show(value)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
