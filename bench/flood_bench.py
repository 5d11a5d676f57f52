"""Floods from a page of the service, measured from outside the program on
a virtual display with a window manager (Xvfb and icewm):

- the main chat page's placement query (command 19 with CALL) is sent
  every 50 ms, one at a time, and timed until its answer reaches JSRecv:
  median, 95th percentile and maximum while each flood is dealt with;
- the memory (PSS of the whole process tree, and per kind of process)
  before the floods, at each flood's peak, and 30 s after every window of
  the floods has closed.

The floods, one after the other in one program run, each in one script run:
  popups         300 alarm popups (1 s each on screen) from the service's page
  foreign        100 chat windows and 300 popups from a page outside the
                 service (the chat page of another origin, in a window of
                 its own)
  side           100 chat windows from the service's page, closed by
                 command 25 once all are open
  packets        50,000 packets that do nothing

Not a test: it prints figures. Usage:

    python3 bench/flood_bench.py [--binary build/VelkSTKApp]
"""

import argparse
import json
import os
import statistics
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402  (the display, page server and program of the end-to-end tests)

PAGE = "flood"
FOREIGN = "foreign"
PINGER = """
window.rtts = [];
window.JSRecv = function (t) {
  if (t.indexOf('<CALL>') >= 0 && window.t0) { rtts.push(performance.now() - t0); t0 = 0; }
};
setInterval(function () {
  if (!window.t0) { window.t0 = performance.now(); send(pkt(19, {CALL: 1})); }
}, 50);
"""
FLOODS = {
    "popups": "for (var i = 0; i < 300; ++i) send(pkt(22, {DLGTIT: 'flood', ANIM_TIME: 3, "
              "CLOSESEC: 1, URL: location.origin + '/many.html?' + i}))",
    "foreign": "for (var i = 0; i < 100; ++i) send(pkt(20, {DLGTIT: 'side-' + i, TP: 2, "
               "WW: 300, HH: 200, URL: location.origin + '/many.html?s' + i})); "
               "for (var i = 0; i < 300; ++i) send(pkt(22, {DLGTIT: 'flood', ANIM_TIME: 3, "
               "CLOSESEC: 1, URL: location.origin + '/many.html?' + i}))",
    "side": "for (var i = 0; i < 100; ++i) send(pkt(20, {DLGTIT: 'side-' + i, TP: 2, WW: 300, "
            "HH: 200, URL: location.origin + '/many.html?s' + i}))",
    "packets": "for (var i = 0; i < 50000; ++i) send(pkt(0, {}))",
}


def pss_by_kind(pid):
    """PSS in MB per kind of process: the program's own, and the engine's
    by their --type (renderer, gpu-process, zygote, utility)."""
    kinds = {}
    for p in [pid, *harness.descendants(pid)]:
        try:
            with open(f"/proc/{p}/cmdline", "rb") as f:
                args = f.read().split(b"\0")
            with open(f"/proc/{p}/smaps_rollup") as f:
                kb = sum(int(line.split()[1]) for line in f if line.startswith("Pss:"))
        except OSError:
            continue
        kind = next((a[7:].decode() for a in args if a.startswith(b"--type=")),
                    "program" if p == pid else "other")
        kinds[kind] = kinds.get(kind, 0) + kb / 1024
    return kinds


def pss_mb(pid):
    return sum(pss_by_kind(pid).values())


def breakdown(pid):
    return ", ".join(f"{k} {v:.0f}" for k, v in sorted(pss_by_kind(pid).items()))


def flood_windows(display):
    return display.windows_named("^(flood|side-.*|many)$")


def run_flood(prog, server, display, name, settle):
    """Floods, samples the memory until the flood's windows are gone,
    returns the round trips while it lasted and the peak memory."""
    server.push(PAGE, "rtts.splice(0)")
    time.sleep(0.5)
    server.push(FOREIGN if name == "foreign" else PAGE, FLOODS[name])
    start, peak, closing, at_peak = time.time(), 0.0, False, ""
    time.sleep(1)
    while time.time() - start < 300:
        now = pss_mb(prog.proc.pid)
        if now > peak:
            peak, at_peak = now, breakdown(prog.proc.pid)
        if name in ("side", "foreign") and not closing and (
                len(flood_windows(display)) >= 100 or name == "foreign"):
            closing = True
            server.push(FOREIGN if name == "foreign" else PAGE, "send(pkt(25, {}))")
        if not flood_windows(display) and time.time() - start > settle:
            break
        time.sleep(0.5)
    took = time.time() - start
    kind = f"rtts-{name}"
    server.push(PAGE, f"report('{kind}', JSON.stringify(rtts.splice(0)))")
    prog.wait_for(lambda: server.reports_of(kind, PAGE), what="the round trips")
    print(f"  at its peak: {at_peak}", flush=True)
    return json.loads(server.reports_of(kind, PAGE)[0]), peak, took


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "VelkSTKApp"))
    args = parser.parse_args()
    harness.BINARY = os.path.abspath(args.binary)
    display = harness.Display().start()
    server = harness.PageServer()
    prog = harness.Program(display)
    try:
        with open(os.path.join(prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write(f"[APP]\nXX=0\nYY=0\nWW=600\nHH=400\nLMW=300\nLMH=200\n"
                    f"TRUSTEDORIGINS=http://127.0.0.1:{server.port}\n")
        prog.start(f"velk://url={server.url('chat_test.html')}?id={PAGE}")
        prog.wait_for(lambda: server.reports_of("loaded", PAGE), timeout=60, what="the chat page")
        server.push(PAGE, PINGER)
        # The foreign page, in a chat window of its own (its address's host
        # is not the service's).
        foreign = server.url(f"chat_test.html?id={FOREIGN}").replace("127.0.0.1", "localhost")
        server.push(PAGE, f"send(pkt(20, {{DLGTIT: 'other site', URL: '{foreign}'}}))")
        prog.wait_for(lambda: server.reports_of("loaded", FOREIGN), timeout=60,
                      what="the foreign page")
        time.sleep(10)
        before = pss_mb(prog.proc.pid)
        print("before:", breakdown(prog.proc.pid))
        print(f"{'flood':8} {'seconds':>7} {'queries':>7} {'median':>7} {'p95':>7} {'max':>7}"
              f" {'peak MB':>8}")
        peaks = []
        for name in FLOODS:
            rtts, peak, took = run_flood(prog, server, display, name, settle=3)
            peaks.append(peak)
            q = statistics.quantiles(rtts, n=20, method='inclusive') if len(rtts) > 1 else [0] * 19
            print(f"{name:8} {took:7.1f} {len(rtts):7} {statistics.median(rtts):6.0f}ms"
                  f" {q[18]:6.0f}ms {max(rtts):6.0f}ms {peak:8.0f}", flush=True)
        time.sleep(30)
        after = pss_mb(prog.proc.pid)
        print("after: ", breakdown(prog.proc.pid))
        print(f"memory (PSS, MB): before {before:.0f}, peak {max(peaks):.0f}, "
              f"30 s after {after:.0f} ({(after - before) / before * 100:+.0f} %)")
    finally:
        prog.cleanup()
        server.stop()
        display.stop()


if __name__ == "__main__":
    main()
