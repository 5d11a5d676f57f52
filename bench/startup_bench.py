"""Start-up time, memory and idle CPU of the shell beside a bare Qt
WebEngine view loading the same page, in the same run, on a virtual
display. Each run starts every case once, one after the other, so that the
cases share the machine's state; the table gives the median of the runs
and their range. Usage: python3 bench/startup_bench.py [RUNS] [CASE...]
(a case is picked by a word of its name, e.g. "1" or "3"). The cases with
Debian's Chromium (an app window on a fresh profile, the browser a user
would otherwise use) run where chromium is installed."""

import http.server
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
PAGES = os.path.join(ROOT, "bench", "pages")
loaded = []
lock = threading.Lock()


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *a, **kw):
        super().__init__(*a, directory=PAGES, **kw)

    def log_message(self, *a):
        pass

    def do_POST(self):
        n = int(self.headers.get("Content-Length", "0"))
        self.rfile.read(n)
        with lock:
            loaded.append((time.monotonic(), self.path))
        self.send_response(204)
        self.end_headers()


def tree(pid):
    pids = [pid]
    out = subprocess.run(["ps", "-e", "-o", "pid=,ppid="], capture_output=True, text=True).stdout
    rows = [tuple(map(int, l.split())) for l in out.strip().splitlines()]
    i = 0
    while i < len(pids):
        pids += [p for p, pp in rows if pp == pids[i]]
        i += 1
    return pids


def memory(pid):
    rss = pss = 0
    for p in tree(pid):
        try:
            with open(f"/proc/{p}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Rss:"):
                        rss += int(line.split()[1])
                    elif line.startswith("Pss:"):
                        pss += int(line.split()[1])
        except OSError:
            pass
    return rss / 1024, pss / 1024


def cpu_ticks(pid):
    total = 0
    for p in tree(pid):
        try:
            with open(f"/proc/{p}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
                total += int(fields[11]) + int(fields[12])
        except OSError:
            pass
    return total


def run(cmd, env, expect, cwd, later=()):
    """Starts `cmd` and, once its first page has loaded, each command of
    `later` (windows opened afterwards by the same program)."""
    with lock:
        loaded.clear()
    t0 = time.monotonic()
    proc = subprocess.Popen(cmd, env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    helpers = []
    deadline = t0 + 60
    first = last = None
    while time.monotonic() < deadline:
        with lock:
            if loaded and first is None:
                first = loaded[0][0] - t0
                helpers = [subprocess.Popen(c, env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL) for c in later]
            if len(loaded) >= expect:
                last = loaded[expect - 1][0] - t0
                break
        time.sleep(0.002)
    time.sleep(3)
    rss, pss = memory(proc.pid)
    hz = os.sysconf("SC_CLK_TCK")
    c0 = cpu_ticks(proc.pid)
    time.sleep(10)
    idle = (cpu_ticks(proc.pid) - c0) / hz / 10 * 100
    proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(30)
    except subprocess.TimeoutExpired:
        proc.kill()
    for h in helpers:
        h.wait(30)
    return first, last, rss, pss, idle


def chromium(url, home):
    """An app window of Debian's Chromium on `url` with a fresh profile in
    `home`, drawing in software as the other cases do. A later command with
    the same profile opens its window in the running browser and exits."""
    flags = [f"--user-data-dir={home}/chromium", "--no-first-run", "--no-default-browser-check",
             "--disable-gpu", "--password-store=basic", "--window-size=800,600"]
    if os.geteuid() == 0:
        flags.append("--no-sandbox")
    return [shutil.which("chromium") or "chromium", *flags, f"--app={url}"]


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    picked = sys.argv[2:]
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{httpd.server_address[1]}/start.html"
    env = dict(os.environ, QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu")
    xvfb = None
    if "DISPLAY" not in env:
        env["DISPLAY"] = ":79"
        xvfb = subprocess.Popen(["Xvfb", ":79", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                                 "-noreset"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
    work = tempfile.mkdtemp(prefix="velk-bench-")
    shutil.copy2(os.path.join(BUILD, "VelkSTKApp"), work)
    # The same window size as the bare view's.
    with open(os.path.join(work, "app.ini"), "w") as f:
        f.write("[APP]\nWW=800\nHH=600\nLMW=400\nLMH=300\n")
    results = {}
    # Each case: its name, its command and the commands it runs after the
    # first load (both from the run's fresh home), how many loads it waits for.
    shell = os.path.join(work, "VelkSTKApp")
    bare = os.path.join(BUILD, "bare_view")
    cases = [
        ("bare view, 1", lambda h: ([bare, base], []), 1),
        ("shell, 1 chat window", lambda h: ([shell, f"x://url={base}?view=0"], []), 1),
        ("chromium --app, 1", lambda h: (chromium(base + "?view=0", h), []), 1),
        ("bare views, 3", lambda h: ([bare, base, "3"], []), 3),
        ("shell, 3 chat windows", lambda h: ([shell, f"x://url={base}?view=0&more=2"], []), 3),
        ("chromium --app, 3", lambda h: (chromium(base + "?view=0", h),
                                         [chromium(f"{base}?view={i}", h) for i in (1, 2)]), 3),
    ]
    if not shutil.which("chromium"):
        print("chromium is not installed (apt install chromium): its cases are left out")
        cases = [c for c in cases if not c[0].startswith("chromium")]
    cases = [c for c in cases if not picked or any(w in c[0].split(", ")[1].split() for w in picked)]
    for _ in range(runs):
        for name, command, expect in cases:
            shutil.rmtree(os.path.join(work, "cache"), ignore_errors=True)
            home = tempfile.mkdtemp(prefix="velk-bench-home-")
            e = dict(env, HOME=home, XDG_CONFIG_HOME=home + "/c", XDG_DATA_HOME=home + "/d")
            cmd, later = command(home)
            results.setdefault(name, []).append(run(cmd, e, expect, work, later))
            shutil.rmtree(home, ignore_errors=True)
    print(f"median (min-max) of {runs} runs")
    print(f"{'case':28} {'first load ms':>16} {'all loaded ms':>16} {'RSS MB':>12} {'PSS MB':>12} {'idle CPU %':>15}")
    for name, rs in results.items():
        def cell(i, scale, fmt):
            vals = [r[i] * scale for r in rs if r[i] is not None]
            if not vals:
                return "-"
            return f"{statistics.median(vals):{fmt}} ({min(vals):{fmt}}-{max(vals):{fmt}})"
        print(f"{name:28} {cell(0, 1000, '.0f'):>16} {cell(1, 1000, '.0f'):>16} {cell(2, 1, '.0f'):>12}"
              f" {cell(3, 1, '.0f'):>12} {cell(4, 1, '.2f'):>15}")
    httpd.shutdown()
    if xvfb:
        xvfb.terminate()
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
