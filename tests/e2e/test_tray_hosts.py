"""The tray icon on a desktop whose tray draws the icons itself (a
StatusNotifierItem host), and a balloon's notification clicked, on a session
bus of the test's own with the test's stand-ins for the desktop's services
(tests/e2e/host/tray_host.cpp): the icewm panel has no tray there, so the
only tray is the host's. Beside them, the menu of the icon in icewm's own
tray."""

import os
import queue
import re
import subprocess
import threading
import time
import unittest

from harness import Display, PageServer, Program, ProgramTest, module_fixture

display = None
server = None
bus = None

TITLE = "벨크 트레이"
TRAY_HOST = os.environ.get("VELK_TRAY_HOST") or os.path.join(
    os.path.dirname(os.environ.get("VELK_HOST", ".")), "tray_host")


setUpModule, tearDownModule = module_fixture(__name__, bus=True, tray=False)


class DesktopServices:
    """tray_host running the services named, with the lines it writes."""

    def __init__(self, *services):
        self.proc = subprocess.Popen([TRAY_HOST, *services], stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True, encoding="utf-8",
                                     env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=bus.address))
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        first = self.lines.get(timeout=30)
        if first != "READY":
            self.stop()
            raise RuntimeError(f"tray_host {' '.join(services)}: {first}")

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.strip())
        self.lines.put(None)

    def next_line(self, prefix, timeout=30):
        """The next line that starts with `prefix`, without it."""
        deadline = time.time() + timeout
        while True:
            try:
                line = self.lines.get(timeout=max(0.0, deadline - time.time()))
            except queue.Empty:
                raise AssertionError(f"no line {prefix!r} from tray_host") from None
            if line is None:
                raise AssertionError(f"tray_host ended before a line {prefix!r}")
            if line.startswith(prefix):
                return line[len(prefix):]

    def stop(self):
        self.proc.kill()
        self.proc.wait()


def call(dest, path, method, *args):
    r = subprocess.run(["dbus-send", f"--bus={bus.address}", "--print-reply", f"--dest={dest}",
                        path, method, *args], capture_output=True, text=True, timeout=20)
    if r.returncode != 0:
        raise AssertionError(f"{method} on {dest}{path}: {r.stderr}")
    return r.stdout


class TrayTest(ProgramTest):
    def start(self):
        with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write(f"[APP]\nWINTIT={TITLE}\n")
        self.prog.start(f"velk://url={server.url('chat_test.html')}?id={self.page}",
                        env={"DBUS_SESSION_BUS_ADDRESS": bus.address})
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")
        return self.prog.wait_for_window(f"^{TITLE}$", visible_only=True)

    def hide_main_chat(self, wid):
        server.push(self.page, "send(pkt(1, {HIDE: 0}))")
        self.prog.wait_for(lambda: wid not in display.windows_named(f"^{TITLE}$", True),
                           what="the main chat window hidden")

    def wait_shown(self, wid, what):
        self.prog.wait_for(lambda: wid in display.windows_named(f"^{TITLE}$", True), what=what)


class StatusNotifierHostTest(TrayTest):
    def setUp(self):
        super().setUp()
        self.host = DesktopServices("watcher")
        self.addCleanup(lambda: self.host.stop())

    def test_the_item_shows_the_tip_exports_the_menu_and_opens_the_chat(self):
        wid = self.start()
        item = self.host.next_line("ITEM ")
        self.assertRegex(item, r"^:\d+\.\d+$")

        def prop(name):
            return call(item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties.Get",
                        "string:org.kde.StatusNotifierItem", f"string:{name}")
        self.assertIn(f'string "{TITLE}"', prop("Title"))
        self.assertIn('object path "/MenuBar"', prop("Menu"))

        layout = call(item, "/MenuBar", "com.canonical.dbusmenu.GetLayout",
                      "int32:0", "int32:-1", "array:string:label,type")
        entries = re.findall(r'string "(label|type)"\s+variant\s+string "([^"]*)"', layout)
        self.assertEqual(entries, [("label", "새로고침"), ("type", "separator"),
                                   ("label", "종료")])

        # The host's click on 새로고침 refreshes the main chat window.
        loads = len(server.reports_of("loaded", self.page))
        call(item, "/MenuBar", "com.canonical.dbusmenu.Event",
             "int32:1", "string:clicked", "variant:int32:0", "uint32:0")
        self.prog.wait_for(lambda: len(server.reports_of("loaded", self.page)) > loads,
                           what="the page reloaded")

        # Activating the item does what a left click does: a hidden main chat
        # window is shown.
        self.hide_main_chat(wid)
        call(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate",
             "int32:0", "int32:0")
        self.wait_shown(wid, "the main chat window shown by Activate")

    def test_the_item_registers_again_when_the_host_restarts(self):
        self.start()
        item = self.host.next_line("ITEM ")
        self.host.stop()
        self.host = DesktopServices("watcher")
        self.assertEqual(self.host.next_line("ITEM "), item)


class NotificationClickTest(TrayTest):
    def test_clicking_a_balloons_notification_shows_the_main_chat_window(self):
        services = DesktopServices("notifications")
        self.addCleanup(services.stop)
        wid = self.start()
        self.hide_main_chat(wid)
        # The stand-in clicks each notification that offers the default action.
        server.push(self.page, "send(pkt(26, {MSG: '삼성전자 목표가 도달'}))")
        notified = services.next_line("NOTIFY ")
        self.assertRegex(notified, r'"삼성전자 목표가 도달",\["default","[^"]+"\]\]$')
        self.wait_shown(wid, "the main chat window shown by the notification's click")


class EmbeddedTrayTest(ProgramTest):
    """The icon in icewm's own (XEmbed) tray, on a display of its own."""

    @classmethod
    def setUpClass(cls):
        cls.tray_display = Display().start()

    @classmethod
    def tearDownClass(cls):
        cls.tray_display.stop()

    def setUp(self):
        super().setUp()
        self.prog.cleanup()
        self.prog = Program(self.tray_display)

    def test_the_menu_opens_at_the_icon_when_the_pointer_has_moved_on(self):
        d = self.tray_display
        self.prog.start(f"velk://url={server.url('chat_test.html')}?id={self.page}")
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")
        main = self.prog.wait_for_window("^벨크$", visible_only=True)

        def ours():
            return {int(w) for w in d.xdotool("search", "--onlyvisible", "--classname",
                                              "VelkSTKApp").split()} - {main}
        icon = self.prog.wait_for(
            lambda: next((w for w in ours() if (d.window_geometry(w) or (0, 0, 99, 99))[2] <= 48),
                         None), what="the tray icon")
        x, y, w, h = d.window_geometry(icon)
        cx, cy = x + w // 2, y + h // 2
        # The release reaches the icon (the press grabbed the pointer) while
        # the pointer is far from it.
        d.xdotool("mousemove", "--sync", str(cx), str(cy))
        d.xdotool("mousedown", "3")
        d.xdotool("mousemove", "--sync", "100", "100")
        d.xdotool("mouseup", "3")
        menu = self.prog.wait_for(lambda: next(iter(ours() - {icon}), None), what="the tray menu")
        # Over the icon, just above the panel it sits in.
        mx, my, mw, mh = d.window_geometry(menu)
        wx, wy, ww, wh = d.work_area()
        self.assertTrue(mx <= cx <= mx + mw and my + mh == wy + wh,
                        f"the menu at {(mx, my, mw, mh)}, the icon's centre {(cx, cy)}, "
                        f"the work area {(wx, wy, ww, wh)}")
        d.xdotool("key", "Escape")
        self.prog.wait_for(lambda: menu not in ours(), what="the menu dismissed")


if __name__ == "__main__":
    unittest.main()
