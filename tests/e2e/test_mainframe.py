"""The main frame, the tray and the chat windows of the real program, on a
test page that runs what the test tells it and reports what it receives."""

import os
import re
import signal
import subprocess
import time
import unittest

from harness import Program, ProgramTest, module_fixture

display = None
server = None
ARTIFACTS = os.environ.get("VELK_ARTIFACTS") or os.path.join(
    os.path.dirname(os.environ.get("VELK_BINARY", ".")), "e2e-artifacts")


setUpModule, tearDownModule = module_fixture(__name__)


class MainFrameTest(ProgramTest):
    def start(self, ini="", page=None):
        with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write(ini)
        page = page or self.page
        self.prog.start(f"velk://url={server.url('chat_test.html')}?id={page}")
        self.prog.wait_for(lambda: server.reports_of("loaded", page), what="the chat page")
        return self.prog.wait_for_window("^벨크$", visible_only=True)

    def run_js(self, script, page=None):
        server.push(page or self.page, script)

    def test_main_chat_window_fills_the_work_area_and_the_tray_icon_is_there(self):
        wid = self.start()
        x, y, w, h = display.work_area()
        self.prog.wait_for(lambda: display.outer_geometry(wid) == (x, y, w, h),
                           what=f"the window on the work area {(x, y, w, h)}, "
                                f"at {display.outer_geometry(wid)}")
        # The tray icon: a window of the program embedded in the panel.
        tray = self.prog.wait_for(
            lambda: [t for t in display.xdotool("search", "--onlyvisible", "--classname",
                                                "VelkSTKApp").split()
                     if int(t) != wid and (display.window_geometry(t) or (0, 0, 99, 99))[2] <= 48],
            what="the tray icon")
        self.assertTrue(tray)
        os.makedirs(ARTIFACTS, exist_ok=True)
        display.screenshot(os.path.join(ARTIFACTS, "main-chat.png"))

    def test_placement_query_comes_back_through_jsrecv_with_the_metrics(self):
        wid = self.start("[APP]\nXX=40\nYY=30\nWW=640\nHH=480\nLMW=300\nLMH=200\n")
        self.run_js("send(pkt(19, {CALL: 1}))")
        reply = self.prog.wait_for(lambda: server.reports_of("jsrecv", self.page),
                                   what="the reply")[0]
        m = re.fullmatch(r"<PKT><GBN>9000</GBN><CMD>19</CMD><CALL>1</CALL>"
                         r"<XX>(-?\d+)</XX><YY>(-?\d+)</YY><WW>(\d+)</WW><HH>(\d+)</HH>"
                         r"<CYCAPTION>23</CYCAPTION><CXFRAME>4</CXFRAME><CYFRAME>4</CYFRAME>"
                         r"<CXBORDER>1</CXBORDER><CYBORDER>1</CYBORDER></PKT>", reply)
        self.assertIsNotNone(m, reply)
        self.assertEqual(tuple(int(v) for v in m.groups()), (40, 30, 640, 480))
        self.assertEqual(display.outer_geometry(wid), (40, 30, 640, 480))

    def test_side_window_docks_at_the_right_edge_and_follows_its_frame(self):
        self.start("[APP]\nXX=10\nYY=20\nWW=500\nHH=400\nLMW=300\nLMH=200\n")
        side_page = self.page + "-side"
        self.run_js("send(pkt(20, {TP: 4, DLGTIT: 'x', LMIW: 100, LMIH: 100, "
                    f"URL: location.origin + '/chat_test.html?id={side_page}'}}))")
        def side():
            # Looked up anew each time: the toolkit may replace the native window.
            wids = display.windows_named("^벨크,s$", visible_only=True)
            return display.outer_geometry(wids[-1]) if wids else None
        self.prog.wait_for(lambda: side() == (506, 20, 500, 400),
                           what=f"the side window docked, at {side()}")
        self.prog.wait_for(lambda: server.reports_of("loaded", side_page), what="the side page")
        # The frame moves: the side window follows its right edge.
        self.run_js("send(pkt(19, {XX: 60, YY: 50}))")
        self.prog.wait_for(lambda: side() == (556, 50, 500, 400),
                           what=f"the side window following, at {side()}")

    def test_hide_close_kinds_and_command_25(self):
        main = self.start("[APP]\nXX=0\nYY=0\nWW=500\nHH=400\nLMW=300\nLMH=200\n")
        second = self.page + "-k2"
        self.run_js("send(pkt(20, {TP: 2, DLGTIT: '둘째 창', XX: 0, YY: 0, WW: 320, HH: 240, "
                    f"LMIW: 100, LMIH: 100, URL: location.origin + '/chat_test.html?id={second}'}}))")
        self.run_js("send(pkt(20, {TP: 4, DLGTIT: 'x', URL: location.origin + "
                    "'/chat_test.html?id=side'}))")
        self.prog.wait_for_window("^둘째 창$", visible_only=True)
        self.prog.wait_for_window("^벨크,s$", visible_only=True)
        # Command 25 closes the frames of kind 2 only.
        self.run_js("send(pkt(25, {}))")
        self.prog.wait_for(lambda: not display.windows_named("^둘째 창$"), what="kind 2 closed")
        self.assertTrue(display.windows_named("^벨크,s$", visible_only=True))
        # HIDE 0 hides the main chat window; a later tray click would bring it back.
        self.run_js("send(pkt(1, {HIDE: 0}))")
        self.prog.wait_for(lambda: main not in display.windows_named("^벨크$", visible_only=True),
                           what="the main chat window hidden")
        self.assertTrue(self.prog.running())

    def test_bad_packets_from_the_page_crash_and_hang_nothing(self):
        self.start("[APP]\nXX=0\nYY=0\nWW=600\nHH=400\nLMW=300\nLMH=200\n")
        bad = [
            "send('')", "send('<PKT>')", "send('</PKT><PKT>')", "send('<PKT><GBN>9000</GBN></PKT>')",
            "send(pkt(19, {XX: 'abc', YY: '', WW: '99999999999', HH: '-5'}))",
            "send(pkt(19, {XX: 0, YY: 0, WW: 600, HH: 400}))",
            "send(pkt(21, {V: -5})); send(pkt(21, {V: 100000})); send(pkt(21, {V: 100}))",
            "send(pkt(52, {SCALE: '1e308'})); send(pkt(52, {SCALE: 'NaN'})); send(pkt(52, {AUTOSCALE: 0}))",
            "send(pkt(52, {AUTOSCALE: 1}))",
            "send(pkt(20, {TP: 3, DLGTIT: 'big', WW: 2147483647, HH: -2147483648, LMIW: 1, LMIH: 1}))",
            "send(pkt(25, {}))",
            "send(pkt(23, {URL: 'file:///etc/passwd'})); send(pkt(23, {URL: '/bin/sh'}))",
            "send(pkt(99999, {})); send(pkt(-1, {})); send('<PKT><GBN>12345</GBN></PKT>')",
            "send(pkt(26, {MSG: new Array(5000).join('긴 풍선 ')}))",
            "send(pkt(19, {CALL: 1, XX: new Array(100000).join('9')}))",
        ]
        for script in bad:
            self.run_js(script)
        # Still alive and answering, in order.
        self.prog.wait_for(lambda: server.reports_of("jsrecv", self.page), what="the answer")
        self.run_js("send(pkt(19, {CALL: 2}))")
        self.prog.wait_for(lambda: any("<CALL>2</CALL>" in r for r in
                                       server.reports_of("jsrecv", self.page)),
                           what="the answer after the bad packets")
        self.assertTrue(self.prog.running())

    def test_404_page_shows_the_error_box_and_goes_back(self):
        wid = self.start()
        # A link the user clicks: an address loaded without the user's
        # gesture would be skipped when going back.
        self.run_js("var a = document.createElement('a'); a.href = '/status/404'; "
                    "a.style.cssText = 'position:fixed;left:0;top:0;width:100%;height:100%;'; "
                    "document.body.appendChild(a); report('link', 1)")
        self.prog.wait_for(lambda: server.reports_of("link", self.page), what="the link")
        x, y, w, h = display.window_geometry(wid)
        # The tray icon has the program's name too: the box is the new window.
        before = set(display.windows_named("^VelkSTKApp$"))
        display.xdotool("mousemove", "--sync", str(x + w // 2), str(y + h // 2))
        display.xdotool("click", "1")
        box = self.prog.wait_for(
            lambda: next(iter(set(display.windows_named("^VelkSTKApp$", True)) - before), None),
            what="the box 에러발생 404")
        # Real key presses (XTEST) to the focused box: synthetic ones are
        # ignored by the toolkit and the window manager.
        display.xdotool("windowactivate", "--sync", str(box))
        display.xdotool("key", "Return")
        # Back on the chat page, which runs what it is told again.
        self.run_js("report('where', location.pathname)")
        self.prog.wait_for(lambda: "/chat_test.html" in server.reports_of("where", self.page),
                           what="the page after going back")

    def test_bottom_right_placement_from_the_settings_file(self):
        wid = self.start("[APP]\nXX=R\nYY=B\nWW=800\nHH=600\nLMW=400\nLMH=300\n")
        x, y, w, h = display.work_area()
        self.prog.wait_for(lambda: display.outer_geometry(wid) == (x + w - 800, y + h - 600, 800, 600),
                           what=f"the window bottom right, at {display.outer_geometry(wid)}")

    def test_closing_a_frame_with_the_standard_caption_ends_the_program(self):
        wid = self.start("[APP]\nHDR=0\nWW=640\nHH=480\nLMW=300\nLMH=200\n")
        display.xdotool("windowactivate", "--sync", str(wid))
        display.xdotool("key", "alt+F4")
        self.assertEqual(self.prog.wait(30), 0, self.prog.output)

    def test_cookies_survive_the_orderly_end(self):
        self.start()
        # A page's cookie reaches the browser's store on its own way: the
        # page reports only once its requests carry it, so the program ends
        # with the cookie in the store.
        self.run_js("document.cookie = 'velk=kept; max-age=86400; path=/'; (async function () {"
                    " while (!(await (await fetch('/echo-cookie')).text()).includes('velk=kept')) {}"
                    " report('set', 1); })()")
        self.prog.wait_for(lambda: server.reports_of("set", self.page), what="the cookie set")
        self.prog.signal(signal.SIGTERM)
        self.assertEqual(self.prog.wait(30), 0, self.prog.output)
        self.page += "-again"
        self.start()
        self.run_js("report('cookie', document.cookie)")
        cookie = self.prog.wait_for(lambda: server.reports_of("cookie", self.page),
                                    what="the cookie report")[0]
        self.assertIn("velk=kept", cookie)


if __name__ == "__main__":
    unittest.main()


class HandOffTest(unittest.TestCase):
    def test_second_start_hands_its_address_to_the_running_instance_and_ends(self):
        prog = Program(display)
        try:
            first, second = f"h{time.time_ns()}", f"h{time.time_ns()}-2"
            prog.start(f"velk://mutex=M1$url={server.url('chat_test.html')}?id={first}")
            prog.wait_for(lambda: server.reports_of("loaded", first), what="the first page")
            # A second start of the same user with the same instance name.
            t0 = time.monotonic()
            r = subprocess.run([prog.exe, f"velk://mutex=M1$url={server.url('chat_test.html')}"
                                          f"?id={second}"],
                               env=prog.env(), cwd=prog.root, capture_output=True, timeout=60)
            self.assertEqual(r.returncode, 0, r.stdout)
            self.assertLess(time.monotonic() - t0, 30)
            # The running instance's main chat window loaded the new address.
            prog.wait_for(lambda: server.reports_of("loaded", second), what="the handed-over page")
            self.assertEqual(len(display.windows_named("^벨크$", visible_only=True)), 1)
            self.assertTrue(prog.running())
            prog.signal(signal.SIGTERM)
            self.assertEqual(prog.wait(30), 0, prog.output)
        finally:
            prog.cleanup()

    def test_second_start_gives_up_on_a_stopped_instance_and_the_instance_goes_on(self):
        prog = Program(display)
        try:
            first, second = f"s{time.time_ns()}", f"s{time.time_ns()}-2"
            prog.start(f"velk://mutex=M2$url={server.url('chat_test.html')}?id={first}")
            prog.wait_for(lambda: server.reports_of("loaded", first), what="the first page")
            prog.signal(signal.SIGSTOP)
            try:
                # The second start waits a bounded time, then ends.
                r = subprocess.run([prog.exe, f"velk://mutex=M2$url={server.url('chat_test.html')}"
                                              f"?id={second}"],
                                   env=prog.env(), cwd=prog.root, capture_output=True, timeout=60)
                self.assertEqual(r.returncode, 0, r.stdout)
                self.assertIn(b"nothing was handed over", r.stderr)
            finally:
                prog.signal(signal.SIGCONT)
            # The instance reads the request that waited and answers a
            # sender that is gone: it goes on all the same.
            prog.wait_for(lambda: server.reports_of("loaded", second), what="the late hand-off")
            self.assertTrue(prog.running())
            prog.signal(signal.SIGTERM)
            self.assertEqual(prog.wait(30), 0, prog.output)
        finally:
            prog.cleanup()
