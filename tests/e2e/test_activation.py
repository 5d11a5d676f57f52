"""Activation by the desktop's launchers: the startup sequence of a first and
of a later start ends with the "remove:" message on the root window, the
main chat window comes above the user's other windows, a start from the
autostart entry keeps it hidden, and `--autostart on|off` writes and
removes the user's autostart entry."""

import os
import subprocess
import threading
import time
import unittest

from harness import ProgramTest, module_fixture

display = None
server = None

WATCH = os.path.join(os.path.dirname(os.environ.get("VELK_XRECORDER") or
                                     os.environ.get("VELK_HOST", "")), "velk_xstartupwatch")

setUpModule, tearDownModule = module_fixture(__name__)


class StartupWatch:
    """The startup-notification messages sent to the root window, as
    velk_xstartupwatch reports them."""

    def __init__(self):
        self.messages = []
        self.lock = threading.Lock()
        self.proc = subprocess.Popen([WATCH], env=display.env(), stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        # Every message sent after this line is seen.
        assert self.proc.stdout.readline().strip() == "READY"
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        for line in self.proc.stdout:
            kind, _, message = line.rstrip("\n").partition(" ")
            if kind == "STARTUP":
                with self.lock:
                    self.messages.append(message)

    def seen(self, message):
        with self.lock:
            return message in self.messages

    def stop(self):
        self.proc.kill()
        self.proc.wait()


def server_time():
    """The X server's time now, as a launcher puts it in a startup id."""
    return int(subprocess.run([WATCH, "--time"], env=display.env(), capture_output=True,
                              text=True, timeout=30).stdout)


def stacking():
    """The managed windows from bottom to top."""
    out = subprocess.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"], env=display.env(),
                         capture_output=True, text=True).stdout
    if "#" not in out:
        return []
    return [int(w, 16) for w in out.split("#", 1)[1].replace(",", " ").split()]


def above(upper, lower):
    order = stacking()
    return upper in order and lower in order and order.index(upper) > order.index(lower)


class ActivationTest(ProgramTest):
    page_prefix = "act"

    def setUp(self):
        super().setUp()
        self.watch = StartupWatch()
        self.addCleanup(self.watch.stop)

    def start(self, *args, mutex, startup_id):
        self.prog.start(*args, f"velk://mutex={mutex}$url={server.url('chat_test.html')}"
                               f"?id={self.page}",
                        env={"DESKTOP_STARTUP_ID": startup_id})
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")

    def later_start(self, mutex, startup_id):
        r = subprocess.run([self.prog.exe, f"velk://mutex={mutex}"],
                           env=self.prog.env({"DESKTOP_STARTUP_ID": startup_id}),
                           cwd=self.prog.root, capture_output=True, timeout=60)
        self.assertEqual(r.returncode, 0, r.stdout)

    def test_a_later_start_ends_its_sequence_and_brings_the_chat_window_above_others(self):
        first = f"e2e-first-{time.time_ns()}_TIME{server_time()}"
        self.start(mutex="A1", startup_id=first)
        chat = self.prog.wait_for_window("^벨크$", visible_only=True)
        # The first start ends its own sequence.
        self.prog.wait_for(lambda: self.watch.seen(f"remove: ID={first}"),
                           what=f"the end of {first}")
        # Another program's window comes above the chat window.
        other = subprocess.Popen(["xmessage", "-name", "velk-other", "-geometry", "+20+20",
                                  "another program"], env=display.env(),
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wid = int(self.prog.wait_for(
                lambda: display.xdotool("search", "--onlyvisible", "--classname",
                                        "velk-other").split(),
                what="the other program's window")[0])
            self.prog.wait_for(lambda: above(wid, chat), what="the other window above")
            second = f"e2e-second-{time.time_ns()}_TIME{server_time()}"
            self.later_start("A1", second)
            self.prog.wait_for(lambda: self.watch.seen(f"remove: ID={second}"),
                               what=f"the end of {second}")
            self.prog.wait_for(lambda: above(chat, wid),
                               what=f"the chat window above the other one: {stacking()}")
        finally:
            other.kill()
            other.wait()

    def test_a_start_from_the_autostart_entry_keeps_the_chat_window_hidden(self):
        first = f"e2e-hidden-{time.time_ns()}_TIME{server_time()}"
        self.start("--hidden", mutex="A2", startup_id=first)
        # The sequence ends although no window was shown.
        self.prog.wait_for(lambda: self.watch.seen(f"remove: ID={first}"),
                           what=f"the end of {first}")
        self.assertEqual(display.windows_named("^벨크$", visible_only=True), [])
        # A later start shows it.
        self.later_start("A2", f"e2e-show-{time.time_ns()}_TIME{server_time()}")
        self.prog.wait_for_window("^벨크$", visible_only=True)

    def test_autostart_on_writes_a_valid_entry_and_off_removes_it(self):
        entry = os.path.join(self.prog.home, ".config", "autostart",
                             "kr.velk.VelkSTKApp.desktop")
        self.assertEqual(self.prog.run("--autostart", "on"), 0, self.prog.output)
        with open(entry, encoding="utf-8") as f:
            lines = f.read().splitlines()
        self.assertIn(f"Exec={self.prog.exe} --hidden", lines)
        check = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
        self.assertEqual((check.returncode, check.stdout + check.stderr), (0, ""))
        self.assertEqual(self.prog.run("--autostart", "off"), 0, self.prog.output)
        self.assertFalse(os.path.exists(entry))
        self.assertNotEqual(self.prog.run("--autostart", "maybe"), 0)
        self.assertIn("--autostart on|off", self.prog.output)


if __name__ == "__main__":
    unittest.main()
