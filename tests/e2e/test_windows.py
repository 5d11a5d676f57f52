"""The window layer as a user sees it: windows that keep their native window
while pages change them, page popups that all come on screen, a 404 box
that leaves the other windows working, and what a frame shows at its edges
(X11 events, titles, states and screen pixels, observed from outside)."""

import contextlib
import os
import subprocess
import unittest

from harness import Program, ProgramTest, XRecorder, field, module_fixture, window

display = None
server = None

RED, BLUE, GREEN, YELLOW = (255, 0, 0), (0, 0, 255), (0, 255, 0), (255, 255, 0)
FRAME = 4  # the frame metrics SM_CXFRAME and SM_CYFRAME of the platform layer


setUpModule, tearDownModule = module_fixture(__name__)


def visible(pattern):
    """The one visible window whose title matches, or None."""
    wids = display.windows_named(pattern, visible_only=True)
    return wids[0] if len(wids) == 1 else None


def screen_pixels():
    """The screen now, as a function of (x, y) giving (r, g, b)."""
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"],
                          env=display.env(), capture_output=True).stdout
    return lambda x, y: tuple(data[(y * display.width + x) * 3:][:3])


class ProgramWindows(XRecorder):
    """The life of every window (creation, mapping, unmapping, reparenting,
    destruction) in the order the X server produced it, with owner, class
    and title read at mapping."""

    def of_program(self, pid, end=None):
        """The events, up to the mark `end`, of the windows that the program
        mapped (by their owner's pid or their class), per window in mapping
        order."""
        lines = self.between(None, end)
        ours = {}
        for ln in lines:
            if ln[0] == "MAP" and (field(ln, "pid") == str(pid) or "VelkSTKApp" in field(ln, "class")):
                ours.setdefault(window(ln), [])
        for ln in lines:
            if window(ln) in ours and (ours[window(ln)] or ln[0] == "MAP"):
                ours[window(ln)].append((ln[0], field(ln, "name") if ln[0] == "MAP" else ""))
        return ours

    def story(self, pid):
        return "\n".join(f"  {hex(w)}: " + ", ".join(f"{k} {n!r}" if k == "MAP" else k for k, n in ev)
                         for w, ev in self.of_program(pid).items())


class WindowTest(ProgramTest):
    page_prefix = "w"

    def start(self, ini="", page="chat_test.html"):
        with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write(ini)
        self.prog.start(f"velk://url={server.url(page)}?id={self.page}")
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")
        return self.prog.wait_for_window("^벨크$", visible_only=True)

    def run_js(self, script, page=None):
        server.push(page or self.page, script)

    def until(self, probe, accept, what, timeout=30):
        """Waits until accept(probe()); a timeout says what was seen last."""
        seen = []

        def check():
            seen[:] = [probe()]
            return accept(seen[0])
        try:
            self.prog.wait_for(check, timeout, what)
        except AssertionError as e:
            raise AssertionError(f"{e}\nlast seen: {seen[0] if seen else None}") from None
        return seen[0]

    def open_side_window(self, side_page):
        self.run_js("send(pkt(20, {TP: 4, DLGTIT: 'x', LMIW: 100, LMIH: 100, "
                    f"URL: location.origin + '/chat_test.html?id={side_page}'}}))")
        self.prog.wait_for(lambda: server.reports_of("loaded", side_page), what="the side page")
        return self.prog.wait_for_window("^벨크,s$", visible_only=True)

    def wait_for_box(self, before):
        """The 404 box: a new visible window captioned with the program's name."""
        return self.prog.wait_for(
            lambda: next(iter(set(display.windows_named("^VelkSTKApp$", True)) - before), None),
            what="the box 에러발생 404")

    def close_box(self, box):
        # Real key presses (XTEST) to the focused box.
        display.xdotool("windowactivate", "--sync", str(box))
        display.xdotool("key", "Return")

    def wait_back_on_chat_page(self):
        self.run_js("report('where', location.pathname)")
        self.prog.wait_for(lambda: "/chat_test.html" in server.reports_of("where", self.page),
                           what="the chat page again after the box")

    @contextlib.contextmanager
    def explained(self, recorder, pid):
        """A failure comes with the program's windows as the X server saw them."""
        try:
            yield
        except AssertionError as e:
            raise AssertionError(f"{e}\nwindows of the program:\n{recorder.story(pid)}") from None

    # -- windows keep their native window ------------------------------------------

    def test_windows_stay_mapped_with_one_x_window_while_pages_change_them(self):
        recorder = ProgramWindows(display)
        try:
            main = self.start("[APP]\nXX=10\nYY=20\nWW=500\nHH=400\nLMW=300\nLMH=200\n")
            pid = self.prog.proc.pid
            with self.explained(recorder, pid):
                first = {"main": main, "side": self.open_side_window(self.page + "-side")}

                def opacity():
                    wid = visible("^벨크$")
                    if wid is None:
                        return None
                    out = display.xprop(wid, "_NET_WM_WINDOW_OPACITY")
                    return int(out.split("=")[1]) if "=" in out else 0xFFFFFFFF  # none: opaque
                self.run_js("send(pkt(21, {V: 50}))")
                self.until(opacity, lambda o: o is not None and o < 0xFFFFFFFF, "half opacity")
                self.run_js("send(pkt(21, {V: 100}))")
                self.until(opacity, lambda o: o == 0xFFFFFFFF, "full opacity again")

                # A page popup, topmost by its title and then not.
                popup = self.page + "-popup"
                self.run_js(f"window.open('/chat_test.html?id={popup}', '_blank', "
                            "'width=320,height=240,left=600,top=100')")
                self.prog.wait_for(lambda: server.reports_of("loaded", popup), what="the popup's page")
                first["popup"] = self.prog.wait_for_window("^chat test$", visible_only=True)

                def state(pattern):
                    wid = visible(pattern)
                    return wid and display.xprop(wid, "_NET_WM_STATE")
                self.run_js("document.title = 'TOP|맨 위 창'", popup)
                self.until(lambda: state("^맨 위 창$"), lambda s: s and "_NET_WM_STATE_ABOVE" in s,
                           "the popup topmost under its new title")
                self.run_js("document.title = '보통 창'", popup)
                self.until(lambda: state("^보통 창$"), lambda s: s and "_NET_WM_STATE_ABOVE" not in s,
                           "the popup not topmost under its next title")

                recorder.mark(self.prog, "end")
                windows = recorder.of_program(pid, "end")
                self.assertEqual({hex(w): ev for w, ev in windows.items()
                                  if any(k in ("UNMAP", "DESTROY") for k, _ in ev)}, {},
                                 "windows of the program that left the screen")
                now = {"main": visible("^벨크$"), "side": visible("^벨크,s$"),
                       "popup": visible("^보통 창$")}
                self.assertEqual(now, first, "X windows first seen and at the end")
                # The title each window had when it was mapped first, and the first window mapped with it.
                first_mapped = {ev[0][1]: w for w, ev in reversed(windows.items())}
                self.assertEqual((first_mapped.get("벨크"), first_mapped.get("벨크,s")),
                                 (first["main"], first["side"]), "the first X windows of the chat windows")
        finally:
            recorder.stop()

    # -- page popups ------------------------------------------------------------------

    def test_eight_page_popups_opened_in_a_row_are_all_on_screen(self):
        self.start("[APP]\nXX=0\nYY=0\nWW=500\nHH=400\nLMW=300\nLMH=200\n")
        self.run_js("for (var i = 1; i <= 8; ++i) window.open('/titled.html?t=popup-' + i + "
                    f"'&id={self.page}', '_blank', 'width=260,height=180,left=' + (520 + 30 * i) + "
                    "',top=' + (40 * i))")
        self.until(lambda: sorted(server.reports_of("popup", self.page)),
                   lambda r: len(r) == 8, "the eight popups' pages", timeout=60)
        self.until(lambda: [n for n in range(1, 9) if visible(f"^popup-{n}$")],
                   lambda shown: shown == list(range(1, 9)), "all eight popups viewable")

    def test_a_page_opening_windows_in_a_loop_gets_twenty_and_one_line(self):
        self.start("[APP]\nXX=0\nYY=0\nWW=500\nHH=400\nLMW=300\nLMH=200\n")
        self.run_js("for (var i = 0; i < 30; ++i) window.open('/titled.html?t=loop&id=' + "
                    f"'{self.page}', '_blank', 'width=200,height=150'); send(pkt(19, {{CALL: 3}}))")
        self.until(lambda: len(server.reports_of("popup", self.page)), lambda n: n >= 20,
                   "twenty windows' pages", timeout=60)
        # The page's answer comes after every window it asked for was made or refused.
        self.prog.wait_for(lambda: any("<CALL>3</CALL>" in r for r in
                                       server.reports_of("jsrecv", self.page)), what="the answer")
        self.until(lambda: len(display.windows_named("^loop$", visible_only=True)),
                   lambda n: n == 20, "twenty windows on screen")
        self.assertEqual(len(self.prog.lines("page window refused")), 1, self.prog.lines(""))


    def test_404_box_leaves_other_windows_working_and_goes_back_when_closed(self):
        main = self.start("[APP]\nXX=10\nYY=20\nWW=500\nHH=400\nLMW=300\nLMH=200\n")
        side_page = self.page + "-side"
        self.open_side_window(side_page)
        # A link the user clicks, over the whole main chat page.
        self.run_js("var a = document.createElement('a'); a.href = '/status/404'; "
                    "a.style.cssText = 'position:fixed;left:0;top:0;width:100%;height:100%;'; "
                    "document.body.appendChild(a); report('link', 1)")
        self.prog.wait_for(lambda: server.reports_of("link", self.page), what="the link")
        before = set(display.windows_named("^VelkSTKApp$"))
        x, y, w, h = display.window_geometry(main)
        display.xdotool("mousemove", "--sync", str(x + w // 2), str(y + h // 2))
        display.xdotool("click", "1")
        box = self.wait_for_box(before)
        # The side window's page is answered while the box is open.
        self.run_js("send(pkt(19, {CALL: 7}))", side_page)
        self.prog.wait_for(lambda: any("<CALL>7</CALL>" in r for r in server.reports_of("jsrecv", side_page)),
                           what="the side page's answer while the box is open")
        self.assertIn(box, display.windows_named("^VelkSTKApp$", True), "the box closed by itself")
        self.close_box(box)
        self.wait_back_on_chat_page()

    def test_page_is_answered_while_its_context_menu_is_open(self):
        # The developer items make the page's context menu appear.
        main = self.start("[APP]\nXX=10\nYY=20\nWW=500\nHH=400\nLMW=300\nLMH=200\nDEVSHOW=1\n")
        pid = str(self.prog.proc.pid)

        def shown():
            out = display.xdotool("search", "--onlyvisible", "--pid", pid)
            return set(int(w) for w in out.split())
        before = shown()
        x, y, w, h = display.window_geometry(main)
        display.xdotool("mousemove", "--sync", str(x + w // 2), str(y + h // 2))
        display.xdotool("click", "3")
        menu = self.prog.wait_for(lambda: next(iter(shown() - before), None), what="the context menu")
        self.run_js("send(pkt(19, {CALL: 8}))")
        self.prog.wait_for(lambda: any("<CALL>8</CALL>" in r for r in server.reports_of("jsrecv", self.page)),
                           what="the page's answer while its menu is open")
        self.assertIn(menu, shown(), "the menu closed by itself")
        # The last item but one opens the developer tools in a window.
        display.xdotool("key", "Up", "Up", "Return")
        self.prog.wait_for(lambda: menu not in shown() and display.windows_named("^DevTools - ", True),
                           what="the menu closed and the developer tools' window")

    def test_404_box_goes_back_after_a_script_navigation(self):
        self.start()
        before = set(display.windows_named("^VelkSTKApp$"))
        self.run_js("location.href = '/status/404'")
        self.close_box(self.wait_for_box(before))
        self.wait_back_on_chat_page()

    # -- edges and outer frames ----------------------------------------------------

    def test_frameless_frame_shows_its_border_ring_and_the_page_to_one_pixel_inside_its_region(self):
        # edges.html: the page's outermost pixel column and row blue, the next
        # green, the rest yellow.
        W, H = 400, 300
        n, m = W // 2, H // 2
        a = FRAME + 1  # the region inset with the default gaps
        cases = {
            # Gaps of -3 leave three pixels of the 4-pixel border ring visible.
            "BORDERCOLOR=255\nXGAP=-3\nYGAP=-3\n": (
                {(1, m): RED, (3, m): RED, (W - 2, m): RED, (W - 4, m): RED,
                 (n, 1): RED, (n, 3): RED, (n, H - 2): RED, (n, H - 4): RED, (n, m): YELLOW},
                {(0, m), (W - 1, m), (n, 0), (n, H - 1)}),
            # Default gaps: the ring and one more pixel are cut, the page's
            # first column and row too, its second is the visible edge.
            "": ({(a, m): GREEN, (W - a - 1, m): GREEN, (n, a): GREEN, (n, H - a - 1): GREEN,
                  (a + 1, m): YELLOW, (n, m): YELLOW},
                 {(a - 1, m), (W - a, m), (n, a - 1), (n, H - a)}),
        }
        for extra, (shown, cut) in cases.items():
            with self.subTest(ini=extra):
                if self.prog.proc:  # a fresh program for each case
                    self.tearDown()
                    self.prog = Program(display)
                self.page += "-next"
                wid = self.start(f"[APP]\nXX=40\nYY=30\nWW={W}\nHH={H}\nLMW=200\nLMH=150\n{extra}",
                                 page="edges.html")
                self.until(lambda: display.outer_geometry(wid), lambda g: g == (40, 30, W, H),
                           "the frame at its place")

                def pixels():
                    at = screen_pixels()
                    return ({p: at(40 + p[0], 30 + p[1]) for p in shown},
                            {p: at(40 + p[0], 30 + p[1]) for p in cut})
                hidden = set(shown.values()) | {RED, BLUE}
                self.until(pixels, lambda s: s[0] == shown and not hidden & set(s[1].values()),
                           f"the window's pixels {shown}, and nothing of it at {sorted(cut)}")

    def test_standard_caption_frame_the_size_of_the_work_area_covers_it_title_bar_included(self):
        x, y, w, h = display.work_area()
        wid = self.start(f"[APP]\nHDR=0\nWW={w}\nHH={h}\nLMW=300\nLMH=200\n")
        self.until(lambda: display.outer_geometry(wid), lambda g: g == (x, y, w, h),
                   f"the outer frame on the work area {(x, y, w, h)}")


if __name__ == "__main__":
    unittest.main()
