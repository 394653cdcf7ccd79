#!/usr/bin/env python3
"""Window benchmark: OrvelConfigurator side by side with GTKTerm and CuteCom.

    winbench.py run --ours PATH [--before PATH] [options]   the whole run, then the table
    winbench.py report [RESULTS] [--run ID | --all-runs]    the table from a results file
    winbench.py layout --ours PATH [--app NAME]             screenshot + window geometry
    winbench.py check --ours PATH [--app NAME]              start, open the ports, one probe

All programs run under one private Xvfb, on socat pty pairs, each test on a
fresh instance with its own HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR.
bench/window/README.md explains the tests and the figures.
"""
import argparse
import hashlib
import json
import os
import platform
import select
import shutil
import signal
import sqlite3
import struct
import subprocess
import sys
import tempfile
import time
import tty

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True      # no __pycache__ in the source tree
import feeder   # noqa: E402
import tables   # noqa: E402

FEEDER = os.path.join(HERE, "feeder.py")
SHIM_SOURCE = os.path.join(HERE, "ptyshim.c")
SCREEN = "1280x1024x24"
CLK_TCK = os.sysconf("SC_CLK_TCK")
WARMUP_BYTES = 500_000
PACED_TOTAL_BPS = 34_560          # three 115,200-baud lines at full rate
TESTS = ("paced", "idle", "flood", "flood3")


# ############################################################################
# CLICK POINTS
#
# OrvelConfigurator: offsets from the top-left corner of its main window
# (901x757 when these were taken). Xvfb runs without a window manager, so the
# window has no frame; the harness adds the window position that
# `xdotool getwindowgeometry` reports.
#   open  channel N's "Открыть" button
#   edit  channel N's command edit; the harness types "x" into channel 1's,
#         so every probe (Enter) sends "x\r\n"
#   pane  channel N's received-data pane (clicked before Ctrl+A, Ctrl+C)
# The peers open at the screen origin, so their points are screen points.
#
# After a layout change: `winbench.py layout --ours PATH` saves a screenshot
# of the display and prints the window's position and size; read the centres
# of the buttons, edits and panes off it, subtract the window position, and
# check with `winbench.py check --ours PATH` (it names the point that missed).
# ############################################################################
OURS_POINTS = {
    "open": {1: (96, 84), 2: (96, 352), 3: (96, 590)},
    "edit": {1: (188, 182), 2: (188, 417), 3: (188, 656)},
    "pane": {1: (622, 120), 2: (622, 372), 3: (622, 609)},
}
GTKTERM_TERMINAL = (300, 200)     # inside the terminal (window 750x550)
CUTECOM_OPEN = (50, 43)           # "Open" button (window 678x684)
CUTECOM_INPUT = (136, 243)        # "Input:" line, line end LF
# ############################################################################


class Rig:
    """What every test shares: folders, display, binaries, results file."""
    work = None
    results = None
    display = None
    xvfb = None
    shim = None
    run_id = None
    bins = {}          # label -> (executable, log4cplus.conf or None)
    summary = False    # ours with its three sentence summaries open


def log(*parts):
    line = time.strftime("%H:%M:%S ") + " ".join(str(p) for p in parts)
    print(line, file=sys.stderr, flush=True)
    if Rig.work:
        with open(os.path.join(Rig.work, "logs", "winbench.log"), "a") as f:
            f.write(line + "\n")


def in_work(*parts):
    return os.path.join(Rig.work, *parts)


def xdo(*args, capture=False):
    r = subprocess.run(["xdotool", *[str(a) for a in args]], capture_output=True, text=True)
    return r.stdout if capture else r.returncode


def screenshot(name):
    os.makedirs(in_work("shots"), exist_ok=True)
    subprocess.run(["import", "-window", "root", in_work("shots", name + ".png")],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def sha256_of(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


# ---- X server ---------------------------------------------------------------
class Xvfb:
    def __init__(self, display):
        self.display = display
        self.proc = None

    @staticmethod
    def free_display(start=77):
        for n in range(start, start + 100):
            if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
                return ":%d" % n
        raise SystemExit("no free X display between :%d and :%d" % (start, start + 99))

    def answers(self):
        return subprocess.run(["xdotool", "getdisplaygeometry"], env=dict(os.environ, DISPLAY=self.display),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0

    def start(self):
        if self.answers():
            raise SystemExit("display %s already has an X server; pick another with --display" % self.display)
        out = open(in_work("logs", "xvfb.log"), "a")
        self.proc = subprocess.Popen(["Xvfb", self.display, "-screen", "0", SCREEN, "-nolisten", "tcp"],
                                     stdout=out, stderr=out, start_new_session=True)
        for _ in range(150):
            if self.proc.poll() is not None:
                raise SystemExit("Xvfb exited (%s); see %s" % (self.proc.returncode, in_work("logs", "xvfb.log")))
            if self.answers():
                log("Xvfb on", self.display, SCREEN, "pid", self.proc.pid)
                return
            time.sleep(0.1)
        self.stop()
        raise SystemExit("Xvfb did not answer on %s" % self.display)

    @property
    def pid(self):
        return self.proc.pid

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


# ---- /proc ------------------------------------------------------------------
def cpu_s(pid):
    return feeder.cpu_s(pid)


def rss_kb(pid):
    return feeder.status_kb(pid, "VmRSS")


def thread_table(pid):
    """tid -> (name, cpu s, context switches)"""
    table = {}
    base = "/proc/%d/task" % pid
    for tid in os.listdir(base):
        try:
            with open("%s/%s/stat" % (base, tid)) as f:
                raw = f.read()
            fields = raw.rsplit(")", 1)[1].split()
            switches = 0
            with open("%s/%s/status" % (base, tid)) as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:")):
                        switches += int(line.split()[1])
            table[int(tid)] = (raw[raw.index("(") + 1:raw.rindex(")")],
                               (int(fields[11]) + int(fields[12])) / CLK_TCK, switches)
        except (OSError, ValueError):
            pass
    return table


def thread_diff(before, after):
    rows = []
    for tid, (name, cpu, sw) in after.items():
        _, cpu0, sw0 = before.get(tid, (name, 0.0, 0))
        rows.append(dict(tid=tid, name=name, cpu_s=round(cpu - cpu0, 2), switches=sw - sw0, new=tid not in before))
    return sorted(rows, key=lambda r: -r["cpu_s"])


# ---- our settings store -----------------------------------------------------
# $XDG_CONFIG_HOME/OrvelConfigurator/hkcu.sqlite3, as the program itself
# writes it (take a fresh one with `sqlite3 hkcu.sqlite3 .dump` and the
# application_id / user_version / journal_mode pragmas if the format changes):
# a registry-like tree of keys with typed values. Here each channel's key
# gets its port (this test's pty link), 115200 baud, and enabled.
STORE_APPLICATION_ID = 0x4F52564C     # "ORVL"
STORE_USER_VERSION = 1
STORE_TABLES = (
    "CREATE TABLE keys(  id INTEGER PRIMARY KEY AUTOINCREMENT,  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL,  folded TEXT NOT NULL,  written INTEGER NOT NULL DEFAULT 0,"
    "  UNIQUE(parent, folded));",
    "CREATE TABLE vals(  key INTEGER NOT NULL,  name TEXT NOT NULL,  folded TEXT NOT NULL,"
    "  type INTEGER NOT NULL,  data BLOB NOT NULL,  UNIQUE(key, folded));",
)
# (id, parent, name, written); folded = name.lower()
STORE_KEYS = (
    (1, 0, "", 0),
    (2, 1, "SOFTWARE", 0),
    (3, 2, "Lunder", 0),
    (4, 3, "Orvel4", 0),
    (5, 4, "SnsPort", 134410843529416061),
    (6, 4, "KksPort", 134410843529498221),
    (7, 4, "SonPort", 134410843529618010),
)
STORE_CHANNEL_KEY = {1: 5, 2: 6, 3: 7}
TYPE_STRING, TYPE_DWORD = 1, 4


def write_store(path, port_of_channel):
    db = sqlite3.connect(path)
    db.execute("PRAGMA application_id = %d" % STORE_APPLICATION_ID)
    db.execute("PRAGMA user_version = %d" % STORE_USER_VERSION)
    db.execute("PRAGMA journal_mode = wal")
    for statement in STORE_TABLES:
        db.execute(statement)
    with db:
        db.executemany("INSERT INTO keys VALUES(?,?,?,?,?)",
                       [(i, parent, name, name.lower(), written) for i, parent, name, written in STORE_KEYS])
        for ch, key in sorted(STORE_CHANNEL_KEY.items()):
            db.executemany("INSERT INTO vals VALUES(?,?,?,?,?)", [
                (key, "PortName", "portname", TYPE_STRING, port_of_channel(ch).encode() + b"\0"),
                (key, "BaudRate", "baudrate", TYPE_DWORD, struct.pack("<I", 115200)),
                (key, "Enabled", "enabled", TYPE_DWORD, struct.pack("<I", 1)),
            ])
    db.close()
    os.chmod(path, 0o600)


# ---- peers' settings --------------------------------------------------------
GTKTERM_RC = [
    ("port", "/dev/ttyS0"), ("speed", "115200"), ("bits", "8"), ("stopbits", "1"),
    ("parity", "none"), ("flow", "none"), ("wait_delay", "0"), ("wait_char", "-1"),
    ("rs485_rts_time_before_tx", "30"), ("rs485_rts_time_after_tx", "30"),
    ("echo", "False"), ("crlfauto", "False"), ("timestamp", "False"),
    ("font", '"Monospace 12"'), ("term_block_cursor", "True"),
    ("term_rows", "80"), ("term_columns", "25"), ("term_scrollback", "10000"),
    ("term_visual_bell", "True"),
    ("term_foreground_red", "0.660000"), ("term_foreground_blue", "0.660000"),
    ("term_foreground_green", "0.660000"), ("term_foreground_alpha", "1.000000"),
    ("term_background_red", "0.000000"), ("term_background_blue", "0.000000"),
    ("term_background_green", "0.000000"), ("term_background_alpha", "1.000000"),
]
CUTECOM_SESSION = [
    ("BaudRate", "115200"), ("DataBits", "8"), ("Device", None), ("FlowControl", "0"),
    ("History", "x"), ("MacroFile", ""), ("OpenMode", "3"), ("Parity", "0"), ("StopBits", "1"),
    ("TcpLocalPort", "54041"), ("UdpLocalPort", "50944"), ("UdpRemoteHost", ""),
    ("UdpRemotePort", "26751"), ("autoReconnect", "true"), ("name", "Default"),
    ("showCtrlCharacters", "false"), ("showTimestamp", "false"),
]


def build_shim():
    if Rig.shim:
        return Rig.shim
    so = in_work("ptyshim.so")
    if not os.path.exists(so) or os.path.getmtime(so) < os.path.getmtime(SHIM_SOURCE):
        subprocess.run(["gcc", "-shared", "-fPIC", "-O2", "-o", so, SHIM_SOURCE, "-ldl"], check=True)
    Rig.shim = so
    return so


# ---- the programs -----------------------------------------------------------
class Program:
    """One instance under test with its own folders and pty pairs."""
    label = None
    probe = None        # command that types one probe; its 'x' comes back on channel 1
    preload = False
    has_pane_check = False

    def __init__(self, label, nports):
        self.label = label
        self.nports = nports
        self.root = in_work("run", label)
        self.runtime = os.path.join(self.root, "xdg-runtime")
        self.proc = None
        self.socats = {}

    def app_end(self, ch):
        return os.path.join(self.runtime, "orvel-ports", "ch%d" % ch)

    def device_end(self, ch):
        return in_work("dev", "%s-ch%d" % (self.label, ch))

    def environment(self):
        env = {k: v for k, v in os.environ.items()
               if k not in ("LD_PRELOAD", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "SESSION_MANAGER")}
        env.update(DISPLAY=Rig.display, HOME=os.path.join(self.root, "home"),
                   XDG_CONFIG_HOME=os.path.join(self.root, "config"), XDG_RUNTIME_DIR=self.runtime,
                   NO_AT_BRIDGE="1")
        if self.preload:
            env["LD_PRELOAD"] = build_shim()
        return env

    def make_folders(self):
        shutil.rmtree(self.root, ignore_errors=True)
        for sub in ("home", "config", "wd", "xdg-runtime/orvel-ports"):
            os.makedirs(os.path.join(self.root, sub))
        os.chmod(self.runtime, 0o700)
        os.makedirs(in_work("dev"), exist_ok=True)

    def start_pair(self, ch):
        ends = (self.app_end(ch), self.device_end(ch))
        for p in ends:
            if os.path.lexists(p):
                os.unlink(p)
        out = open(os.path.join(self.root, "socat-ch%d.log" % ch), "w")
        self.socats[ch] = subprocess.Popen(
            ["socat", "-d", "-d", "pty,raw,echo=0,link=" + ends[0], "pty,raw,echo=0,link=" + ends[1]],
            stdout=out, stderr=out)
        for _ in range(100):
            if all(os.path.lexists(p) for p in ends):
                return
            time.sleep(0.05)
        raise RuntimeError("socat did not make the pty links of ch%d" % ch)

    def holds_port(self, ch):
        target = os.path.realpath(self.app_end(ch))
        fds = "/proc/%d/fd" % self.pid
        for fd in os.listdir(fds):
            try:
                if os.readlink(os.path.join(fds, fd)) == target:
                    return True
            except OSError:
                pass
        return False

    def find_window(self):
        deadline = time.time() + 30
        while time.time() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError("%s exited with %s before showing a window" % (self.label, self.proc.returncode))
            ids = xdo("search", "--onlyvisible", "--pid", self.pid, capture=True).split()
            if ids:
                self.window = ids[-1]
                geo = dict(line.split("=", 1) for line in
                           xdo("getwindowgeometry", "--shell", self.window, capture=True).split())
                self.x, self.y = int(geo["X"]), int(geo["Y"])
                self.w, self.h = int(geo["WIDTH"]), int(geo["HEIGHT"])
                return
            time.sleep(0.2)
        raise RuntimeError("no window of %s within 30 s" % self.label)

    def click(self, x, y):
        xdo("mousemove", x, y, "click", 1)

    def launch(self):
        """Folders, pty pairs, settings, program; returns when its window shows."""
        self.make_folders()
        for ch in range(1, self.nports + 1):
            self.start_pair(ch)
        self.configure()
        out = open(os.path.join(self.root, "program.log"), "w")
        self.proc = subprocess.Popen(self.command(), cwd=os.path.join(self.root, "wd"), env=self.environment(),
                                     stdout=out, stderr=out, stdin=subprocess.DEVNULL)
        self.pid = self.proc.pid
        self.find_window()

    def start(self):
        """launch(), open every port, focus the probe target, one probe by hand."""
        self.launch()
        time.sleep(1.0)
        self.open_ports()
        for ch in range(1, self.nports + 1):
            for _ in range(50):
                if self.holds_port(ch):
                    break
                time.sleep(0.1)
            else:
                raise RuntimeError("%s did not open port ch%d (open click point?)" % (self.label, ch))
        self.after_open()
        self.focus_probe()
        time.sleep(0.5)
        self.sanity = self.one_probe()
        time.sleep(1.0)
        log("  %s up: pid %d, window %dx%d at %d,%d, probe answered %r"
            % (self.label, self.pid, self.w, self.h, self.x, self.y, self.sanity))

    def one_probe(self):
        fd = os.open(self.device_end(1), os.O_RDWR | os.O_NOCTTY)
        try:
            tty.setraw(fd)
            subprocess.run(self.probe.split())
            got = b""
            deadline = time.time() + 3
            while time.time() < deadline and b"x" not in got:
                if select.select([fd], [], [], 0.2)[0]:
                    got += os.read(fd, 256)
            time.sleep(0.3)
            while select.select([fd], [], [], 0.1)[0]:
                got += os.read(fd, 256)
        finally:
            os.close(fd)
        if b"x" not in got:
            raise RuntimeError("the probe did not come back from %s (probe click point?)" % self.label)
        return got.decode("latin-1")

    def after_open(self):
        """What a test wants shown besides the ports (nothing by default)."""

    def alive(self):
        return self.proc is not None and self.proc.poll() is None

    def stop(self):
        if self.alive():
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        for p in self.socats.values():
            if p.poll() is None:
                p.terminate()
                p.wait()
        self.socats = {}


class Orvel(Program):
    """Our program; "ours" and "before" are both driven through this class."""
    probe = "xdotool key Return"      # channel 1's edit holds "x": sends "x\r\n"
    has_pane_check = True

    def configure(self):
        exe, conf = Rig.bins[self.label]
        folder = os.path.join(self.root, "config", "OrvelConfigurator")
        os.makedirs(folder, mode=0o700)
        write_store(os.path.join(folder, "hkcu.sqlite3"), self.app_end)
        if conf:
            shutil.copy(conf, os.path.join(self.root, "wd", "log4cplus.conf"))

    def command(self):
        return [Rig.bins[self.label][0]]

    def point(self, what, ch):
        dx, dy = OURS_POINTS[what][ch]
        return self.x + dx, self.y + dy

    def open_ports(self):
        for ch in range(1, self.nports + 1):
            self.click(*self.point("open", ch))
            time.sleep(0.5)

    def focus_probe(self):
        self.click(*self.point("edit", 1))
        time.sleep(0.2)
        xdo("type", "x")

    def after_open(self):
        """With --summary, each channel's "Сводка" window open ("ours" only:
        it is the pane menu's last item but one). They open over the middle
        of the window, where channel 2's pane is: that one first."""
        if not Rig.summary or self.label != "ours":
            return
        for ch in (2, 1, 3):
            x, y = self.point("pane", ch)
            xdo("mousemove", x, y, "click", 3)
            time.sleep(0.5)
            xdo("key", "End", "Up", "Return")
            time.sleep(0.5)

    def pane_text(self, ch, timeout=900):
        """Select all and copy in channel CH's pane; (bytes, seconds) or (None, why).
        The time runs from Ctrl+A until xclip hands back the new clipboard."""
        marker = b"winbench-marker-%d" % time.time_ns()
        subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=marker,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.3)
        self.click(*self.point("pane", ch))
        time.sleep(0.2)
        t0 = time.monotonic()
        xdo("key", "ctrl+a")
        xdo("key", "ctrl+c")
        text = None
        while time.monotonic() - t0 < timeout:
            try:
                r = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, timeout=timeout)
            except subprocess.TimeoutExpired:
                break
            if r.returncode == 0 and r.stdout != marker:
                text = r.stdout
                break
            time.sleep(0.2)
        seconds = time.monotonic() - t0
        self.click(*self.point("edit", 1))     # back to the probe edit; its "x" stays
        xdo("key", "End")
        if text is None:
            return None, "the clipboard did not change within %d s" % timeout
        return text, round(seconds, 2)

    def pane_check(self, ch, runs):
        """Channel CH's pane against the bytes of these feeder runs."""
        text, seconds = self.pane_text(ch)
        if text is None:
            return dict(channel=ch, checked=False, why=seconds)
        want_hash, want_len, want_dollars = feeder.expected_digest(runs)
        bare = text.replace(b"\n", b"")
        return dict(channel=ch, checked=True, identical=hashlib.sha256(bare).hexdigest() == want_hash,
                    copy_s=seconds, pane_bytes=len(text), pane_lines=text.count(b"\n"),
                    chars_without_newlines=len(bare), expected_chars=want_len,
                    dollars=text.count(b"$"), expected_dollars=want_dollars)


class GTKTerm(Program):
    probe = "xdotool key x"
    preload = True

    def configure(self):
        with open(os.path.join(self.root, "config", ".gtktermrc"), "w") as f:
            f.write("[default]\n")
            f.writelines("%s\t= %s\n" % kv for kv in GTKTERM_RC)

    def command(self):
        return ["gtkterm", "-p", self.app_end(1), "-s", "115200"]

    def open_ports(self):
        pass            # the port comes from the command line

    def focus_probe(self):
        self.click(*GTKTERM_TERMINAL)


class CuteCom(Program):
    probe = "xdotool key x Return"     # input line with LF line end: sends "x\n"
    preload = True

    def configure(self):
        folder = os.path.join(self.root, "config", "CuteCom")
        os.makedirs(folder)
        with open(os.path.join(folder, "CuteCom5.conf"), "w") as f:
            f.write("[sessions]\n")
            for key, value in CUTECOM_SESSION:
                f.write("1\\%s=%s\n" % (key, self.app_end(1) if value is None else value))
            f.write("size=1\n")

    def command(self):
        return ["cutecom"]

    def open_ports(self):
        self.click(*CUTECOM_OPEN)

    def focus_probe(self):
        self.click(*CUTECOM_INPUT)


KINDS = {"ours": Orvel, "before": Orvel, "gtkterm": GTKTerm, "cutecom": CuteCom}


# ---- records ----------------------------------------------------------------
def record(rec):
    rec = dict(run=Rig.run_id, time=time.strftime("%Y-%m-%dT%H:%M:%S"), **rec)
    rec["loadavg"] = open("/proc/loadavg").read().split()[:3]
    with open(Rig.results, "a") as f:
        f.write(json.dumps(rec) + "\n")
    return rec


def feed(app, ch, mode, amount, rate=0, probe=False):
    argv = [sys.executable, FEEDER, "--port", app.device_end(ch), "--watch", str(app.pid),
            "--xvfb", str(Rig.xvfb.pid)]
    if probe:
        argv += ["--probe", app.probe]
    argv += [mode, str(amount)] + ([str(rate)] if mode == "paced" else [])
    return subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            env=dict(os.environ, DISPLAY=Rig.display))


def collect(proc):
    out, err = proc.communicate()
    if proc.returncode != 0:
        raise RuntimeError("feeder failed: " + err[-1500:])
    return json.loads(out)


def idle_figures(app, seconds):
    t_before = thread_table(app.pid)
    c0, x0, t0 = cpu_s(app.pid), cpu_s(Rig.xvfb.pid), time.monotonic()
    time.sleep(seconds)
    el = time.monotonic() - t0
    c1, x1 = cpu_s(app.pid), cpu_s(Rig.xvfb.pid)
    th = thread_diff(t_before, thread_table(app.pid))
    return dict(seconds=round(el, 2), app_cpu_s=round(c1 - c0, 3), app_cpu_pct=round(100 * (c1 - c0) / el, 3),
                xvfb_cpu_s=round(x1 - x0, 3), switches_per_s=round(sum(t["switches"] for t in th) / el, 1),
                rss_kB=rss_kb(app.pid), threads=th)


# ---- the tests ----------------------------------------------------------------
def test_idle_paced(label, nports, rep, idle_s, paced_s):
    """NPORTS open; idle_s without traffic, then paced_s at 34,560 B/s split over the ports."""
    app = KINDS[label](label, nports)
    try:
        app.start()
        if idle_s:
            time.sleep(3)
            record(dict(test="idle", app=label, nports=nports, rep=rep, res=idle_figures(app, idle_s)))
        if paced_s:
            rate = PACED_TOTAL_BPS // nports
            t_before = thread_table(app.pid)
            procs = [feed(app, ch, "paced", paced_s, rate, probe=(ch == 1)) for ch in range(1, nports + 1)]
            results = [collect(p) for p in procs]
            screenshot("%s_paced_%dch_r%d" % (label, nports, rep))
            record(dict(test="paced", app=label, nports=nports, rate_per_port=rate, rep=rep, res=results[0],
                        others=results[1:], threads=thread_diff(t_before, thread_table(app.pid)),
                        alive_after=app.alive()))
    finally:
        app.stop()


def test_flood(label, size, rep):
    """One port; 0.5 MB warm-up, then SIZE bytes as fast as the pty takes them."""
    app = KINDS[label](label, 1)
    try:
        app.start()
        warm = collect(feed(app, 1, "flood", WARMUP_BYTES))
        time.sleep(1)
        t_before = thread_table(app.pid)
        res = collect(feed(app, 1, "flood", size, probe=True))
        rec = dict(test="flood", app=label, size=size, rep=rep, warmup=warm, res=res,
                   threads=thread_diff(t_before, thread_table(app.pid)), alive_after=app.alive())
        screenshot("%s_flood_%dMB_r%d" % (label, size // 1_000_000, rep))
        if app.has_pane_check and app.alive():
            rec["panes"] = [app.pane_check(1, [warm["bytes"], res["bytes"]])]
            rec["rss_after_copy_kB"] = rss_kb(app.pid) if app.alive() else None
            rec["alive_after_copy"] = app.alive()
        record(rec)
    finally:
        app.stop()


def test_flood3(label, size, rep):
    """Three channels; 0.5 MB warm-up on each, then SIZE bytes on each at once."""
    app = KINDS[label](label, 3)
    try:
        app.start()
        warm = [collect(p) for p in [feed(app, ch, "flood", WARMUP_BYTES) for ch in (1, 2, 3)]]
        time.sleep(1)
        t_before = thread_table(app.pid)
        results = [collect(p) for p in [feed(app, ch, "flood", size, probe=(ch == 1)) for ch in (1, 2, 3)]]
        start = min(r["wall_start"] for r in results)
        writers_end = max(r["wall_writer_end"] for r in results)
        shown = max(r["wall_writer_end"] + (r["drain_s"] or 0) for r in results)
        total = sum(r["bytes"] for r in results)
        overall = dict(bytes=total, writers_s=round(writers_end - start, 3),
                       writer_MBps=round(total / (writers_end - start) / 1e6, 3),
                       until_idle_s=round(shown - start, 3),
                       MBps_incl_drain=round(total / (shown - start) / 1e6, 3),
                       drain_capped=any(r["drain_capped"] for r in results),
                       rss_before_kB=min(r["rss_before_kB"] for r in results),
                       rss_after_kB=max(r["rss_after_kB"] for r in results),
                       rss_peak_kB=max(r["rss_peak_kB"] for r in results))
        rec = dict(test="flood3", app=label, size=size, rep=rep, overall=overall, res=results[0],
                   others=results[1:], threads=thread_diff(t_before, thread_table(app.pid)),
                   alive_after=app.alive())
        screenshot("%s_flood3_%dMB_r%d" % (label, size // 1_000_000, rep))
        if app.alive():
            rec["panes"] = [app.pane_check(ch, [warm[ch - 1]["bytes"], results[ch - 1]["bytes"]])
                            for ch in (1, 2, 3)]
        record(rec)
    finally:
        app.stop()


# ---- the run ----------------------------------------------------------------
def rotated(items, rep):
    k = (rep - 1) % len(items)
    return items[k:] + items[:k]


def plan(a, labels):
    """The list of (description, function, args) of the whole run, in order."""
    jobs = []
    mine = [l for l in labels if l in ("ours", "before")]
    if "paced" in a.only or "idle" in a.only:
        idle_s = a.idle_s if "idle" in a.only else 0
        paced_s = a.paced_s if "paced" in a.only else 0
        entries = [(l, 3 if l in mine else 1) for l in labels]
        if paced_s:
            entries += [(l, 1) for l in mine]
        for rep in range(1, a.reps + 1):
            for label, n in rotated(entries, rep):
                what = "+".join(t for t, s in (("idle", idle_s), ("paced", paced_s)) if s)
                jobs.append(("%s %s %dch rep %d" % (what, label, n, rep), test_idle_paced,
                             (label, n, rep, idle_s, paced_s)))
    if "flood" in a.only:
        for mb in a.flood_mb:
            for rep in range(1, a.reps + 1):
                for label in rotated(labels, rep):
                    jobs.append(("flood %s %g MB rep %d" % (label, mb, rep), test_flood,
                                 (label, int(mb * 1_000_000), rep)))
    if "flood3" in a.only:
        for rep in range(1, a.reps_flood3 + 1):
            for label in rotated(mine, rep):
                jobs.append(("flood3 %s 3 x %g MB rep %d" % (label, a.flood3_mb, rep), test_flood3,
                             (label, int(a.flood3_mb * 1_000_000), rep)))
    return jobs


def package_version(name):
    r = subprocess.run(["dpkg-query", "-W", "-f=${Version}", name], capture_output=True, text=True)
    return r.stdout.strip() if r.returncode == 0 else None


def take_binary(label, path, conf):
    """Copies the executable (and log4cplus.conf) into the work folder, so that a
    rebuild during the run cannot change what is measured."""
    src = os.path.abspath(path)
    if not (os.path.isfile(src) and os.access(src, os.X_OK)):
        raise SystemExit("%s: %s is not an executable" % (label, path))
    conf = conf or os.path.join(os.path.dirname(src), "log4cplus.conf")
    folder = in_work("bin", label)
    os.makedirs(folder, exist_ok=True)
    exe = os.path.join(folder, "OrvelConfigurator")
    shutil.copy2(src, exe)
    kept_conf = None
    if os.path.isfile(conf):
        kept_conf = os.path.join(folder, "log4cplus.conf")
        shutil.copy2(conf, kept_conf)
    else:
        log("note: no log4cplus.conf beside %s; %s runs without one" % (src, label))
    Rig.bins[label] = (exe, kept_conf)
    return dict(path=src, sha256=sha256_of(exe), size=os.path.getsize(exe), log_conf=conf if kept_conf else None)


def setup_work(a):
    if a.work:
        Rig.work = os.path.abspath(a.work)
        os.makedirs(Rig.work, exist_ok=True)
    else:
        Rig.work = tempfile.mkdtemp(prefix="winbench.")
    if any(c in Rig.work for c in " :"):
        raise SystemExit("the work folder's path must not hold spaces or colons (it goes into LD_PRELOAD)")
    os.makedirs(in_work("logs"), exist_ok=True)
    Rig.results = os.path.abspath(a.results) if getattr(a, "results", None) else in_work("results.jsonl")
    Rig.display = a.display or Xvfb.free_display()
    os.environ["DISPLAY"] = Rig.display        # for xdotool, xclip and import


def cmd_run(a):
    for tool in ("Xvfb", "socat", "xdotool", "xclip", "import"):
        if not shutil.which(tool):
            raise SystemExit("%s is missing; make bench-window installs what the benchmark needs" % tool)
    quick = a.quick
    a.reps = a.reps or (1 if quick else 2)
    a.reps_flood3 = a.reps_flood3 or (a.reps if a.reps_explicit else (1 if quick else 3))
    a.paced_s = a.paced_s if a.paced_s is not None else (20 if quick else 60)
    a.idle_s = a.idle_s if a.idle_s is not None else (10 if quick else 20)
    a.flood_mb = a.flood_mb or ([20] if quick else [100])
    a.flood3_mb = a.flood3_mb if a.flood3_mb is not None else (5 if quick else 20)
    unknown = set(a.only) - set(TESTS)
    if unknown:
        raise SystemExit("--only: unknown test(s) %s; known: %s" % (", ".join(sorted(unknown)), ", ".join(TESTS)))

    setup_work(a)
    Rig.summary = a.summary
    Rig.run_id = time.strftime("%Y%m%d-%H%M%S")
    log("run", Rig.run_id, "work folder", Rig.work, "results", Rig.results)
    programs = {"ours": take_binary("ours", a.ours, a.ours_log_conf)}
    labels = ["ours"]
    if a.before:
        programs["before"] = take_binary("before", a.before, a.before_log_conf)
        labels.append("before")
    notes = []
    if a.summary:
        notes.append("ours with its three sentence summaries open")
    if a.no_peers:
        notes.append("peers skipped (--no-peers)")
    else:
        for peer in ("gtkterm", "cutecom"):
            if shutil.which(peer):
                programs[peer] = dict(path=shutil.which(peer), version=package_version(peer))
                labels.append(peer)
            else:
                notes.append("%s is not installed: skipped (make bench-window installs it)" % peer)
        if any(l in ("gtkterm", "cutecom") for l in labels):
            build_shim()
    for n in notes:
        log("note:", n)
    jobs = plan(a, labels)
    mem_gb = int(open("/proc/meminfo").read().split()[1]) / 1048576
    record(dict(test="meta", programs=programs, labels=labels, notes=notes, display=Rig.display,
                machine=dict(cpus=os.cpu_count(), memory_GB=round(mem_gb, 1), kernel=platform.release(),
                             cpu=cpu_model(), python=platform.python_version(),
                             qt=package_version("libqt6core6")),
                options=dict(only=a.only, reps=a.reps, reps_flood3=a.reps_flood3, paced_s=a.paced_s,
                             idle_s=a.idle_s, flood_mb=a.flood_mb, flood3_mb=a.flood3_mb, quick=quick),
                jobs=len(jobs)))

    Rig.xvfb = Xvfb(Rig.display)
    Rig.xvfb.start()
    started = time.time()
    failed = 0
    try:
        for i, (what, fn, args) in enumerate(jobs, 1):
            log("[%d/%d] %s" % (i, len(jobs), what))
            try:
                fn(*args)
            except Exception as e:      # one failed test does not stop the run
                failed += 1
                log("  FAILED:", e)
                record(dict(test="failure", job=what, error=str(e)))
                screenshot("failure_%d" % i)
            time.sleep(2)
    finally:
        Rig.xvfb.stop()
    changed = [l for l in ("ours", "before") if l in programs
               and sha256_of(Rig.bins[l][0]) != programs[l]["sha256"]]
    record(dict(test="end", seconds=round(time.time() - started), failed=failed, changed=changed))
    log("done in %.0f min, %d failed; results in %s" % ((time.time() - started) / 60, failed, Rig.results))
    text = tables.render(tables.load(Rig.results, Rig.run_id))
    with open(in_work("report.md"), "w") as f:
        f.write(text)
    print(text)
    return 1 if failed else 0


def cpu_model():
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor()


def cmd_report(a):
    path = a.results_file or (os.path.join(a.work, "results.jsonl") if a.work else None)
    if not path:
        raise SystemExit("report: name the results file (or --work DIR)")
    print(tables.render(tables.load(path, None if a.all_runs else a.run, all_runs=a.all_runs)))
    return 0


def single_program(a, label):
    setup_work(a)
    Rig.run_id = "manual"
    if label in ("ours", "before"):
        if not a.ours:
            raise SystemExit("--ours PATH is needed for %s" % label)
        take_binary(label, a.ours, None)
    elif not shutil.which(label):
        raise SystemExit("%s is not installed" % label)
    Rig.xvfb = Xvfb(Rig.display)
    Rig.xvfb.start()
    return KINDS[label](label, a.nports if label in ("ours", "before") else 1)


def cmd_layout(a):
    app = single_program(a, a.app)
    try:
        app.launch()
        time.sleep(1.5)
        shot = in_work("shots", "%s_layout.png" % a.app)
        screenshot("%s_layout" % a.app)
        print("window %d %d %d %d  (x y width height)" % (app.x, app.y, app.w, app.h))
        print("screenshot %s" % shot)
        print("crop: convert %s -crop %dx%d+%d+%d %s_window.png" % (shot, app.w, app.h, app.x, app.y, a.app))
    finally:
        app.stop()
        Rig.xvfb.stop()
    return 0


def cmd_check(a):
    app = single_program(a, a.app)
    try:
        app.start()
        screenshot("%s_check" % a.app)
        print("%s: ports open, probe answered %r; screenshot %s"
              % (a.app, app.sanity, in_work("shots", "%s_check.png" % a.app)))
    finally:
        app.stop()
        Rig.xvfb.stop()
    return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="cmd", required=True)

    def common(p):
        p.add_argument("--work", help="work folder (default: a new one under $TMPDIR or /tmp)")
        p.add_argument("--display", help="display for the private Xvfb (default: the first free from :77)")

    r = sub.add_parser("run", help="run the benchmark and print the table")
    common(r)
    r.add_argument("--ours", required=True, help="our executable under test")
    r.add_argument("--ours-log-conf", help="log4cplus.conf for ours (default: the one beside it)")
    r.add_argument("--before", help="another build of our program, shown as the column 'before'")
    r.add_argument("--before-log-conf", help="log4cplus.conf for before (default: the one beside it)")
    r.add_argument("--no-peers", action="store_true", help="leave GTKTerm and CuteCom out")
    r.add_argument("--summary", action="store_true",
                   help="ours with the three channels' sentence summary windows open")
    r.add_argument("--only", default=",".join(TESTS),
                   help="comma-separated tests among %s (default: all)" % ",".join(TESTS))
    r.add_argument("--quick", action="store_true",
                   help="smoke run: 1 repetition, 10 s idle, 20 s paced, 20 MB flood, 3 x 5 MB flood3")
    r.add_argument("--reps", type=int, help="repetitions of every test (default 2, flood3 3; --quick 1)")
    r.add_argument("--reps-flood3", type=int, help="repetitions of flood3 (default 3, or --reps when given)")
    r.add_argument("--flood-mb", help="flood size(s) in MB, comma-separated (default 100; --quick 20)")
    r.add_argument("--flood3-mb", type=float, help="flood3 size per channel in MB (default 20; --quick 5)")
    r.add_argument("--paced-s", type=float, help="paced duration, s (default 60; --quick 20)")
    r.add_argument("--idle-s", type=float, help="idle duration, s (default 20; --quick 10)")
    r.add_argument("--results", help="results file, JSON lines, appended (default: WORK/results.jsonl)")

    rp = sub.add_parser("report", help="print the table of a results file")
    rp.add_argument("results_file", nargs="?", help="results file (or --work DIR)")
    rp.add_argument("--work", help="work folder whose results.jsonl to read")
    rp.add_argument("--run", help="run id (default: the last run in the file)")
    rp.add_argument("--all-runs", action="store_true", help="pool every run in the file (not comparable!)")

    for name, text in (("layout", "start a program without clicking; screenshot and window geometry"),
                       ("check", "start a program, open its ports, one probe, screenshot")):
        p = sub.add_parser(name, help=text)
        common(p)
        p.add_argument("--ours", help="our executable (for --app ours)")
        p.add_argument("--app", default="ours", choices=("ours", "gtkterm", "cutecom"))
        p.add_argument("--nports", type=int, default=3, choices=(1, 2, 3))

    a = ap.parse_args()
    if a.cmd == "run":
        a.only = [t.strip() for t in a.only.split(",") if t.strip()]
        a.reps_explicit = a.reps is not None
        a.flood_mb = [float(x) for x in a.flood_mb.split(",")] if a.flood_mb else None
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    return {"run": cmd_run, "report": cmd_report, "layout": cmd_layout, "check": cmd_check}[a.cmd](a)


if __name__ == "__main__":
    sys.exit(main())
