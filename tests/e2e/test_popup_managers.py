"""Alarm popups (command 22) under the window managers of the desktops people
run: icewm, metacity (the GNOME family's manager) and openbox. Seen from
outside through the X server's own events (velk_xrecorder): each slide
passes every step's place, from its start below or right of the target to
the target, however the manager treats windows it manages, and is first
shown there, already translucent; the popup is no
managed window (override-redirect: no frame, no taskbar or pager entry); and
the keyboard focus stays where it was while popups come and go.

One program run per manager, for all of its popups. The demo service's
login page, which popups without an address show, is checked here too."""

import os
import signal
import subprocess
import sys
import time
import unittest
import urllib.request

from harness import Display, PageServer, Program, XRecorder, field, free_port

DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "demo", "server.py")

TITLE = "알림 시험"  # the popup page's title, which the window takes
WIDTH, HEIGHT, STEPS = 220, 180, 5


def places(lines):
    """Where the window was created and then configured, each place once
    until it changes (a restacking leaves the place as it was)."""
    seen = []
    for ln in lines:
        if ln[0] in ("CREATE", "CONFIGURE"):
            at = tuple(int(v) for v in field(ln, "at").split(","))
            if not seen or seen[-1] != at:
                seen.append(at)
    return seen


def at_map(lines):
    """The place and the opacity (None: opaque) a window had when it was
    first mapped."""
    place = opacity = None
    for ln in lines:
        if ln[0] in ("CREATE", "CONFIGURE"):
            place = tuple(int(v) for v in field(ln, "at").split(","))
        elif ln[0] == "OPACITY":
            opacity = None if ln[2] == "none" else ln[2]
        elif ln[0] == "MAP":
            return place, opacity
    return None


class PopupsUnderAManager:
    """The popups of one program run under the class's window manager `wm`."""

    wm = None

    @classmethod
    def setUpClass(cls):
        cls.display = Display(wm=cls.wm).start()
        cls.server = PageServer()
        cls.recorder = XRecorder(cls.display)
        cls.prog = Program(cls.display)
        cls.page = f"m{cls.wm}{time.time_ns()}"
        with open(os.path.join(cls.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write("[APP]\nXX=0\nYY=0\nWW=600\nHH=400\nLMW=300\nLMH=200\n")
        cls.prog.start(f"velk://url={cls.server.url('chat_test.html')}?id={cls.page}")
        cls.prog.wait_for(lambda: cls.server.reports_of("loaded", cls.page), what="the chat page")
        cls.main = cls.prog.wait_for_window("^벨크$", visible_only=True)

    @classmethod
    def tearDownClass(cls):
        try:
            if cls.prog.running():
                cls.prog.signal(signal.SIGTERM)
                code = cls.prog.wait(30)
                if code != 0 or cls.prog.bad_output():
                    raise AssertionError(f"the program ended with {code}:\n{cls.prog.output}")
        finally:
            cls.prog.cleanup()
            cls.recorder.stop()
            cls.server.stop()
            cls.display.stop()

    def active(self):
        out = self.display.xdotool("getactivewindow").strip()
        return int(out) if out else None

    def focus(self):
        """The window that XGetInputFocus names."""
        return self.display.xdotool("getwindowfocus", "-f").strip()

    def popup(self):
        wids = self.display.windows_named(f"^{TITLE}$", visible_only=True)
        return wids[-1] if wids else None

    def show_popup(self, anim):
        """Opens a popup with `anim` from the chat window that stays open,
        waits until its slide has reached the target, then has its page
        close it, sampling the active window and the input focus all along.
        Returns the popup's window, its recorded lines and the samples."""
        self.display.xdotool("windowactivate", "--sync", str(self.main))
        self.prog.wait_for(lambda: self.active() == self.main, what="the chat window active")
        self.prog.wait_for(lambda: not self.popup(), what="no popup before this one")
        before = f"{self.wm}-{anim}-before"
        after = f"{self.wm}-{anim}-after"
        self.recorder.mark(self.prog, before)
        samples = [(self.active(), self.focus())]
        popup_page = f"{self.page}-{anim}"
        self.server.push(self.page, f"send(pkt(22, {{DLGTIT: '{TITLE}', ANIM: {anim}, "
                                    f"ANIM_TIME: {STEPS}, CLOSESEC: 0, WW: {WIDTH}, "
                                    f"HH: {HEIGHT}, URL: location.origin + "
                                    f"'/popup_test.html?id={popup_page}'}}))")

        def sample():
            samples.append((self.active(), self.focus()))
        wid = self.prog.wait_for(lambda: sample() or self.popup(), what="the popup")
        target = self.target()
        self.prog.wait_for(
            lambda: sample() or target in places(self.recorder.between(before, None, wid)),
            what="the slide at its target")
        self.server.push(popup_page, "send(pkt(1, {}))")
        self.prog.wait_for(lambda: sample() or not self.display.windows_named(f"^{TITLE}$"),
                           what="the popup closed")
        sample()
        self.recorder.mark(self.prog, after)
        return wid, self.recorder.between(before, after, wid), samples

    def target(self):
        x, y, w, h = self.display.work_area()
        return x + w - WIDTH, y + h - HEIGHT

    def check_unmanaged_and_unfocused(self, lines, samples):
        maps = [ln for ln in lines if ln[0] == "MAP"]
        self.assertTrue(maps, lines)
        # Override-redirect: no manager frames it, lists it or focuses it.
        self.assertEqual({field(ln, "override") for ln in maps}, {"1"}, maps)
        self.assertEqual([ln for ln in lines if ln[0] == "REPARENT"], [], lines)
        self.assertEqual(set(samples), {samples[0]}, samples)
        self.assertEqual(samples[0][0], self.main, samples)

    def test_each_kind_shows_first_at_its_first_step_passes_every_step_and_leaves_the_focus(self):
        x, y = self.target()
        first_opacity = str(round(51 / 255 * 0xFFFFFFFF))  # 20 %
        cases = [  # ANIM, the places from the creation to the target
            (1, [(x, y)]),
            (2, [(x, y + HEIGHT - HEIGHT * k // STEPS) for k in range(STEPS + 1)]),
            (3, [(x + WIDTH - WIDTH * k // STEPS, y) for k in range(STEPS + 1)]),
        ]
        for anim, expected in cases:
            with self.subTest(anim=anim):
                wid, lines, samples = self.show_popup(anim)
                self.assertEqual(places(lines), expected)
                # Mapped only once it stands at its first step's place with
                # its first step's opacity: no frame of it is seen elsewhere.
                self.assertEqual(at_map(lines), (expected[0], first_opacity), lines)
                self.check_unmanaged_and_unfocused(lines, samples)

    def test_a_move_asked_by_the_page_follows_the_pointer_while_the_button_is_down(self):
        self.prog.wait_for(lambda: not self.popup(), what="no popup before this one")
        popup_page = f"{self.page}-move"
        self.server.push(self.page, f"send(pkt(22, {{DLGTIT: '{TITLE}', CLOSESEC: 0, "
                                    f"ANIM_TIME: 1, URL: location.origin + "
                                    f"'/popup_test.html?id={popup_page}'}}))")
        wid = self.prog.wait_for(self.popup, what="the popup")
        self.prog.wait_for(lambda: self.server.reports_of("loaded", popup_page),
                           what="the popup's page")
        # The page asks for the move on a press, as the service's pages do
        # on their header.
        self.server.push(popup_page, "document.addEventListener('mousedown', function () { "
                                     "report('down', 1); send(pkt(10, {})); }); report('armed', 1)")
        self.prog.wait_for(lambda: self.server.reports_of("armed", popup_page),
                           what="the page listening")
        x, y, w, h = self.display.window_geometry(wid)
        press = (x + w // 2, y + h // 2)
        self.display.xdotool("mousemove", "--sync", str(press[0]), str(press[1]))
        self.display.xdotool("mousedown", "1")
        self.prog.wait_for(lambda: self.server.reports_of("down", popup_page),
                           what="the press in the page")
        # The window follows from whenever the program takes the pointer:
        # nudge the pointer up until the window moves; from then on the
        # window moves as the pointer does.
        nudges = []

        def nudged():
            nudges.append(1)
            self.display.xdotool("mousemove", "--sync", str(press[0]), str(press[1] - len(nudges)))
            return self.display.window_geometry(wid)[1] != y
        self.prog.wait_for(nudged, what="the popup following the pointer")
        self.display.xdotool("mousemove", "--sync", str(press[0] - 100), str(press[1] - 60))

        def followed():
            gx, gy, gw, gh = self.display.window_geometry(wid)
            # Taken at one of the nudges: exact across, within them up.
            return (gx, gw, gh) == (x - 100, w, h) and y - 60 <= gy <= y - 60 + len(nudges)
        self.prog.wait_for(followed, what=f"the popup moved with the pointer from {(x, y)}, at "
                                          f"{self.display.window_geometry(wid)}")
        self.display.xdotool("mouseup", "1")
        self.server.push(popup_page, "send(pkt(1, {}))")
        self.prog.wait_for(lambda: not self.display.windows_named(f"^{TITLE}$"),
                           what="the popup closed by its page")


class PopupsUnderIcewm(PopupsUnderAManager, unittest.TestCase):
    wm = "icewm"


class PopupsUnderMetacity(PopupsUnderAManager, unittest.TestCase):
    wm = "metacity"


class PopupsUnderOpenbox(PopupsUnderAManager, unittest.TestCase):
    wm = "openbox"


class DemoLoginPageTest(unittest.TestCase):
    def test_the_demo_service_serves_its_login_page_at_login_with_or_without_a_query(self):
        port = free_port()
        demo = subprocess.Popen([sys.executable, DEMO, "--port", str(port)],
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            # It says so once it serves.
            self.assertIn(b"serving", demo.stderr.readline())
            for path in ("/login", "/login?from=popup"):
                with self.subTest(path=path):
                    with urllib.request.urlopen(f"http://127.0.0.1:{port}{path}") as r:
                        self.assertEqual(r.status, 200)
                        self.assertIn("<title>벨크 로그인</title>", r.read().decode("utf-8"))
        finally:
            demo.terminate()
            self.assertEqual(demo.wait(10), 0)


if __name__ == "__main__":
    unittest.main()
