"""Pages walled in: run by an ordinary user, every process that shows a page
(the chat page, an alarm popup, a chat window, a page of the program's own
directory) runs under the engine's seccomp filter in a user namespace of its
own, and everything the pages use still works; run as root the engine cannot
sandbox, and the program says so in its start-up line."""

import os
import unittest

from harness import ProgramTest, kill, module_fixture, renderers

display = None
server = None

setUpModule, tearDownModule = module_fixture(__name__)


def sandboxed(pid):
    """Whether the process runs under a seccomp filter, in a user namespace
    other than this test's."""
    with open(f"/proc/{pid}/status") as f:
        seccomp = [line.split()[1] for line in f if line.startswith("Seccomp:")]
    return seccomp == ["2"] and os.readlink(f"/proc/{pid}/ns/user") != os.readlink(
        "/proc/self/ns/user")


class SandboxTest(ProgramTest):
    def answered(self, page, call):
        server.push(page, f"send(pkt(19, {{CALL: {call}}}))")
        self.prog.wait_for(lambda: any(f"<CALL>{call}</CALL>" in r
                                       for r in server.reports_of("jsrecv", page)),
                           what=f"the bridge's answer {call}")

    def startup_line(self):
        return self.prog.wait_for(lambda: self.prog.lines("VelkSTKApp: "),
                                  what="the start-up line")[0]

    def test_an_ordinary_users_pages_run_sandboxed_and_work(self):
        # A page of the program's own directory that reports to the server.
        with open(os.path.join(self.prog.dir, "local.html"), "w", encoding="utf-8") as f:
            f.write(f"<script>var x = new XMLHttpRequest(); x.open('POST', "
                    f"'{server.url('report/loaded')}?id={self.page}-file'); "
                    "x.send(location.protocol + typeof MApp);</script>")
        self.prog.as_user()
        self.prog.start(f"velk://url={server.url('chat_test.html')}?id={self.page}")
        self.assertIn("pages in the engine's sandbox: on", self.startup_line())
        self.assertRegex(self.startup_line(), r"Qt WebEngine \d+\.\d+\.\d+ \(Chromium \d+\.")
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")
        self.answered(self.page, 1)

        popup, side = self.page + "-popup", self.page + "-side"
        server.push(self.page, "send(pkt(22, {DLGTIT: '알림', CLOSESEC: 0, URL: location.origin "
                               f"+ '/popup_test.html?id={popup}'}}));"
                               "send(pkt(20, {TP: 3, DLGTIT: '옆 창', XX: 0, YY: 420, WW: 320, "
                               f"HH: 240, URL: location.origin + '/chat_test.html?id={side}'}}))")
        self.prog.wait_for(lambda: server.reports_of("loaded", popup), what="the popup's page")
        self.prog.wait_for(lambda: server.reports_of("loaded", side), what="the chat window")
        self.answered(side, 2)
        file_page = f"file://{self.prog.dir}/local.html"
        server.push(side, f"location.href = {file_page!r}")
        self.assertEqual(self.prog.wait_for(lambda: server.reports_of("loaded", self.page + "-file"),
                                            what="the program's own page")[0], "file:object")

        pids = renderers(self.prog.proc.pid)
        self.assertGreaterEqual(len(pids), 2)
        self.assertEqual([p for p in pids if not sandboxed(p)], [])

        # A renderer lost: the chat page comes back with its bridge, walled
        # in again.
        loads = len(server.reports_of("loaded", self.page))
        kill(pids)
        self.prog.wait_for(lambda: len(server.reports_of("loaded", self.page)) > loads,
                           what="the chat page back")
        self.answered(self.page, 3)
        self.assertTrue(all(sandboxed(p) for p in renderers(self.prog.proc.pid)))

    @unittest.skipUnless(os.getuid() == 0, "the tests run as an ordinary user")
    def test_as_root_the_program_says_that_pages_are_not_sandboxed(self):
        self.prog.start(f"velk://url={server.url('chat_test.html')}?id={self.page}")
        self.assertIn("pages in the engine's sandbox: off (the program runs as root",
                      self.startup_line())
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")
        self.answered(self.page, 1)
        self.assertFalse(any(sandboxed(p) for p in renderers(self.prog.proc.pid)))


if __name__ == "__main__":
    unittest.main()
