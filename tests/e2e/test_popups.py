"""Popup browser windows (command 22) of the real program, observed from
outside: where they appear, their opacity rising from 20 % to opaque, their
slide, their automatic close, the chat window keeping the keyboard focus
while they come and go, and the bounds on what a flood of requests makes."""

import os
import re
import signal
import time
import unittest

from harness import ProgramTest, XRecorder, field, module_fixture, window

display = None
server = None

TITLE = "알림 시험"
OPAQUE = 0xFFFFFFFF


setUpModule, tearDownModule = module_fixture(__name__)


def popup_window():
    wids = display.windows_named(f"^{TITLE}$", visible_only=True)
    return wids[-1] if wids else None


def opacity(wid):
    """The window's _NET_WM_WINDOW_OPACITY; a window without it is opaque."""
    out = display.xprop(wid, "_NET_WM_WINDOW_OPACITY")
    return int(out.split("=")[1]) if "=" in out else OPAQUE


def active_window():
    out = display.xdotool("getactivewindow").strip()
    return int(out) if out else None


def most_at_once(lines, pattern):
    """The most windows mapped with a title that `pattern` matches at any
    one time."""
    shown, most = set(), 0
    for ln in lines:
        if ln[0] == "MAP" and re.search(pattern, field(ln, "name")):
            shown.add(window(ln))
        elif ln[0] in ("UNMAP", "DESTROY"):
            shown.discard(window(ln))
        most = max(most, len(shown))
    return most


class PopupTest(ProgramTest):
    def start(self, trusted=False):
        """The chat page, a page of the service when `trusted`."""
        with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write("[APP]\nXX=0\nYY=0\nWW=600\nHH=400\nLMW=300\nLMH=200\n")
            if trusted:
                f.write(f"TRUSTEDORIGINS=http://127.0.0.1:{server.port}\n")
        self.prog.start(f"velk://url={server.url('chat_test.html')}?id={self.page}")
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")
        return self.prog.wait_for_window("^벨크$", visible_only=True)

    def open_popup(self, fields):
        """Asks the main window for a popup from the chat page (command 22)
        with the test's popup page and `fields` (JavaScript object text)."""
        popup_page = self.page + "-popup"
        self.prog.wait_for(lambda: not popup_window(), what="no popup before this one")
        server.push(self.page, f"send(pkt(22, Object.assign({{DLGTIT: '{TITLE}', "
                               f"URL: location.origin + '/popup_test.html?id={popup_page}'}}, "
                               f"{fields})))")
        return self.prog.wait_for(popup_window, what="the popup")

    def test_popup_appears_in_the_corner_fades_in_from_20_percent_and_closes_itself(self):
        self.start()
        # A long fade (ten seconds, the first two held at 20 %) to watch it rise.
        wid = self.open_popup("{ANIM_TIME: 100, CLOSESEC: 3}")
        x, y, w, h = display.work_area()
        corner = (x + w - 220, y + h - 180, 220, 180)
        self.prog.wait_for(lambda: display.outer_geometry(wid) == corner,
                           what=f"the popup at {corner}, at {display.outer_geometry(wid)}")
        seen = []

        def record():
            seen.append(opacity(wid))
            return seen[-1] == OPAQUE
        self.prog.wait_for(lambda: opacity(wid) != OPAQUE, what="the popup made translucent")
        self.prog.wait_for(record, what=f"the popup opaque, after {sorted(set(seen))}")
        # 20 % first, then rising, never falling, to opaque.
        self.assertEqual(seen[0], round(51 / 255 * OPAQUE), seen)
        self.assertEqual(seen, sorted(seen))
        self.assertTrue(any(seen[0] < o < OPAQUE for o in seen), seen)
        # Still there right after its last step; gone later, by itself.
        self.assertIn(wid, display.windows_named(f"^{TITLE}$", visible_only=True))
        self.prog.wait_for(lambda: not display.windows_named(f"^{TITLE}$"),
                           timeout=60, what="the popup closed")
        self.assertTrue(self.prog.running())

    def test_chat_window_keeps_the_keyboard_focus_while_a_sliding_popup_comes_and_goes(self):
        main = self.start()
        display.xdotool("windowactivate", "--sync", str(main))
        self.prog.wait_for(lambda: active_window() == main, what="the chat window active")
        x, y, w, h = display.work_area()
        target_top = y + h - 180
        wid = self.open_popup("{ANIM: 2, ANIM_TIME: 30, CLOSESEC: 1}")
        tops, actives = [], []

        def watch():
            g = display.outer_geometry(wid)
            actives.append(active_window())
            if g is not None:
                tops.append(g[1])
            return g is not None and g[1] == target_top and opacity(wid) == OPAQUE
        self.prog.wait_for(watch, what=f"the popup slid into place, tops {tops}")
        self.prog.wait_for(lambda: not display.windows_named(f"^{TITLE}$"),
                           timeout=60, what="the popup closed")
        actives.append(active_window())
        # The slide goes up only, from below the target to it.
        self.assertEqual(tops, sorted(tops, reverse=True), tops)
        self.assertGreater(tops[0], target_top, tops)
        self.assertEqual(set(actives), {main}, actives)
        self.assertTrue(self.prog.running())

    def test_top_marker_in_the_page_title_makes_the_popup_topmost_until_a_title_without_it(self):
        self.start()
        wid = self.open_popup("{CLOSESEC: 0}")
        popup_page = self.page + "-popup"
        self.prog.wait_for(lambda: server.reports_of("loaded", popup_page), what="the popup's page")

        def state():
            return display.xprop(wid, "_NET_WM_STATE")
        self.assertNotIn("_NET_WM_STATE_ABOVE", state())
        # Every title decides again; only the marker at the very start counts.
        cases = [("TOP|맨 위 알림", "맨 위 알림", True),
                 ("보통 알림", "보통 알림", False),
                 ("TOP|다시 맨 위", "다시 맨 위", True),
                 ("xTOP|아님", "xTOP|아님", False)]
        for title, shown, above in cases:
            with self.subTest(title=title):
                server.push(popup_page, f"document.title = '{title}'")
                name = "^" + shown.replace("|", "\\|") + "$"
                # The same X window, renamed, with the state its title asks for.
                self.prog.wait_for(lambda: wid in display.windows_named(name, visible_only=True),
                                   what=f"the popup named {shown!r}")
                self.prog.wait_for(lambda: ("_NET_WM_STATE_ABOVE" in state()) == above,
                                   what=f"above={above} under {title!r}, state {state()!r}")
        self.assertTrue(self.prog.running())

    def flood(self, trusted, script, pattern, most, refusal):
        """Sends `script` from the chat page; `most` windows that `pattern`
        names come, never more at once, and `refusal` is said once."""
        recorder = XRecorder(display)
        try:
            self.start(trusted)
            server.push(self.page, script)
            self.prog.wait_for(lambda: len(display.windows_named(pattern, visible_only=True))
                               == most and self.prog.lines(refusal), timeout=60,
                               what=f"{most} windows and the refusal")
            # The page's query is answered after its flood was taken in.
            server.push(self.page, "send(pkt(19, {CALL: 5}))")
            self.prog.wait_for(lambda: any("<CALL>5</CALL>" in r for r in
                                           server.reports_of("jsrecv", self.page)), what="answer")
            recorder.mark(self.prog, "end")
            self.assertEqual(most_at_once(recorder.between(None, "end"), pattern), most)
            self.assertEqual(len(self.prog.lines(refusal)), 1, self.prog.lines(""))
            return self.prog.lines(refusal)[0]
        finally:
            recorder.stop()

    def test_a_flood_of_popups_shows_ten_at_a_time_and_refuses_past_the_queue(self):
        # Ten show and stay (no close), a hundred wait, the rest are refused.
        self.flood(True, "for (var i = 0; i < 300; ++i) send(pkt(22, {DLGTIT: 'many', ANIM: "
                         "1 + i % 3, ANIM_TIME: 600, CLOSESEC: 0, URL: location.origin + "
                         "'/many.html?' + i}))", "^many$", 10, "popup refused")

    def test_a_page_outside_the_service_gets_four_windows(self):
        line = self.flood(False, "for (var i = 0; i < 12; ++i) { send(pkt(22, {DLGTIT: 'many', "
                                 "CLOSESEC: 0, URL: location.origin + '/many.html?' + i})); "
                                 "send(pkt(20, {DLGTIT: 'side-' + i, URL: location.origin + "
                                 "'/many.html?s' + i})); }", "^(many|side-.*)$", 4,
                          "window refused")
        self.assertIn(f"http://127.0.0.1:{server.port} is not one of the service's pages", line)

if __name__ == "__main__":
    unittest.main()
