#!/usr/bin/env python3
"""Device end of one benchmark port: writes NMEA traffic, times keystroke probes.

    feeder.py --port DEV --watch PID [--xvfb PID] [--probe CMD] flood BYTES
    feeder.py --port DEV --watch PID [--xvfb PID] [--probe CMD] paced SECONDS BYTES_PER_S

DEV is the device end of a socat pty pair whose other end the program under
test (PID) has open. "flood" writes BYTES as fast as the pty takes them;
"paced" writes whole sentences at BYTES_PER_S for SECONDS. Then it waits until
the program is idle again (the drain). CMD, when given, is run --probe-first
seconds after the start and then every --probe-every seconds (xdotool typing
into the program); every 'x' that comes back on DEV answers the oldest
unanswered probe. One JSON object goes to standard output.

The traffic is one fixed pattern of 65,536 GGA sentences of 82 bytes,
repeated; every run starts at its beginning. winbench.py imports this module
to know what a pane should hold (expected_digest).
"""
import argparse
import hashlib
import json
import os
import select
import shlex
import subprocess
import sys
import threading
import time

SENTENCE_BYTES = 82
PATTERN_SENTENCES = 1 << 16
CHUNK = 4096
CLK_TCK = os.sysconf("SC_CLK_TCK")

# Idle after the writer: the program used at most IDLE_CPU_S of CPU in each of
# IDLE_SAMPLES samples of SAMPLE_S in a row. The drain is the end of the last
# busy sample, so it has a resolution of SAMPLE_S.
SAMPLE_S = 0.5
IDLE_CPU_S = 0.02
IDLE_SAMPLES = 4


def sentence(i):
    """The i-th sentence of the pattern: 82 bytes, '$' to CR LF, valid checksum."""
    t = (i // 4) % 86400
    body = "GPGGA,%02d%02d%02d.%02d,%09.4f,N,%010.4f,E,1,%02d,%.1f,%06.1f,M,46.9,M,,%09d" % (
        t // 3600, t // 60 % 60, t % 60, 25 * (i % 4),
        5930.1 + (i % 1009) / 10000, 3019.2 + (i % 1013) / 10000,
        4 + i % 9, 0.6 + (i % 7) / 10, 12.3 + i % 500, i % 10 ** 9)
    check = 0
    for c in body:
        check ^= ord(c)
    return "$%s*%02X\r\n" % (body, check)


_pattern = None


def pattern():
    global _pattern
    if _pattern is None:
        _pattern = "".join(sentence(i) for i in range(PATTERN_SENTENCES)).encode("ascii")
        assert len(_pattern) == SENTENCE_BYTES * PATTERN_SENTENCES
    return _pattern


def expected_digest(runs):
    """What a pane holds after feeder runs of these byte counts, one after the
    other: sha256 and length of the bytes with CR and LF taken out, and the
    number of sentence starts ('$')."""
    pat = pattern()
    h = hashlib.sha256()
    length = dollars = 0
    for n in runs:
        while n > 0:
            part = pat[:min(n, len(pat))]
            n -= len(part)
            bare = part.translate(None, b"\r\n")
            h.update(bare)
            length += len(bare)
            dollars += part.count(b"$")
    return h.hexdigest(), length, dollars


def cpu_s(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLK_TCK


def status_kb(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


class Prober(threading.Thread):
    """Runs the probe command `first` seconds after the start, then every
    `every` seconds, until stopped."""

    def __init__(self, cmd, every, first):
        super().__init__(daemon=True)
        self.argv = shlex.split(cmd)
        self.every = every
        self.first = first
        self.sent = []
        self.halt = threading.Event()

    def run(self):
        wait = self.first
        while not self.halt.wait(wait):
            wait = self.every
            t = time.monotonic()
            subprocess.run(self.argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.sent.append(t)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--port", required=True, help="device end of the pty pair")
    ap.add_argument("--watch", type=int, required=True, help="pid of the program under test")
    ap.add_argument("--xvfb", type=int, default=0, help="pid of the X server (0: none)")
    ap.add_argument("--probe", help="command that types one probe into the program")
    ap.add_argument("--probe-every", type=float, default=0.5, help="seconds between probes")
    ap.add_argument("--probe-first", type=float, default=0.1, help="seconds before the first probe")
    ap.add_argument("--writer-cap", type=float, default=300, help="longest a flood writer runs, s")
    ap.add_argument("--drain-cap", type=float, default=900, help="longest wait for idle after the writer, s")
    ap.add_argument("mode", choices=("flood", "paced"))
    ap.add_argument("amount", type=float, help="flood: bytes; paced: seconds")
    ap.add_argument("rate", type=float, nargs="?", default=0, help="paced: bytes per second")
    a = ap.parse_args()
    if a.mode == "paced" and a.rate <= 0:
        ap.error("paced needs a rate")

    pat = pattern()
    pid, xpid = a.watch, a.xvfb
    fd = os.open(a.port, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    import tty
    tty.setraw(fd)

    x_times = []        # arrival time of every 'x' that came back
    back = [0]

    def read_back():
        try:
            data = os.read(fd, 65536)
        except (BlockingIOError, InterruptedError):
            return
        now = time.monotonic()
        back[0] += len(data)
        x_times.extend([now] * data.count(b"x"))

    if a.mode == "flood":
        total = int(a.amount)
        cap = a.writer_cap
    else:
        total = int(a.amount * a.rate) // SENTENCE_BYTES * SENTENCE_BYTES
        cap = a.amount + 60

    prober = Prober(a.probe, a.probe_every, a.probe_first) if a.probe else None
    rss0 = status_kb(pid, "VmRSS")
    cpu0 = cpu_s(pid)
    x0 = cpu_s(xpid) if xpid else 0.0
    wall0 = time.time()
    t0 = time.monotonic()
    if prober:
        prober.start()

    written = pos = 0
    timed_out = False
    while written < total:
        now = time.monotonic()
        if now - t0 > cap:
            timed_out = True
            break
        if a.mode == "flood":
            due = total - written
        else:
            due = min(total, int((now - t0) * a.rate) // SENTENCE_BYTES * SENTENCE_BYTES) - written
        r, w, _ = select.select([fd], [fd] if due > 0 else [], [], 0.5 if a.mode == "flood" else 0.01)
        if r:
            read_back()
        if w:
            n = min(due, CHUNK, len(pat) - pos)
            try:
                k = os.write(fd, pat[pos:pos + n])
            except (BlockingIOError, InterruptedError):
                k = 0
            written += k
            pos = (pos + k) % len(pat)
    t1 = time.monotonic()
    cpu1 = cpu_s(pid)
    x1 = cpu_s(xpid) if xpid else 0.0

    # The drain: sample the program's CPU until it has been idle for a while.
    last_busy = t1
    quiet = 0
    idle = False
    prev_cpu, prev_t = cpu1, t1
    while time.monotonic() - t1 < a.drain_cap:
        if select.select([fd], [], [], SAMPLE_S)[0]:
            read_back()
        now = time.monotonic()
        if now - prev_t < SAMPLE_S:
            continue
        c = cpu_s(pid)
        if c - prev_cpu > IDLE_CPU_S:
            quiet, last_busy = 0, now
        else:
            quiet += 1
            if quiet >= IDLE_SAMPLES:
                idle = True
                break
        prev_cpu, prev_t = c, now
    if prober:
        prober.halt.set()
        prober.join()
    # probes still on their way back
    deadline = time.monotonic() + 1.0
    while prober and len(x_times) < len(prober.sent) and time.monotonic() < deadline:
        if select.select([fd], [], [], 0.1)[0]:
            read_back()
    cpu2 = cpu_s(pid)
    x2 = cpu_s(xpid) if xpid else 0.0
    os.close(fd)

    writer_s = t1 - t0
    res = dict(
        mode=a.mode, bytes=written, writer_s=round(writer_s, 3),
        writer_MBps=round(written / writer_s / 1e6, 3) if writer_s > 0 else None,
        timed_out=timed_out,
        app_cpu_s_writer=round(cpu1 - cpu0, 2),
        app_cpu_pct_writer=round(100 * (cpu1 - cpu0) / writer_s, 1) if writer_s > 0 else None,
        app_cpu_s_total=round(cpu2 - cpu0, 2),
        drain_s=round(max(last_busy - t1, 0.0), 1) if idle else None,
        drain_capped=not idle,
        xvfb_cpu_s_writer=round(x1 - x0, 2) if xpid else None,
        xvfb_cpu_s_total=round(x2 - x0, 2) if xpid else None,
        rss_before_kB=rss0, rss_after_kB=status_kb(pid, "VmRSS"), rss_peak_kB=status_kb(pid, "VmHWM"),
        wall_start=round(wall0, 3), wall_writer_end=round(wall0 + writer_s, 3),
        bytes_back=back[0])
    if prober:
        # the k-th 'x' back answers the k-th probe sent
        res["probes"] = [[round(s - t0, 3), round(x_times[k] - s, 4) if k < len(x_times) else None]
                         for k, s in enumerate(prober.sent)]
    json.dump(res, sys.stdout)
    print()


if __name__ == "__main__":
    main()
