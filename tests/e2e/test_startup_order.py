"""The order of a start as seen from outside: the hidden main frame first,
the main chat window at least 100 ms later, its page asked for at least
10 ms after that window exists and only once, then the page's load. The
engine may prepare itself meanwhile, but nothing of it may show earlier or
fetch anything ahead of time."""

from harness import ProgramTest, XRecorder, module_fixture

display = None
server = None

setUpModule, tearDownModule = module_fixture(__name__)


class StartupOrderTest(ProgramTest):
    page_prefix = "o"

    def test_windows_timers_and_page_come_in_their_order(self):
        recorder = XRecorder(display)
        try:
            page = f"chat_test.html?id={self.page}"
            self.prog.start(f"velk://url={server.url(page)}")
            main = self.prog.wait_for_window("^VelkApp$")
            chat = self.prog.wait_for_window("^벨크$", visible_only=True)
            self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the page")
            main_made = self.prog.wait_for(lambda: recorder.first("CREATE", main),
                                           what="the main frame's creation")
            chat_made = self.prog.wait_for(lambda: recorder.first("CREATE", chat),
                                           what="the chat window's creation")
            chat_shown = self.prog.wait_for(lambda: recorder.first("MAP", chat),
                                            what="the chat window's mapping")
        finally:
            recorder.stop()
        with server.lock:
            asked = [ms for ms, path in server.arrivals if path == "/" + page]
            first_request = min(ms for ms, _ in server.arrivals) if server.arrivals else None
        self.assertEqual(len(asked), 1, "the page is asked for once")
        # Nothing reaches the service before the page itself.
        self.assertEqual(first_request, asked[0])
        self.assertGreaterEqual(chat_made - main_made, 100,
                                "the main chat window waits 100 ms for the main frame's timer")
        self.assertGreaterEqual(asked[0] - chat_made, 10,
                                "the browser is asked for 10 ms after its window")
        self.assertLess(chat_shown, asked[0], "the window shows before its page is asked for")
        self.assertIsNone(recorder.first("MAP", main), "the main frame never shows")


if __name__ == "__main__":
    import unittest

    unittest.main()
