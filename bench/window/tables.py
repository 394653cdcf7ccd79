"""The markdown table of one benchmark run, read back from the results file.

Each cell is the median over the repetitions, with the lowest and highest
value in brackets when there was more than one. Probe latencies are pooled
over the repetitions: median / max of all probes, in ms. Ratio columns divide
ours' median by the other program's median.
"""
import json
import statistics

NAMES = {"ours": "ours", "before": "before", "gtkterm": "GTKTerm", "cutecom": "CuteCom"}
MINE = ("ours", "before")


def load(path, run_id=None, all_runs=False):
    """Records of one run: run_id, or the last run in the file."""
    with open(path) as f:
        recs = [json.loads(line) for line in f if line.strip()]
    if not recs:
        raise SystemExit("%s holds no results" % path)
    if not all_runs:
        run_id = run_id or next((r["run"] for r in reversed(recs) if r.get("test") == "meta"), recs[-1].get("run"))
        recs = [r for r in recs if r.get("run") == run_id]
        if not recs:
            raise SystemExit("%s holds no run %s" % (path, run_id))
    return recs


def _median(xs):
    xs = [x for x in xs if x is not None]
    return statistics.median(xs) if xs else None


def _cell(xs, nd):
    xs = [x for x in xs if x is not None]
    if not xs:
        return "-"
    m = "%.*f" % (nd, statistics.median(xs))
    if len(xs) > 1:
        m += " (%.*f-%.*f)" % (nd, min(xs), nd, max(xs))
    return m


def _ratio(a, b):
    if a is None or b is None or b == 0:
        return "-"
    q = a / b
    return "%.2f" % q if q < 100 else "%.0f" % q


def _probes(results, only_while_writing=False):
    """'median / max' in ms over every probe of these feeder results."""
    lat, lost = [], 0
    for r in results:
        for sent_at, latency in r.get("probes") or []:
            if only_while_writing and sent_at > r["writer_s"]:
                continue
            if latency is None:
                lost += 1
            else:
                lat.append(latency)
    if not lat:
        return ("- (%d unanswered)" % lost) if lost else "-"
    text = "%.0f / %.0f" % (1000 * statistics.median(lat), 1000 * max(lat))
    if lost:
        text += " (%d unanswered)" % lost
    return text


def _mb_per_s_incl_drain(r):
    if r.get("drain_s") is None:
        return None
    return r["bytes"] / (r["writer_s"] + r["drain_s"]) / 1e6


class Table:
    def __init__(self, labels):
        self.labels = labels
        self.ratios = [p for p in ("gtkterm", "cutecom", "before") if p in labels]
        self.rows = []

    def numbers(self, measure, values, nd=2):
        """values: label -> list of numbers"""
        med = {l: _median(values.get(l, [])) for l in self.labels}
        self.rows.append([measure] + [_cell(values.get(l, []), nd) for l in self.labels]
                         + [_ratio(med.get("ours"), med.get(p)) for p in self.ratios])

    def text(self, measure, texts):
        self.rows.append([measure] + [texts.get(l, "-") for l in self.labels] + [""] * len(self.ratios))

    def markdown(self):
        head = ["Measure"] + [NAMES[l] for l in self.labels] + ["ours/%s" % NAMES[p] for p in self.ratios]
        out = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
        out += ["| " + " | ".join(r) + " |" for r in self.rows]
        return "\n".join(out)


def render(recs):
    meta = next((r for r in recs if r.get("test") == "meta"), {})
    end = next((r for r in recs if r.get("test") == "end"), None)
    labels = meta.get("labels") or [l for l in NAMES if any(r.get("app") == l for r in recs)]
    mine = [l for l in labels if l in MINE]
    peers = [l for l in labels if l not in MINE]

    def pick(test, label, **want):
        return [r for r in recs if r.get("test") == test and r.get("app") == label
                and all(r.get(k) == v for k, v in want.items())]

    t = Table(labels)

    # ---- paced and idle
    def ch_main(l):
        return 3 if l in MINE else 1
    paced = {l: pick("paced", l, nports=ch_main(l)) for l in labels}
    if any(paced.values()):
        secs = _median([r["res"]["writer_s"] for rs in paced.values() for r in rs]) or 0
        t.numbers("Paced %.0f s, 34,560 B/s in all: app CPU %% (%s 3 ch x 11,520 B/s; peers 1 ch x 34,560 B/s)"
                  % (secs, "/".join(mine)), {l: [r["res"]["app_cpu_pct_writer"] for r in rs] for l, rs in paced.items()}, 1)
        t.numbers("Paced: Xvfb CPU %",
                  {l: [100 * r["res"]["xvfb_cpu_s_writer"] / r["res"]["writer_s"] for r in rs] for l, rs in paced.items()}, 1)
        t.text("Paced: probe median / max, ms", {l: _probes([r["res"] for r in rs]) for l, rs in paced.items()})
    one = {l: pick("paced", l, nports=1) for l in mine}
    if any(one.values()):
        t.numbers("Paced, 1 ch at 34,560 B/s: app CPU %", {l: [r["res"]["app_cpu_pct_writer"] for r in rs] for l, rs in one.items()}, 1)
        t.numbers("Paced, 1 ch: Xvfb CPU %",
                  {l: [100 * r["res"]["xvfb_cpu_s_writer"] / r["res"]["writer_s"] for r in rs] for l, rs in one.items()}, 1)
        t.text("Paced, 1 ch: probe median / max, ms", {l: _probes([r["res"] for r in rs]) for l, rs in one.items()})
    idle = {l: pick("idle", l, nports=ch_main(l)) for l in labels}
    if any(idle.values()):
        secs = _median([r["res"]["seconds"] for rs in idle.values() for r in rs]) or 0
        t.numbers("Idle %.0f s, ports open (%s 3 ch; peers 1): app CPU %%" % (secs, "/".join(mine)),
                  {l: [r["res"]["app_cpu_pct"] for r in rs] for l, rs in idle.items()}, 2)
        t.numbers("Idle: context switches / s", {l: [r["res"]["switches_per_s"] for r in rs] for l, rs in idle.items()}, 1)
    idle1 = {l: pick("idle", l, nports=1) for l in mine}
    if any(idle1.values()):
        t.numbers("Idle, 1 ch open: app CPU %", {l: [r["res"]["app_cpu_pct"] for r in rs] for l, rs in idle1.items()}, 2)
        t.numbers("Idle, 1 ch open: context switches / s",
                  {l: [r["res"]["switches_per_s"] for r in rs] for l, rs in idle1.items()}, 1)

    # ---- one-channel floods
    sizes = sorted({r["size"] for r in recs if r.get("test") == "flood"})
    for size in sizes:
        fl = {l: pick("flood", l, size=size) for l in labels}
        res = {l: [r["res"] for r in rs] for l, rs in fl.items()}
        p = "Flood %g MB" % (size / 1e6)
        t.numbers(p + ": writer MB/s", {l: [r["writer_MBps"] for r in rs] for l, rs in res.items()})
        t.numbers(p + ": MB/s, first byte written to last byte shown",
                  {l: [_mb_per_s_incl_drain(r) for r in rs] for l, rs in res.items()})
        t.numbers(p + ": drain after the writer, s", {l: [r["drain_s"] for r in rs] for l, rs in res.items()}, 1)
        t.numbers(p + ": app CPU s, writer + drain", {l: [r["app_cpu_s_total"] for r in rs] for l, rs in res.items()})
        t.numbers(p + ": app CPU % while writing", {l: [r["app_cpu_pct_writer"] for r in rs] for l, rs in res.items()}, 0)
        t.text(p + ": probe median / max while writing, ms", {l: _probes(rs, True) for l, rs in res.items()})
        t.text(p + ": probe median / max, writer + drain, ms", {l: _probes(rs) for l, rs in res.items()})
        t.numbers(p + ": RSS before (after warm-up), MB", {l: [r["rss_before_kB"] / 1024 for r in rs] for l, rs in res.items()}, 0)
        t.numbers(p + ": RSS after, MB", {l: [r["rss_after_kB"] / 1024 for r in rs] for l, rs in res.items()}, 0)
        t.numbers(p + ": RSS growth per byte received",
                  {l: [(r["rss_after_kB"] - r["rss_before_kB"]) * 1024 / r["bytes"] for r in rs if r["bytes"]]
                   for l, rs in res.items()}, 2)
        if mine:
            t.text(p + ": pane identical to the bytes sent", {l: _identical(fl[l]) for l in mine})
            t.numbers(p + ": select-all + copy, s",
                      {l: [pc.get("copy_s") for r in fl[l] for pc in r.get("panes", []) if pc.get("checked")] for l in mine}, 1)
            t.numbers(p + ": RSS after the copy, MB",
                      {l: [r["rss_after_copy_kB"] / 1024 for r in fl[l] if r.get("rss_after_copy_kB")] for l in mine}, 0)

    # ---- three channels at once
    f3 = {l: pick("flood3", l) for l in mine}
    if any(f3.values()):
        size = next(r["size"] for rs in f3.values() for r in rs)
        p = "Flood3, 3 ch x %g MB at once" % (size / 1e6)
        t.numbers(p + ": total writer MB/s", {l: [r["overall"]["writer_MBps"] for r in rs] for l, rs in f3.items()})
        t.numbers(p + ": total MB/s incl. drain",
                  {l: [None if r["overall"]["drain_capped"] else r["overall"]["MBps_incl_drain"] for r in rs]
                   for l, rs in f3.items()})
        t.numbers(p + ": first byte written to idle, s", {l: [r["overall"]["until_idle_s"] for r in rs] for l, rs in f3.items()}, 1)
        t.text(p + ": probe median / max on ch 1, ms", {l: _probes([r["res"] for r in rs]) for l, rs in f3.items()})
        t.numbers(p + ": RSS before (after warm-up), MB",
                  {l: [r["overall"]["rss_before_kB"] / 1024 for r in rs] for l, rs in f3.items()}, 0)
        t.numbers(p + ": RSS after, MB", {l: [r["overall"]["rss_after_kB"] / 1024 for r in rs] for l, rs in f3.items()}, 0)
        t.text(p + ": panes identical to the bytes sent", {l: _identical(rs) for l, rs in f3.items()})
        t.numbers(p + ": select-all + copy per pane, s",
                  {l: [pc.get("copy_s") for r in rs for pc in r.get("panes", []) if pc.get("checked")]
                   for l, rs in f3.items()}, 1)

    out = [_header(meta, end, recs), "", t.markdown()]
    if peers and any(f3.values()):
        out += ["", "Flood3 runs on ours (and before) only: it needs three channels."]
    notes = list(meta.get("notes") or [])
    for r in recs:
        if r.get("test") == "failure":
            notes.append("FAILED: %s: %s" % (r.get("job"), r.get("error")))
        if r.get("alive_after") is False or r.get("alive_after_copy") is False:
            notes.append("%s was no longer running after %s rep %s" % (NAMES.get(r["app"], r["app"]), r["test"], r["rep"]))
        for res in [r.get("res")] + list(r.get("others") or []):
            if isinstance(res, dict) and res.get("drain_capped") and r.get("test") in ("flood", "flood3"):
                notes.append("%s %s rep %s: the program did not go idle within the drain cap" % (r["app"], r["test"], r["rep"]))
            if isinstance(res, dict) and res.get("timed_out"):
                notes.append("%s %s rep %s: the writer hit its time cap" % (r["app"], r["test"], r["rep"]))
    if end and end.get("changed"):
        notes.append("the copied executable of %s changed during the run" % ", ".join(end["changed"]))
    if notes:
        out += ["", "Notes:"] + ["- " + n for n in notes]
    return "\n".join(out) + "\n"


def _identical(recs):
    panes = [pc for r in recs for pc in r.get("panes", [])]
    if not panes:
        return "-"
    same = sum(1 for pc in panes if pc.get("identical"))
    return ("yes (%d of %d)" if same == len(panes) else "NO (%d of %d)") % (same, len(panes))


def _header(meta, end, recs):
    lines = ["Window benchmark, run %s" % (meta.get("run") or recs[0].get("run"))]
    m = meta.get("machine") or {}
    if m:
        lines.append("Machine: %s CPUs (%s), %s GB, Linux %s, Qt 6 %s, Python %s" % (
            m.get("cpus"), m.get("cpu"), m.get("memory_GB"), m.get("kernel"), m.get("qt"), m.get("python")))
    progs = meta.get("programs") or {}
    for l in meta.get("labels") or []:
        p = progs.get(l, {})
        if l in MINE:
            lines.append("- %s: %s (sha256 %s)" % (NAMES[l], p.get("path"), (p.get("sha256") or "")[:12]))
        else:
            lines.append("- %s: %s %s" % (NAMES[l], p.get("path"), p.get("version") or ""))
    o = meta.get("options") or {}
    if o:
        only = o.get("only") or []
        parts = []
        if "idle" in only:
            parts.append("idle %g s x %s" % (o["idle_s"], o["reps"]))
        if "paced" in only:
            parts.append("paced %g s x %s" % (o["paced_s"], o["reps"]))
        if "flood" in only:
            parts.append("flood %s MB x %s" % (" and ".join("%g" % x for x in o["flood_mb"]), o["reps"]))
        if "flood3" in only and any(l in MINE for l in meta.get("labels") or []):
            parts.append("flood3 3 x %g MB x %s" % (o["flood3_mb"], o["reps_flood3"]))
        lines.append("Tests (x repetitions): %s%s" % (", ".join(parts), "; quick run" if o.get("quick") else ""))
    loads = [float(r["loadavg"][0]) for r in recs if r.get("loadavg") and r.get("test") not in ("meta",)]
    if loads:
        lines.append("1-minute load average at the end of the tests: %.2f-%.2f" % (min(loads), max(loads)))
    if end:
        lines.append("Duration: %.1f min, %d test(s) failed" % (end["seconds"] / 60, end.get("failed", 0)))
    lines.append("Cells: median over the repetitions (lowest-highest). Compare figures of this run only.")
    return "\n".join(lines)
