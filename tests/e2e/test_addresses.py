"""Addresses from outside on the real program: a link's start address and
the addresses of a page's side windows (command 20) and alarm popups
(command 22) open web addresses only; a local file, a data or a script
address is refused with a line that names it, beside web addresses that
open."""

import os
import unittest

from harness import ProgramTest, module_fixture

display = None
server = None


setUpModule, tearDownModule = module_fixture(__name__)


class AddressTest(ProgramTest):
    page_prefix = "a"

    def start(self, link):
        """Starts the program with `link`; the settings file's start page is
        the test page under the test's own id."""
        self.start_page = server.url("chat_test.html") + f"?id={self.page}-start"
        with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write(f"[APP]\nSTARTURL={self.start_page}\nXX=0\nYY=0\nWW=600\nHH=400\n"
                    "LMW=300\nLMH=200\n")
        self.prog.start(link)

    def windows(self):
        """The program's visible windows."""
        out = display.xdotool("search", "--onlyvisible", "--pid", str(self.prog.proc.pid))
        return {int(w) for w in out.split()}

    def refusals(self):
        with open(os.path.join(self.prog.root, "output.log"), encoding="utf-8",
                  errors="replace") as f:
            return [line.rstrip("\n") for line in f if line.startswith("address refused: ")]

    def test_a_links_address_opens_only_when_it_is_a_web_address(self):
        # The script address would report to the test server if it ran.
        beacon = server.url(f"report/ran?id={self.page}")
        refused = ["file:///etc/passwd",
                   f"javascript:navigator.sendBeacon('{beacon}')"]
        for address in refused:
            with self.subTest(address=address[:20]):
                self.start(f"velk://url={address}")
                # The main chat window opens on its usual start page instead.
                loaded = self.prog.wait_for(
                    lambda: server.reports_of("loaded", f"{self.page}-start"),
                    what="the start page")
                self.assertTrue(loaded[-1].startswith(self.start_page + " "), loaded)
                self.prog.wait_for_window("^벨크$", visible_only=True)
                self.assertEqual(self.refusals(),
                                 [f"address refused: {address} is not a web address"])
                self.prog.signal()
                self.assertEqual(self.prog.wait(30), 0, self.prog.output)
                self.prog.stop()
        self.assertEqual(server.reports_of("ran", self.page), [])
        # A web address opens.
        self.start(f"velk://url={server.url('chat_test.html')}?id={self.page}")
        loaded = self.prog.wait_for(lambda: server.reports_of("loaded", self.page),
                                    what="the linked page")
        self.assertTrue(loaded[0].startswith(server.url("chat_test.html")), loaded)
        self.assertEqual(self.refusals(), [])

    def test_a_pages_windows_open_only_on_web_addresses(self):
        self.start(f"velk://url={server.url('chat_test.html')}?id={self.page}")
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")
        self.prog.wait_for_window("^벨크$", visible_only=True)
        before = self.windows()
        refused = [(20, "data:text/html,side"), (20, "file:///etc/passwd"),
                   (22, "data:text/html,alarm"), (22, "FILE:///etc/passwd")]
        for cmd, address in refused:
            server.push(self.page, f"send(pkt({cmd}, {{TP: 3, DLGTIT: 'refused {cmd}', "
                                   f"CLOSESEC: 0, URL: {address!r}}}))")
        # Then the same commands on web addresses: their windows open, after
        # the refused ones were handled (the page's commands go in order).
        for cmd, page in ((20, "chat_test.html"), (22, "popup_test.html")):
            server.push(self.page, f"send(pkt({cmd}, {{TP: 3, DLGTIT: 'opened {cmd}', "
                                   f"CLOSESEC: 0, URL: location.origin + "
                                   f"'/{page}?id={self.page}-{cmd}'}}))")
        for cmd in (20, 22):
            self.prog.wait_for(lambda: server.reports_of("loaded", f"{self.page}-{cmd}"),
                               what=f"the page of command {cmd}")
        side = self.prog.wait_for_window("^opened 20$", visible_only=True)
        # Two windows came: the side window and the popup, whose page names it.
        popup = self.prog.wait_for_window("^알림 시험$", visible_only=True)
        self.assertEqual(self.windows() - before, {side, popup})
        self.assertEqual(self.refusals(),
                         [f"address refused: {a} is not a web address" for _, a in refused])


if __name__ == "__main__":
    unittest.main()
