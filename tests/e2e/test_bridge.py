"""Real browsers and the script bridge on the real engine: a framework test
window hosts a browser on pages served from loopback and reports what the
browser client posts to it and forwards to the main window."""

import time
import unittest

from harness import BridgeHost, free_port, module_fixture

display = None
server = None


setUpModule, tearDownModule = module_fixture(__name__)


def window_state(wid):
    return display.xprop(wid, "_NET_WM_STATE")


def frame_extents(wid):
    out = display.xprop(wid, "_NET_FRAME_EXTENTS")
    if "=" not in out:
        return None
    return [int(v) for v in out.split("=", 1)[1].split(",")]


class BridgeTest(unittest.TestCase):
    def setUp(self):
        self.host = BridgeHost(display)

    def tearDown(self):
        try:
            if self.host.running():
                self.assertEqual(self.host.quit(), 0)
            self.assertEqual(self.host.bad_output(), [], self.host.output)
        finally:
            self.host.cleanup()

    def test_page_packets_reach_the_host_window_unchanged_except_percent(self):
        self.host.start_on(server.url("bridge.html"))
        self.host.wait_for_packet(lambda t: t == "after-overwrite")
        page = [t for t in self.host.packets() if not t.startswith("<PKT><GBN>901")]
        self.assertEqual(page, [
            "<PKT><GBN>9000</GBN><CMD>26</CMD><MSG>50％ 올라요</MSG></PKT>",
            "line one\nline \"two\"\r\n'three' \\ back",
            "<PKT><GBN>9009</GBN><LOADING>1</LOADING></PKT>",
            # Zunta sends the same message as MApp.
            "<PKT><GBN>9000</GBN><CMD>26</CMD><MSG>50％ 올라요</MSG></PKT>",
            # Empty, non-string and missing first arguments sent nothing.
            "probe",
            "report:function,function,true,true,undefined,undefined",
            "after-overwrite",
        ])

    def test_load_events_become_packets_with_the_real_status(self):
        self.host.start_on(server.url("frame.html?name=load"))
        first = ["<PKT><GBN>9013</GBN><LOADING>1</LOADING><BACK>0</BACK><FORWARD>0</FORWARD></PKT>",
                 "<PKT><GBN>9011</GBN></PKT>",
                 "<PKT><GBN>9010</GBN><CODE>200</CODE></PKT>",
                 "<PKT><GBN>9013</GBN><LOADING>0</LOADING><BACK>0</BACK><FORWARD>0</FORWARD></PKT>"]
        self.host.wait_for(lambda: [t for t in self.host.packets() if t.startswith("<PKT><GBN>901")]
                           == first, what="the first load's events")
        cases = [
            (server.url("status/404"), "<PKT><GBN>9010</GBN><CODE>404</CODE></PKT>"),
            (server.url("status/500"), "<PKT><GBN>9010</GBN><CODE>500</CODE></PKT>"),
        ]
        for url, expected in cases:
            with self.subTest(url=url):
                self.host.command("load " + url)
                self.host.wait_for_packet(lambda t: t == expected, what=expected)
        refused = f"http://127.0.0.1:{free_port()}/nothing.html"
        self.host.command("load " + refused)
        error = self.host.wait_for_packet(lambda t: t.startswith("<PKT><GBN>9012</GBN>"))
        self.assertTrue(error.startswith("<PKT><GBN>9012</GBN><CODE>-102</CODE><TXT>"), error)
        self.assertTrue(error.endswith(f"<URL>{refused}</URL></PKT>"), error)

    def test_top_marker_in_the_title_makes_the_host_window_topmost(self):
        self.host.start_on(server.url("bridge.html"))
        wid = self.host.wait_for_window("^Bridge$")
        self.host.wait_for(lambda: "_NET_WM_STATE_ABOVE" in window_state(wid), what="topmost")
        self.host.command("js document.title = 'Plain'")
        self.host.wait_for_window("^Plain$")
        self.host.wait_for(lambda: "_NET_WM_STATE_ABOVE" not in window_state(wid),
                           what="not topmost")
        self.host.command("js document.title = 'xTOP|Notice'")
        self.host.wait_for_window("^xTOP\\|Notice$")

    def test_page_popups_keep_their_frame_only_with_hdr_1_and_obey_window_commands(self):
        cases = [("hdr=1", True), ("plain=1", False)]
        for query, framed in cases:
            with self.subTest(query=query):
                host = BridgeHost(display)
                try:
                    host.start_on(server.url(f"opener.html?popup={query}%26close%3D1"))
                    seen = []

                    def framed_now():
                        wids = display.windows_named("^popup-window$", visible_only=True)
                        if not wids:
                            return None
                        extents = frame_extents(wids[-1])
                        seen.append(extents)
                        has_frame = bool(extents and max(extents) > 0)
                        return wids[-1] if has_frame == framed else None
                    host.wait_for(framed_now, what=f"the popup {'with' if framed else 'without'} "
                                  f"frame (frame extents seen: {seen[-3:]})")
                    time.sleep(1.0)
                    wid = host.wait_for(framed_now, what="the popup keeping that frame")
                    # Command 19 places the popup itself.
                    host.wait_for(lambda: display.outer_geometry(wid) == (150, 170, 420, 330),
                                  what="the popup placed by command 19 (now at "
                                       f"{display.outer_geometry(wid)})")
                    # Other commands and kinds go to the main window: 0 and 2.
                    host.wait_for(lambda: ("MAIN", 0,
                                           "<PKT><GBN>9000</GBN><CMD>26</CMD><MSG>from popup</MSG></PKT>")
                                  in host.events(), what="command 26 forwarded")
                    host.wait_for(lambda: ("MAIN", 2, "<PKT><GBN>9013</GBN></PKT>")
                                  in host.events(), what="kind 9013 forwarded")
                    # Command 1 closes it.
                    host.wait_for(lambda: not display.windows_named("^popup-window$"),
                                  what="the popup closed by command 1")
                    self.assertEqual(host.quit(), 0)
                    self.assertEqual(host.bad_output(), [], host.output)
                finally:
                    host.cleanup()

    def test_bursts_huge_packets_navigation_and_frames_lose_nothing(self):
        self.host.start_on(server.url("burst.html"))
        self.host.wait_for_packet(lambda t: t == "burst-done", timeout=120)
        packets = self.host.packets()
        seq = [t for t in packets if t.startswith("seq:")]
        self.assertEqual(seq, [f"seq:{i}" for i in range(10000)])
        big = [t for t in packets if t.startswith("big:")]
        self.assertEqual(len(big), 1)
        self.assertEqual(len(big[0]), 4 + 10 * 1024 * 1024)
        self.host.wait_for(lambda: [t for t in self.host.packets() if t.startswith("frame:same")]
                           == [f"frame:same:{i}" for i in range(3)], what="the frame's packets")

        self.host.command("load " + server.url("nav.html"))
        self.host.wait_for(lambda: len([t for t in self.host.packets() if t.startswith("frame:cross")])
                           == 3, what="the cross-origin frame's packets", timeout=60)
        packets = self.host.packets()
        self.assertEqual([t for t in packets if t.startswith("nav-a:")],
                         [f"nav-a:{i}" for i in range(100)])
        self.assertEqual([t for t in packets if t.startswith("nav-b:")],
                         [f"nav-b:{i}" for i in range(50)])
        self.assertEqual([t for t in packets if t.startswith("frame:cross")],
                         [f"frame:cross:{i}" for i in range(3)])

    def test_a_script_asked_for_while_a_load_replaces_a_running_one_runs_in_the_new_page(self):
        # The engine reports no second start for a load that replaces one
        # still running, only the end of the last.
        self.host.start_on(server.url("slow/4000/frame.html?name=first"))
        self.host.wait_for_packet(lambda t: t == "<PKT><GBN>9011</GBN></PKT>")
        self.host.command("load " + server.url("frame.html?name=second"))
        self.host.command('js Zunta.jsPacket("asked-during-the-load:" + location.search)')
        self.host.wait_for_packet(lambda t: t.startswith("asked-during-the-load:"))
        self.assertIn("asked-during-the-load:?name=second", self.host.packets())


if __name__ == "__main__":
    unittest.main()
