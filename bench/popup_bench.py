"""Ten popup windows (as many as are shown at once) animating together,
measured from outside the program on a virtual display with a window manager (Xvfb and icewm):

- how late each 100 ms animation step comes: the gap between two steps of
  one popup less 100 ms, from the X server's times of the popups' opacity
  changes (each step of the fade sets a new _NET_WM_WINDOW_OPACITY);
- the time from the page's request (it reports just before it sends the
  ten packets) until every popup has made its last step and is opaque;
- the CPU time of the program's whole process tree: while the popups
  appear (their browsers start with their fade), while they go on fading
  after their pages have loaded, and idle afterwards with the popups open;
  and, while they appear, what kept the user-interface thread (which runs
  every popup's steps) from its timers: its own running time, its time
  waiting for a core, and what else used the cores (the renderers, the
  rest of the machine);
- the memory (PSS of the whole process tree) that a popup adds, beside what
  a chat window of the same size showing the same page adds.

Not a test: it prints figures. Each run starts the program three times
(popups with a one-second fade; popups with a ten-second fade; chat
windows). Usage:

    python3 bench/popup_bench.py [--binary build/VelkSTKApp]
                                 [--watch build/popup_xwatch] [--runs 5]
"""

import argparse
import http.server
import os
import signal
import statistics
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402  (the display and the program of the end-to-end tests)

PAGES = os.path.join(ROOT, "bench", "pages")
COUNT = 10  # as many popups as are shown at once
TITLE = "bench popup"
OPAQUE = 0xFFFFFFFF
HZ = os.sysconf("SC_CLK_TCK")


class Server:
    """Serves the bench pages; /cmd?run=R hands the chat page of run R the
    next script queued for it; POST /report/KIND?run=R is counted for run
    R. A page of an earlier run that is still about cannot take a script
    or count for the current one."""

    def __init__(self):
        self.lock = threading.Lock()
        self.scripts = []
        self.reports = []
        self.arrivals = {}  # when each kind of report first arrived (monotonic s)
        self.run = ""
        outer = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *a, **kw):
                super().__init__(*a, directory=PAGES, **kw)

            def log_message(self, *a):
                pass

            def end_headers(self):
                self.send_header("Cache-Control", "no-store")
                super().end_headers()

            def do_GET(self):
                if self.path.startswith("/cmd?"):
                    with outer.lock:
                        mine = self.path == "/cmd?run=" + outer.run
                        body = outer.scripts.pop(0).encode() if mine and outer.scripts else b""
                    self.send_response(200 if body else 204)
                    self.send_header("Content-Length", str(len(body)))
                    self.end_headers()
                    self.wfile.write(body)
                    return
                super().do_GET()

            def do_POST(self):
                self.rfile.read(int(self.headers.get("Content-Length", "0")))
                with outer.lock:
                    outer.reports.append(self.path)
                    outer.arrivals.setdefault(self.path, time.monotonic())
                self.send_response(204)
                self.end_headers()

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        self.base = f"http://127.0.0.1:{self.httpd.server_address[1]}/"

    def new_run(self):
        """Forgets everything of the run before; the id of the new one."""
        with self.lock:
            self.run = str(time.time_ns())
            self.reports.clear()
            self.arrivals.clear()
            self.scripts.clear()
            return self.run

    def push(self, script):
        with self.lock:
            self.scripts.append(script)

    def arrival(self, kind):
        with self.lock:
            return self.arrivals.get(f"/report/{kind}?run={self.run}")

    def count(self, kind):
        with self.lock:
            return self.reports.count(f"/report/{kind}?run={self.run}")


class Watcher:
    """popup_xwatch on the display: per window, its opacity changes with
    the X server's times, its pid and name when mapped."""

    def __init__(self, exe, display):
        self.lock = threading.Lock()
        self.lines = []
        self.proc = subprocess.Popen([exe], env=display.env(), stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        threading.Thread(target=self._read, daemon=True).start()
        wait(lambda: any(" READY" in line for line in self.snapshot()), "the watcher")

    def _read(self):
        for raw in self.proc.stdout:
            with self.lock:
                self.lines.append(raw.decode("utf-8", "replace").rstrip("\n"))

    def snapshot(self):
        with self.lock:
            return list(self.lines)

    def popups(self, pid, seen=False):
        """{wid: [(server ms, alpha 0..255)]} of the program's popups; with
        `seen`, the times are when the watcher saw each change (monotonic s)."""
        steps = {}
        lines = self.snapshot()
        # A popup is known by its title when it is mapped: while its page
        # loads, the title its window has for a moment is the page's address.
        ours = {line.split(" ", 4)[2] for line in lines
                if line.split(" ", 4)[1:2] == ["MAP"] and line.endswith(f"pid={pid} name={TITLE}")}
        for line in lines:
            parts = line.split(" ", 6)
            if parts[1] != "OPACITY" or parts[2] not in ours:
                continue
            value = OPAQUE if parts[3] == "none" else int(parts[3])
            t = int(parts[0]) / 1e6 if seen else int(parts[4])
            steps.setdefault(parts[2], []).append((t, round(value * 255 / OPAQUE)))
        return steps

    def stop(self):
        self.proc.kill()
        self.proc.wait()
        # The last watch is kept for a look when a figure seems odd.
        with open(os.path.join(os.environ.get("TMPDIR", "/tmp"), "popup_xwatch.log"), "w") as f:
            f.write("\n".join(self.snapshot()) + "\n")


def wait(predicate, what, timeout=120):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.02)
    raise RuntimeError(f"timed out waiting for {what}")


def tree(pid):
    children = {}
    for d in os.listdir("/proc"):
        if d.isdigit():
            try:
                with open(f"/proc/{d}/stat") as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(ppid, []).append(int(d))
            except OSError:
                pass
    out, todo = [], [pid]
    while todo:
        p = todo.pop()
        out.append(p)
        todo += children.get(p, [])
    return out


def cpu_seconds(pid):
    """User and system time of the process tree, its reaped children included."""
    total = 0
    for p in tree(pid):
        try:
            with open(f"/proc/{p}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += sum(int(v) for v in fields[11:15])
        except OSError:
            pass
    return total / HZ


def cpu_percent(pid, seconds):
    """CPU of the process tree over the next `seconds`, in % of one core."""
    c0, t0 = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    return (cpu_seconds(pid) - c0) / (time.monotonic() - t0) * 100


def ticks_of(path):
    try:
        with open(path) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except OSError:
        return 0


def cpu_by_part(pid, display):
    """CPU seconds so far of the parts that share the machine's cores: the
    program's user-interface thread (with the ns it has run and waited for a
    core), its other threads, the engine's renderers, its other processes
    (GPU, zygotes, utilities), the X server with the window manager, and
    every process on the machine."""
    with open(f"/proc/{pid}/task/{pid}/schedstat") as f:
        run_ns, wait_ns = (int(v) for v in f.read().split()[:2])
    parts = {"ui thread": ticks_of(f"/proc/{pid}/task/{pid}/stat"), "ui running": run_ns / 1e9 * HZ,
             "ui waiting": wait_ns / 1e9 * HZ}
    parts["other threads"] = ticks_of(f"/proc/{pid}/stat") - parts["ui thread"]
    parts["renderers"] = parts["engine, other"] = 0
    for p in tree(pid)[1:]:
        try:
            with open(f"/proc/{p}/cmdline", "rb") as f:
                renderer = b"--type=renderer" in f.read()
        except OSError:
            continue
        parts["renderers" if renderer else "engine, other"] += ticks_of(f"/proc/{p}/stat")
    parts["X server, window manager"] = sum(ticks_of(f"/proc/{x.pid}/stat") for x in display.procs)
    with open("/proc/stat") as f:
        cpu = [int(v) for v in f.readline().split()[1:]]
    parts["whole machine"] = sum(cpu) - cpu[3] - cpu[4]  # less idle and I/O wait
    return {k: v / HZ for k, v in parts.items()}


def pss_mb(pid):
    total = 0
    for p in tree(pid):
        try:
            with open(f"/proc/{p}/smaps_rollup") as f:
                total += sum(int(line.split()[1]) for line in f if line.startswith("Pss:"))
        except OSError:
            pass
    return total / 1024


def alpha_of_step(step, steps):
    """The alpha the popup's opacity has after `step` of `steps` (0: the start)."""
    percent = 1 if step == 0 else int(step * 100 / steps)
    return min(max(percent, 20), 100) * 255 // 100


def lateness(popups, steps, after_ms=None):
    """Gap less 100 ms between two consecutive steps of one popup, for every
    pair of steps whose opacities differ from those before them (the first
    steps of a fade stay at 20 %). `after_ms`: only steps at or after this
    server time."""
    first_step = {}
    for k in range(steps, -1, -1):
        first_step[alpha_of_step(k, steps)] = k
    out = []
    for events in popups.values():
        at = {}
        for t, alpha in events:
            k = first_step.get(alpha)
            if k is not None and k not in at:
                at[k] = t
        for k in range(1, steps + 1):
            if k in at and k - 1 in at and (after_ms is None or at[k - 1] >= after_ms):
                out.append(at[k] - at[k - 1] - 100)
    return out


def finished(popups):
    """Every popup made translucent and then opaque again."""
    return len(popups) == COUNT and all(
        ev and ev[-1][1] == 255 and any(a != 255 for _, a in ev) for ev in popups.values())


def start_program(display, server):
    prog = harness.Program(display)
    with open(os.path.join(prog.dir, "app.ini"), "w", encoding="utf-8") as f:
        # The bench's pages are the service's: others may open only a few windows.
        f.write("[APP]\nXX=0\nYY=0\nWW=600\nHH=400\nLMW=300\nLMH=200\n"
                f"TRUSTEDORIGINS={server.base.rstrip('/')}\n")
    run = server.new_run()
    prog.start(f"velk://url={server.base}popup_chat.html?run={run}")
    wait(lambda: server.count("chat"), "the chat page")
    time.sleep(3)
    return prog


def end_program(prog):
    """Ends the program in order, so that none of its pages outlives it."""
    try:
        if prog.running():
            prog.signal(signal.SIGTERM)
            prog.wait(60)
    finally:
        prog.cleanup()


def popups_script(anim_time):
    return (f"report('request'); for (var i = 0; i < {COUNT}; ++i) send(pkt(22, {{DLGTIT: '{TITLE}', ANIM: 1 + i % 3, "
            f"ANIM_TIME: {anim_time}, CLOSESEC: 0, URL: location.origin + '/popup_page.html?run=' + run}}))")


def run_burst(display, server, watch):
    """Popups with a one-second fade, all at once: the step lateness while
    their browsers start, the CPU of that second, and the memory they add."""
    prog = start_program(display, server)
    pid = prog.proc.pid
    try:
        idle_before = cpu_percent(pid, 3)
        pss_before = pss_mb(pid)
        watcher = Watcher(watch, display)
        try:
            c0, t0, parts0 = cpu_seconds(pid), time.monotonic(), cpu_by_part(pid, display)
            server.push(popups_script(10))
            wait(lambda: finished(watcher.popups(pid)), "the popups opaque")
            c1, t1, parts1 = cpu_seconds(pid), time.monotonic(), cpu_by_part(pid, display)
            late = lateness(watcher.popups(pid), 10)
            # From the page's request (its report just before it sends the
            # packets) to the last popup's last step.
            opaque_s = max(ev[-1][0] for ev in watcher.popups(pid, seen=True).values()) - \
                server.arrival("request")
        finally:
            watcher.stop()
        wait(lambda: server.count("page") >= COUNT, "the popups' pages")
        time.sleep(3)
        pss_after = pss_mb(pid)
        idle_after = cpu_percent(pid, 3)
    finally:
        end_program(prog)
    used = {k: parts1[k] - parts0[k] for k in parts0}
    return {"late": late, "appear_cpu_s": c1 - c0, "appear_s": t1 - t0, "opaque_s": opaque_s,
            "appear_parts": used,
            "idle_before": idle_before, "idle_after": idle_after,
            "popup_pss": (pss_after - pss_before) / COUNT, "pss_before": pss_before}


def run_long_fade(display, server, watch):
    """Popups with a ten-second fade: CPU while they fade with their pages
    loaded, then idle with the same popups open; the lateness of the steps
    after the pages have loaded."""
    prog = start_program(display, server)
    pid = prog.proc.pid
    try:
        watcher = Watcher(watch, display)
        try:
            server.push(popups_script(100))
            wait(lambda: server.count("page") >= COUNT, "the popups' pages")
            time.sleep(1)
            fading = len([1 for ev in watcher.popups(pid).values() if ev])
            mark = max((t for ev in watcher.popups(pid).values() for t, _ in ev), default=0)
            fading_cpu = cpu_percent(pid, 3)
            # Every popup still fading at the end of that measurement.
            still = all(not any(a == 255 for _, a in ev) for ev in watcher.popups(pid).values())
            wait(lambda: finished(watcher.popups(pid)), "the popups opaque")
            late = lateness(watcher.popups(pid), 100, after_ms=mark)
        finally:
            watcher.stop()
        time.sleep(1)
        idle_cpu = cpu_percent(pid, 3)
    finally:
        end_program(prog)
    return {"fading_cpu": fading_cpu if still and fading == COUNT else float("nan"),
            "idle_cpu": idle_cpu, "late_loaded": late}


def run_chats(display, server):
    """Chat windows of the popups' size on the popups' page: the memory each adds."""
    prog = start_program(display, server)
    pid = prog.proc.pid
    try:
        pss_before = pss_mb(pid)
        server.push(f"for (var i = 0; i < {COUNT}; ++i) send(pkt(20, {{TP: 3, DLGTIT: 'bench chat ' + i, "
                    "XX: 1000, YY: 600, WW: 220, HH: 180, LMIW: 100, LMIH: 100, "
                    "URL: location.origin + '/popup_page.html?run=' + run}))")
        wait(lambda: server.count("page") >= COUNT, "the chat windows' pages")
        time.sleep(3)
        pss_after = pss_mb(pid)
    finally:
        end_program(prog)
    return {"chat_pss": (pss_after - pss_before) / COUNT}


def pct(values, q):
    s = sorted(values)
    return s[min(len(s) - 1, max(0, round(q / 100 * (len(s) - 1))))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "VelkSTKApp"))
    parser.add_argument("--watch", default=os.path.join(ROOT, "build", "popup_xwatch"))
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    harness.BINARY = os.path.abspath(args.binary)
    display = harness.Display().start()
    server = Server()
    rows = []
    try:
        for n in range(args.runs):
            r = run_burst(display, server, args.watch)
            r.update(run_long_fade(display, server, args.watch))
            r.update(run_chats(display, server))
            r["late_median"] = statistics.median(r["late"])
            r["late_p99"] = pct(r["late"], 99)
            r["late_max"] = max(r["late"])
            r["late_loaded_median"] = statistics.median(r["late_loaded"])
            r["late_loaded_p99"] = pct(r["late_loaded"], 99)
            rows.append(r)
            print(f"run {n + 1}: while the popups appear ({r['appear_s']:.1f} s), CPU s: " +
                  ", ".join(f"{k} {v:.2f}" for k, v in r["appear_parts"].items()), flush=True)
            print(f"run {n + 1}: steps {len(r['late'])}, lateness median {r['late_median']} ms, "
                  f"p99 {r['late_p99']} ms, max {r['late_max']} ms; after load: "
                  f"{len(r['late_loaded'])} steps, median {r['late_loaded_median']} ms, "
                  f"p99 {r['late_loaded_p99']} ms", flush=True)
    finally:
        display.stop()
        server.httpd.shutdown()

    figures = [
        ("step lateness, appearing: median (ms)", "late_median"),
        ("step lateness, appearing: p99 (ms)", "late_p99"),
        ("step lateness, appearing: max (ms)", "late_max"),
        ("step lateness, pages loaded: median (ms)", "late_loaded_median"),
        ("step lateness, pages loaded: p99 (ms)", "late_loaded_p99"),
        (f"{COUNT} popups: from the request until all are opaque (s)", "opaque_s"),
        (f"CPU to make {COUNT} popups appear (CPU s)", "appear_cpu_s"),
        ("  ... over (s, from the bench's push until all opaque)", "appear_s"),
        ("  ... UI thread running (s)", lambda r: r["appear_parts"]["ui running"]),
        ("  ... UI thread waiting for a core (s)", lambda r: r["appear_parts"]["ui waiting"]),
        ("  ... renderers (CPU s)", lambda r: r["appear_parts"]["renderers"]),
        ("  ... whole machine, all cores (CPU s)", lambda r: r["appear_parts"]["whole machine"]),
        (f"CPU, {COUNT} popups fading, pages loaded (% of a core)", "fading_cpu"),
        (f"CPU, same {COUNT} popups idle (% of a core)", "idle_cpu"),
        ("CPU idle, chat window only (% of a core)", "idle_before"),
        (f"CPU idle, {COUNT} popups open (% of a core)", "idle_after"),
        ("PSS, program with its chat window (MB)", "pss_before"),
        ("PSS added by one popup (MB)", "popup_pss"),
        ("PSS added by one chat window (MB)", "chat_pss"),
    ]
    print(f"\n{len(rows)} runs, {os.cpu_count()} cores, Xvfb + icewm, {COUNT} popups")
    print(f"{'figure':56} {'median':>8} {'min':>8} {'max':>8}")
    for name, key in figures:
        vals = [key(r) if callable(key) else r[key] for r in rows]
        print(f"{name:56} {statistics.median(vals):8.2f} {min(vals):8.2f} {max(vals):8.2f}")


if __name__ == "__main__":
    main()
