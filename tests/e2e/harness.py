"""Fixtures of the end-to-end tests: an X server with a window manager that
has a taskbar and a tray, a fresh copy of the program in a directory of its
own with an isolated home, and ways to watch it from outside (the X11 window
list, files written, its exit)."""

import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

BINARY = os.environ.get("VELK_BINARY", "")
ARTIFACTS = os.environ.get("VELK_ARTIFACTS", "")

# Output of the program that means something went badly wrong.
BAD_OUTPUT = ("AddressSanitizer", "runtime error:", "LeakSanitizer", "Segmentation fault",
              "Release of profile requested but WebEnginePage still not deleted",
              "QObject::~QObject: Timers cannot be stopped from another thread")


# The window managers a display can run, as started under Xvfb. icewm has a
# taskbar with a tray; metacity (the GNOME family's manager) and openbox have
# neither.
WINDOW_MANAGERS = {
    "icewm": ["icewm"],
    "metacity": ["metacity"],
    "openbox": ["openbox", "--sm-disable"],
}


class Display:
    """Xvfb plus a window manager: icewm (taskbar at the bottom, tray on it
    unless `tray` is false) unless `wm` names another of WINDOW_MANAGERS.
    With `screens` above 1, that many screens of `width` x `height` side by
    side, the first one primary (`width` is then the whole desktop's)."""

    def __init__(self, width=1280, height=1024, tray=True, wm="icewm", screens=1):
        self.width, self.height = width * screens, height
        self.screens = [(width * i, 0, width, height) for i in range(screens)]
        self.tray = tray and wm == "icewm"
        self.wm = wm
        self.procs = []
        self.name = None

    def start(self):
        # Xvfb picks a free display number itself and tells it on a pipe:
        # runs side by side cannot take the same number, as they could when
        # each looked for free lock files first.
        ready_r, ready_w = os.pipe()
        # The server must never reset. A reset comes when its last set-up
        # client leaves, and it closes every connection still in its
        # handshake: a readiness probe leaving just as the window manager
        # connects drops the manager ("Can't open display"). The screens of
        # a desktop of several, RandR monitors, would be lost with it too.
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(ready_w), "-screen", "0",
             f"{self.width}x{self.height}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(ready_w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(ready_w)
        number = b""
        deadline = time.time() + 30
        with os.fdopen(ready_r, "rb", buffering=0) as ready:
            while not number.endswith(b"\n") and time.time() < deadline:
                if not select.select([ready], [], [], 0.5)[0]:
                    continue
                chunk = ready.read(16)
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            xvfb.kill()
            raise RuntimeError("no X server could be started")
        self.name = f":{int(number)}"
        self.procs.append(xvfb)
        if len(self.screens) > 1:
            self._split_into_screens()
        self.home = tempfile.mkdtemp(prefix="velk-wm-")
        if self.wm == "icewm" and not self.tray:
            os.makedirs(os.path.join(self.home, ".icewm"))
            with open(os.path.join(self.home, ".icewm", "preferences"), "w") as f:
                f.write("ShowTaskBar=0\nTaskBarShowTray=0\n")
        env = dict(os.environ, DISPLAY=self.name, HOME=self.home)
        # What the manager says is kept: if it ends early, the error names it.
        self.wm_log = os.path.join(self.home, "wm.log")
        with open(self.wm_log, "wb") as log:
            wm = subprocess.Popen(WINDOW_MANAGERS[self.wm], env=env, stdout=subprocess.DEVNULL,
                                  stderr=log)
        self.procs.append(wm)
        # A manager is ready once it has announced itself on the root window
        # and published the work area (icewm with its taskbar: once that
        # exists too). On a busy machine that can take a while; tests without
        # it would fail in ways that do not name the cause.
        deadline = time.time() + 120
        while not self._wm_ready():
            if wm.poll() is not None:
                with open(self.wm_log, errors="replace") as log:
                    said = log.read()[-2000:]
                raise RuntimeError(f"{self.wm} ended with {wm.returncode} on {self.name}: {said}")
            if time.time() > deadline:
                raise RuntimeError(f"{self.wm} did not get ready on {self.name}")
            time.sleep(0.1)
        return self

    def _split_into_screens(self):
        """One monitor per screen, the first on the server's one output
        (which then stands for no monitor of its own) and primary."""
        for i, (x, y, w, h) in enumerate(self.screens):
            mm = lambda px: px * 254 // 960  # at 96 dots per inch
            subprocess.run(["xrandr", "--setmonitor", ("*" if i == 0 else "") + f"screen-{i}",
                            f"{w}/{mm(w)}x{h}/{mm(h)}+{x}+{y}", "screen" if i == 0 else "none"],
                           env=self.env(), check=True, capture_output=True)

    def _wm_ready(self):
        lines = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK", "_NET_WORKAREA"],
                               env=self.env(), capture_output=True, text=True).stdout.splitlines()
        if not lines or "window id" not in lines[0]:
            return False
        has_work_area = len(lines) > 1 and "=" in lines[1]
        if self.wm != "icewm":
            return has_work_area
        # Without its taskbar icewm publishes no work area.
        return not self.tray or (has_work_area and
                                 bool(self.xdotool("search", "--class", "icewm").strip()))

    def env(self):
        return dict(os.environ, DISPLAY=self.name)

    def xdotool(self, *args):
        # A search walks the whole window tree, and xdotool exits on the X
        # error a window destroyed during the walk raises, printing nothing:
        # that search saw no window at all, so it is made again (a few
        # times, against a desktop that keeps destroying windows).
        for _ in range(10):
            r = subprocess.run(["xdotool", *args], env=self.env(), capture_output=True, text=True)
            if args[0] != "search" or "X Error" not in r.stderr:
                return r.stdout
        raise AssertionError(f"xdotool {' '.join(args)} kept failing: {r.stderr}")

    def xprop(self, wid, *props):
        r = subprocess.run(["xprop", "-id", str(wid), *props], env=self.env(),
                           capture_output=True, text=True)
        return r.stdout

    def windows_named(self, pattern, visible_only=False):
        args = ["search"]
        if visible_only:
            args.append("--onlyvisible")
        args += ["--name", pattern]
        return [int(w) for w in self.xdotool(*args).split()]

    def window_geometry(self, wid):
        """(x, y, width, height) of the window's client area on the screen."""
        out = self.xdotool("getwindowgeometry", "--shell", str(wid))
        vals = dict(line.split("=", 1) for line in out.split() if "=" in line)
        if "X" not in vals:
            return None
        return (int(vals["X"]), int(vals["Y"]), int(vals["WIDTH"]), int(vals["HEIGHT"]))

    def outer_geometry(self, wid):
        """(x, y, width, height) of the window with its frame, as Win32
        window rectangles count."""
        g = self.window_geometry(wid)
        if g is None:
            return None
        out = self.xprop(wid, "_NET_FRAME_EXTENTS")
        left = right = top = bottom = 0
        if "=" in out:
            left, right, top, bottom = (int(v) for v in out.split("=", 1)[1].split(","))
        return (g[0] - left, g[1] - top, g[2] + left + right, g[3] + top + bottom)

    def work_area(self):
        """(x, y, width, height) of the desktop's work area, as the window
        manager publishes it."""
        out = subprocess.run(["xprop", "-root", "_NET_WORKAREA"], env=self.env(),
                             capture_output=True, text=True).stdout
        return tuple(int(v) for v in out.split("=", 1)[1].split(",")[:4])

    def screenshot(self, path):
        """Writes the screen to `path`; true if it could."""
        return subprocess.run(["import", "-window", "root", path], env=self.env(),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0

    def stop(self):
        for p in reversed(self.procs):
            p.terminate()
        for p in reversed(self.procs):
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(getattr(self, "home", ""), ignore_errors=True)


class Program:
    """A fresh copy of the binary in a directory of its own, run with an
    isolated home, profile and runtime directory."""

    def __init__(self, display, workdir=None):
        self.display = display
        self.root = workdir or tempfile.mkdtemp(prefix="velk-e2e-")
        self.dir = os.path.join(self.root, "app")
        os.makedirs(self.dir, exist_ok=True)
        self.exe = os.path.join(self.dir, "VelkSTKApp")
        shutil.copy2(BINARY, self.exe)
        self.home = os.path.join(self.root, "home")
        self.runtime = os.path.join(self.root, "run")
        for d in (self.home, self.runtime):
            os.makedirs(d, mode=0o700, exist_ok=True)
        self.proc = None
        self.output = ""
        self._log = None
        self.runner = []  # what the program is started through

    def as_user(self, user="nobody", group="nogroup"):
        """From now on the program runs as an ordinary user: as `user`, in
        its directories, which become that user's, when the tests run as
        root; as the tests' own user otherwise."""
        if os.getuid() != 0:
            return self
        subprocess.run(["chown", "-R", f"{user}:{group}", self.root], check=True)
        os.chmod(self.root, 0o755)
        self.runner = ["setpriv", f"--reuid={user}", f"--regid={group}", "--clear-groups"]
        return self

    def env(self, extra=None):
        env = self.display.env()
        env.update(HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                   XDG_RUNTIME_DIR=self.runtime,
                   QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu")
        env.pop("QT_QPA_PLATFORM", None)
        if extra:
            env.update(extra)
        return env

    def start(self, *args, env=None, cwd=None):
        self._log = open(os.path.join(self.root, "output.log"), "w+")
        self.proc = subprocess.Popen([*self.runner, self.exe, *args], env=self.env(env),
                                     cwd=cwd or self.root,
                                     stdout=self._log, stderr=subprocess.STDOUT,
                                     stdin=subprocess.DEVNULL)
        return self

    def run(self, *args, timeout=60, env=None, cwd=None):
        """Runs to the end; returns the exit code."""
        self.start(*args, env=env, cwd=cwd)
        return self.wait(timeout)

    def wait(self, timeout=60):
        try:
            code = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            self._read_output()
            raise AssertionError(f"the program did not end within {timeout} s:\n{self.output}")
        self._read_output()
        return code

    def _read_output(self):
        if self._log and not self._log.closed:
            self._log.flush()
            self._log.seek(0)
            self.output = self._log.read()

    def lines(self, start):
        """The lines the running program has written so far that begin with
        `start`."""
        with open(os.path.join(self.root, "output.log"), encoding="utf-8",
                  errors="replace") as f:
            return [line.rstrip("\n") for line in f if line.startswith(start)]

    def signal(self, sig=signal.SIGTERM):
        self.proc.send_signal(sig)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_for(self, predicate, timeout=30, what="condition"):
        deadline = time.time() + timeout
        while time.time() < deadline:
            # Checked before the condition: a window that went because the
            # program ended is not a window that closed.
            ended = self.proc is not None and self.proc.poll() is not None
            value = predicate()
            if value and not ended:
                return value
            if ended:
                self._read_output()
                raise AssertionError(f"the program ended while waiting for {what}:\n{self.output}")
            time.sleep(0.05)
        self._read_output()
        tail = "\n".join(line for line in self.output.splitlines()[-15:] if not line.startswith("  * "))
        raise AssertionError(f"timed out waiting for {what}; the program's last output:\n{tail}")

    def wait_for_window(self, pattern, visible_only=False, timeout=30):
        return self.wait_for(lambda: self.display.windows_named(pattern, visible_only),
                             timeout, f"a window named {pattern!r}")[0]

    def bad_output(self):
        return [line for line in self.output.splitlines()
                if any(b in line for b in BAD_OUTPUT)]

    def stop(self):
        if self.running():
            self.proc.kill()
            self.proc.wait()
        if self._log:
            self._log.close()
            self._log = None

    def cleanup(self):
        self.stop()
        shutil.rmtree(self.root, ignore_errors=True)


def descendants(pid):
    """Every process under `pid`: its children, theirs, and so on."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, ValueError, IndexError):
            continue
        children.setdefault(ppid, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def renderers(pid):
    """The engine's renderer processes under `pid`."""
    out = []
    for p in descendants(pid):
        try:
            with open(f"/proc/{p}/cmdline", "rb") as f:
                if b"--type=renderer" in f.read():
                    out.append(p)
        except OSError:
            pass
    return out


def kill(pids):
    """Ends the processes at once, as a crash would."""
    for pid in pids:
        os.kill(pid, signal.SIGKILL)


def module_fixture(module_name, bus=False, **display_args):
    """The setUpModule and tearDownModule of a test module that needs a
    display (Display's arguments) and a page server, which they make and
    stop as the module's globals `display` and `server`; with `bus`, also a
    session bus of the test's own as `bus` (its address in `bus.address`)."""
    module = sys.modules[module_name]

    def set_up():
        module.display = Display(**display_args).start()
        module.server = PageServer()
        if bus:
            module.bus = subprocess.Popen(
                ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            module.bus.address = module.bus.stdout.readline().strip()

    def tear_down():
        if bus:
            module.bus.kill()
            module.bus.wait()
        module.server.stop()
        module.display.stop()
    return set_up, tear_down


RECORDER = os.environ.get("VELK_XRECORDER") or os.path.join(
    os.path.dirname(os.environ.get("VELK_HOST", "")), "velk_xrecorder")


class XRecorder:
    """velk_xrecorder on a display, started and ready: what the X server did
    to windows, in order, each line split into words without the time (its
    time, on the monotonic clock in milliseconds, in `times`), with marks set
    by the test."""

    def __init__(self, display):
        import threading
        self.display = display
        self.lines, self.times = [], []
        self.proc = subprocess.Popen([RECORDER], env=display.env(), stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        threading.Thread(target=self._read, daemon=True).start()
        deadline = time.time() + 30
        while ["READY"] not in self.lines:
            if self.proc.poll() is not None or time.time() > deadline:
                self.stop()
                raise AssertionError("the window recorder did not start")
            time.sleep(0.05)

    def _read(self):
        for raw in self.proc.stdout:
            # Split at single spaces: a title, the last field, keeps its own.
            ms, *words = raw.decode("utf-8", "replace").rstrip("\n").split(" ")
            self.times.append(int(ms))
            self.lines.append(words)

    def mark(self, prog, text):
        """Waits until every event the server made before now is recorded."""
        subprocess.run(["xprop", "-root", "-f", "_VELK_REC_MARK", "8s", "-set", "_VELK_REC_MARK",
                        text], env=self.display.env(), check=True)
        prog.wait_for(lambda: ["MARK", text] in self.lines, what=f"the recorder's mark {text!r}")

    def between(self, first, last, wid=None):
        """The lines (about `wid`, if given) from the mark `first` to the mark
        `last` (or to now)."""
        lines = list(self.lines)
        end = lines.index(["MARK", last]) if last else len(lines)
        lines = lines[lines.index(["MARK", first]) if first else 0:end]
        return [ln for ln in lines
                if window(ln) is not None and (wid is None or window(ln) == wid)]

    def first(self, kind, wid):
        """The time of the first line `kind` about `wid`, or None."""
        return next((self.times[i] for i, ln in enumerate(list(self.lines))
                     if ln[0] == kind and window(ln) == wid), None)

    def stop(self):
        self.proc.kill()
        self.proc.wait()


def window(line):
    """The window a recorded line is about, or None."""
    return int(line[1], 16) if len(line) > 1 and line[0] != "MARK" else None


def field(line, name):
    """The value of a field of a recorded line; a title ("name") is the rest
    of the line."""
    i = next(i for i, w in enumerate(line) if w.startswith(name + "="))
    return " ".join(line[i:] if name == "name" else line[i:i + 1])[len(name) + 1:]


class ProgramTest(unittest.TestCase):
    """A test of one run of the program on its module's display (the module's
    global `display`): the program is ended in order when the test ends, and
    nothing in its output may say that something went badly wrong."""

    page_prefix = "p"

    def setUp(self):
        self.prog = Program(sys.modules[type(self).__module__].display)
        self.page = f"{self.page_prefix}{time.time_ns()}"

    def tearDown(self):
        try:
            if self.prog.running():
                self.prog.signal(signal.SIGTERM)
                self.assertEqual(self.prog.wait(30), 0, self.prog.output)
            self.assertEqual(self.prog.bad_output(), [], self.prog.output)
        finally:
            self.prog.cleanup()


PAGES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pages")


class PageServer:
    """Serves the test pages on loopback; /status/N answers with status N;
    /slow/MS/PATH answers with PATH after MS milliseconds; /cacheable/PATH
    answers with PATH without forbidding caches to keep it; /echo-cookie
    answers with the cookies the request carried; /report takes what pages
    post and keeps it for the test. With `tls` (a certificate and key file)
    it serves HTTPS."""

    def __init__(self, root=PAGES, tls=None):
        import http.server
        import threading

        server_self = self
        self.reports = []
        self.commands = {}
        self.requests = []
        # When each request arrived, on the monotonic clock in milliseconds
        # (the clock of the window recorder), with its path.
        self.arrivals = []
        self.lock = threading.Lock()

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *a, **kw):
                super().__init__(*a, directory=root, **kw)

            def log_message(self, *args):
                pass

            def handle(self):
                # A page that goes away mid-request is no error of the test's.
                try:
                    super().handle()
                except (ConnectionError, TimeoutError):
                    pass

            def end_headers(self):
                if not getattr(self, "cacheable", False):
                    self.send_header("Cache-Control", "no-store")
                super().end_headers()

            def do_GET(self):
                with server_self.lock:
                    server_self.requests.append((self.path, dict(self.headers)))
                    server_self.arrivals.append((time.monotonic() * 1000, self.path))
                if self.path.startswith("/cmd?"):
                    import urllib.parse
                    page = urllib.parse.parse_qs(self.path.split("?", 1)[1]).get("id", [""])[0]
                    with server_self.lock:
                        queue = server_self.commands.get(page, [])
                        body = queue.pop(0).encode() if queue else b""
                    self.send_response(200 if body else 204)
                    self.send_header("Content-Type", "text/plain; charset=utf-8")
                    self.send_header("Content-Length", str(len(body)))
                    self.end_headers()
                    self.wfile.write(body)
                    return
                if self.path.startswith("/echo-cookie"):
                    body = (self.headers.get("Cookie") or "").encode()
                    self.send_response(200)
                    self.send_header("Content-Type", "text/plain; charset=utf-8")
                    self.send_header("Content-Length", str(len(body)))
                    self.end_headers()
                    self.wfile.write(body)
                    return
                self.cacheable = self.path.startswith("/cacheable/")
                if self.cacheable:
                    self.path = self.path[len("/cacheable"):]
                if self.path.startswith("/slow/"):
                    _, _, ms, rest = self.path.split("/", 3)
                    time.sleep(int(ms) / 1000)
                    self.path = "/" + rest
                    super().do_GET()
                    return
                if self.path.startswith("/status/"):
                    code = int(self.path.split("/")[2].split("?")[0])
                    body = f"<html><body>status {code}</body></html>".encode()
                    self.send_response(code)
                    self.send_header("Content-Type", "text/html; charset=utf-8")
                    self.send_header("Content-Length", str(len(body)))
                    self.end_headers()
                    self.wfile.write(body)
                    return
                super().do_GET()

            def do_POST(self):
                length = int(self.headers.get("Content-Length", "0"))
                data = self.rfile.read(length).decode("utf-8", "replace")
                with server_self.lock:
                    server_self.reports.append((self.path, data))
                self.send_response(204)
                self.send_header("Access-Control-Allow-Origin", "*")
                self.end_headers()

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        self.scheme = "http"
        if tls:
            import ssl
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*tls)
            self.httpd.socket = context.wrap_socket(self.httpd.socket, server_side=True)
            self.scheme = "https"
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def push(self, page, script):
        """Queues script for the test page `page` (it polls for it)."""
        with self.lock:
            self.commands.setdefault(page, []).append(script)

    def reports_of(self, kind, page=None):
        with self.lock:
            out = []
            for path, data in self.reports:
                k, _, rest = path.lstrip("/").partition("/")
                if k != "report":
                    continue
                rk, _, pid = rest.partition("?id=")
                if rk == kind and (page is None or pid == page):
                    out.append(data)
            return out

    def url(self, path):
        return f"{self.scheme}://127.0.0.1:{self.port}/{path.lstrip('/')}"

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def free_port():
    import socket
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class BridgeHost(Program):
    """The test host: one framework window hosting a real browser; what the
    window and the main window receive comes back as parsed lines."""

    HOST = os.environ.get("VELK_HOST", "")

    def __init__(self, display):
        super().__init__(display)
        shutil.copy2(self.HOST, os.path.join(self.dir, "bridge_host"))
        self.exe = os.path.join(self.dir, "bridge_host")
        self._events = []
        self._read_pos = 0

    def start_on(self, url, env=None):
        import threading
        e = {"HOST_URL": url}
        e.update(env or {})
        self._log = open(os.path.join(self.root, "output.log"), "w+")
        self.proc = subprocess.Popen([self.exe], env=self.env(e), cwd=self.root,
                                     stdout=subprocess.PIPE, stderr=self._log,
                                     stdin=subprocess.PIPE)
        self._lock = threading.Lock()

        def reader():
            for raw in self.proc.stdout:
                line = raw.decode("utf-8", "replace").rstrip("\n")
                with self._lock:
                    self._events.append(line)
        self._thread = threading.Thread(target=reader, daemon=True)
        self._thread.start()
        return self

    def command(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()

    def events(self):
        import json
        with self._lock:
            lines = list(self._events)
        out = []
        for line in lines:
            kind, _, rest = line.partition(" ")
            if kind == "PACKET":
                out.append(("PACKET", None, json.loads(rest)))
            elif kind == "MAIN":
                lparam, _, text = rest.partition(" ")
                out.append(("MAIN", int(lparam), json.loads(text)))
            else:
                out.append((kind, None, rest))
        return out

    def packets(self):
        return [t for k, _, t in self.events() if k == "PACKET"]

    def wait_for_packet(self, predicate, timeout=30, what="a packet"):
        return self.wait_for(lambda: next((t for t in self.packets() if predicate(t)), None),
                             timeout, what)

    def quit(self):
        if self.running():
            self.command("quit")
            return self.wait(30)
        return self.proc.returncode
