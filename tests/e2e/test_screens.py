"""Windows on a desktop of two screens side by side, observed from outside:
windows a page asks for open on its screen, and places kept on a screen
that has gone come back on the one that is left."""

import itertools
import os
import signal
import unittest

from harness import Display, ProgramTest, module_fixture

display = None
server = None

FRAME = 4  # the frame metric SM_CXFRAME of the platform layer: a side window overlaps by it
NOTICE = "알림 시험"
opened_pages = itertools.count()

# Two screens of 1024 x 768, the second at x = 1024.
setUpModule, tearDownModule = module_fixture(__name__, width=1024, height=768, screens=2)


class ScreensTest(ProgramTest):
    def start(self, main_place):
        with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write("[APP]\nXX={}\nYY={}\nWW={}\nHH={}\nLMW=300\nLMH=200\n".format(*main_place))
        self.prog.start(f"velk://url={server.url('chat_test.html')}?id={self.page}")
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")
        return self.prog.wait_for_window("^벨크$", visible_only=True)

    def open(self, cmd, title, fields, page="chat_test.html"):
        """The window the chat page asks for with command `cmd`, once its page is there."""
        opened = f"{self.page}-{next(opened_pages)}"
        server.push(self.page, f"send(pkt({cmd}, Object.assign({{DLGTIT: '{title}', LMIW: 100, "
                               f"LMIH: 100, URL: location.origin + '/{page}?id={opened}'}}, {fields})))")
        self.prog.wait_for(lambda: server.reports_of("loaded", opened), what=f"the page of {title}")
        return opened, self.prog.wait_for_window(f"^{title}$", visible_only=True)

    def wait_at(self, wid, place, what):
        self.prog.wait_for(lambda: self.prog.display.outer_geometry(wid) == place,
                           what=f"{what} at {place}, at {self.prog.display.outer_geometry(wid)}")

    def test_windows_a_page_asks_for_open_on_its_screen(self):
        main = self.start((1100, 50, 500, 400))
        # A side window would end 48 px past the second screen's right edge:
        # both move left by as much, and it follows its owner there.
        _, side = self.open(20, "벨크,s", "{TP: 4}")
        self.wait_at(side, (1548, 50, 500, 400), "the side window at the second screen's edge")
        self.wait_at(main, (1052, 50, 500, 400), "the main chat window, moved to make room")
        server.push(self.page, "send(pkt(19, {XX: 1030}))")
        self.wait_at(side, (1030 + 500 - FRAME, 50, 500, 400), "the side window docked again")
        # A window without a place of its own is centred on that screen.
        _, apart = self.open(20, "apart", "{WW: 400, HH: 300}")
        x, y, w, h = display.screens[1]
        self.wait_at(apart, (x + (w - 400) // 2, y + (h - 300) // 2, 400, 300), "the centred window")

    def test_places_kept_on_a_gone_screen_come_back_on_the_remaining_one(self):
        self.start((1100, 100, 500, 400))
        notice_page, notice = self.open(22, NOTICE, "{TP: 2, CLOSESEC: 0, XX: 1500, YY: 200}",
                                        "popup_test.html")
        self.wait_at(notice, (1500, 200, 220, 180), "the notice on the second screen")
        # Closed there, the notice remembers that place.
        server.push(notice_page, "send(pkt(1, {}))")
        self.prog.wait_for(lambda: not display.windows_named(f"^{NOTICE}$"), what="the notice closed")
        self.prog.signal(signal.SIGTERM)
        self.assertEqual(self.prog.wait(30), 0, self.prog.output)
        self.assertEqual(self.prog.bad_output(), [], self.prog.output)

        # Again on the first screen alone, under openbox, which puts a window
        # where the program asks, as most managers do (icewm would pull a
        # window on no screen in by itself).
        one_screen = Display(width=1024, height=768, wm="openbox").start()
        self.addCleanup(one_screen.stop)
        self.prog.display, self.page = one_screen, self.page + "-again"
        x, y, w, h = one_screen.work_area()
        self.wait_at(self.start((1100, 100, 500, 400)), (x + w - 500, 100, 500, 400),
                     "the main chat window against the remaining screen's edge")
        _, notice = self.open(22, NOTICE, "{TP: 2, CLOSESEC: 0}", "popup_test.html")
        self.wait_at(notice, (x + w - 220, 200, 220, 180), "the notice against that edge")


if __name__ == "__main__":
    unittest.main()
