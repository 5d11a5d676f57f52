"""A page whose renderer process dies: the chat window stays, the page is
loaded again and its bridge answers; after three losses in a minute a short
page says that it stopped and offers to load it again."""

import unittest

from harness import ProgramTest, kill, module_fixture, renderers

display = None
server = None


setUpModule, tearDownModule = module_fixture(__name__)


class RendererLossTest(ProgramTest):
    def kill_renderers(self):
        kill(self.prog.wait_for(lambda: renderers(self.prog.proc.pid), what="a renderer"))

    def loads(self):
        return len(server.reports_of("loaded", self.page))

    def test_the_page_comes_back_three_times_then_offers_to_reload(self):
        self.prog.start(f"velk://url={server.url('chat_test.html')}?id={self.page}")
        self.prog.wait_for(lambda: self.loads() == 1, what="the chat page")
        wid = self.prog.wait_for_window("^벨크$", visible_only=True)
        for n in range(2, 5):
            self.kill_renderers()
            self.prog.wait_for(lambda: self.loads() == n, what=f"load {n} after the renderer died")
            # The bridge answers again: a placement query comes back.
            server.push(self.page, f"send(pkt(19, {{CALL: {n}}}))")
            self.prog.wait_for(lambda: any(f"<CALL>{n}</CALL>" in r
                                           for r in server.reports_of("jsrecv", self.page)),
                               what=f"the bridge's answer after load {n}")
        self.assertEqual(display.windows_named("^벨크$", visible_only=True), [wid])

        # A fourth loss within the minute: the page that offers to reload.
        self.kill_renderers()
        x, y, w, h = display.window_geometry(wid)
        display.xdotool("mousemove", "--sync", str(x + w // 2), str(y + h // 2))

        def clicked_back():
            display.xdotool("click", "1")
            return self.loads() == 5
        # Clicking is repeated until the offer is there to be clicked.
        self.prog.wait_for(clicked_back, what="the page loaded from the offer")
        self.assertEqual(self.loads(), 5)


if __name__ == "__main__":
    unittest.main()
