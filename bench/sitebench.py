"""What the site benchmarks share: a program on pipes whose output lines are
kept with their times, and the generated full site."""

import os
import queue
import re
import subprocess
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DETECTORS = 127
TAIL = ",,(0,0),(0,0),(0,0),0,(0,0),0,,,,,,,,,,,,,,,,,0,0,(50,0-0,0),(50,0-0,0),(0,0-0,0)"


class Child:
    """A program on pipes whose every output line is kept with its time."""

    def __init__(self, argv):
        self.p = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, text=True, bufsize=1,
                                  env=dict(os.environ, TZ="UTC"))
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.p.stdout:
            item = (time.monotonic(), line.rstrip("\n"))
            self.seen.append(item)
            self.lines.put(item)

    def send(self, line):
        self.p.stdin.write(line + "\n")
        self.p.stdin.flush()
        return time.monotonic()

    def wait_for(self, pattern, limit=30.0):
        end = time.monotonic() + limit
        while True:
            try:
                t, line = self.lines.get(timeout=max(0.0, end - time.monotonic()))
            except queue.Empty:
                raise RuntimeError("no line with %r" % pattern)
            if re.search(pattern, line):
                return t, line

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.p.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def quit(self):
        try:
            self.send("quit")
            self.p.wait(timeout=20)
        except Exception:
            self.p.kill()


def write_full_site(home, loops):
    """full.cfg in `home`: a command module and 127 detectors on each loop."""
    lines = ["5", "0"]
    for loop in range(loops):
        lines.append("%d,0,8,4294967295,-1," % (loop * 256 + 1) + TAIL)
        for a in range(1, DETECTORS + 1):
            lines.append("%d,2,6,4294967295,-1," % (loop * 256 + a) + TAIL)
    with open(os.path.join(home, "full.cfg"), "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


def site_stats(p, loops):
    """The program's `stats`: the site line, then each loop's line."""
    p.send("stats")
    _, site = p.wait_for(r"^polls \d+ responses")
    per = {}
    while len(per) < loops:
        _, line = p.wait_for(r"^loop \d+ polls")
        m = re.match(r"loop (\d+) polls (\d+) answers (\d+) cycle (\d+) ms", line)
        per[int(m.group(1))] = (int(m.group(2)), int(m.group(3)), int(m.group(4)))
    return site, per


def alarm_latencies(program, fired, limit=120.0):
    """Seconds from each `fired` time to the program's alarm line for that
    device, waiting at most `limit` for all of them."""
    latencies = {}
    deadline = time.monotonic() + limit
    while len(latencies) < len(fired) and time.monotonic() < deadline:
        for t, line in list(program.seen):
            for d in fired:
                if d not in latencies and "ALARM: Detector " + d in line:
                    latencies[d] = t - fired[d]
        time.sleep(0.05)
    if len(latencies) < len(fired):
        raise RuntimeError("alarms not shown: %s" % sorted(set(fired) - set(latencies)))
    return list(latencies.values())
