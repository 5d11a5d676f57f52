"""Command 6 on the real program: a page of the service starts a local
program with its arguments, as text and never through a shell; a frame of
another site inside that page, a page of another site, and the service's
page in a popup start nothing."""

import os
import time
import unittest

from harness import ProgramTest, module_fixture

display = None
server = None

# Records its environment, then each argument on a line of its own and a
# line "--". The program is started through its file's descriptor, so $0
# is /proc/self/fd/N: the files are named by absolute paths.
RECORDER = """#!/bin/sh
env > '{env}'
for a in "$@"; do printf '%s\\n' "$a"; done >> '{args}'
echo -- >> '{args}'
"""


setUpModule, tearDownModule = module_fixture(__name__)


# An elevation tool whose user declines: it notes how it was called and
# with what environment, and exits as pkexec does when its question is
# dismissed.
DECLINING_TOOL = """#!/bin/sh
printf '%s\\n' "$@" > '{args}'
env > '{env}'
exit 126
"""


def fake_tool_path():
    """Where the program looks for its elevation tool (the build names it);
    only a path in a build tree's test-tools directory is written."""
    path = os.environ.get("VELK_PKEXEC", "")
    if os.path.basename(os.path.dirname(path)) != "test-tools" or not os.path.isabs(path):
        raise unittest.SkipTest("VELK_PKEXEC does not name a test-tools/pkexec of the build tree "
                                f"(it is {path!r}); configure with -DVELK_PKEXEC=<build>/test-tools/pkexec")
    return path


def read_env(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return dict(line.split("=", 1) for line in f.read().splitlines() if "=" in line)


class LaunchTest(ProgramTest):
    def start(self, host="127.0.0.1", env=None):
        with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write(f"[APP]\nTRUSTEDORIGINS=http://127.0.0.1:{server.port}\n")
        recorder = os.path.join(self.prog.dir, "rec.sh")
        self.args_file = os.path.join(self.prog.root, "args.txt")
        self.env_file = os.path.join(self.prog.root, "env.txt")
        with open(recorder, "w") as f:
            f.write(RECORDER.format(args=self.args_file, env=self.env_file))
        os.chmod(recorder, 0o755)
        self.marker = os.path.join(self.prog.root, "touched")
        url = server.url("chat_test.html").replace("127.0.0.1", host)
        self.prog.start(f"velk://url={url}?id={self.page}", env=env)
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")

    def recorded(self):
        if not os.path.exists(self.args_file):
            return []
        with open(self.args_file, encoding="utf-8") as f:
            text = f.read()
        return [run.splitlines() for run in text.split("--\n")[:-1]]

    def refusals(self):
        with open(os.path.join(self.prog.root, "output.log"), encoding="utf-8",
                  errors="replace") as f:
            return [line for line in f if line.startswith("program start refused")]

    def launch(self, param):
        server.push(self.page, f"send(pkt(6, {{EXEFILE: 'rec.sh', PARAM: {param!r}}}))")

    def test_the_services_page_starts_the_program_and_its_foreign_frame_does_not(self):
        self.start()
        self.launch(f'a "b c" "b;touch {self.marker}" $(touch {self.marker}) 한글')
        runs = self.prog.wait_for(self.recorded, what="the program's arguments")
        self.assertEqual(runs, [["a", "b c", f"b;touch {self.marker}",
                                 "$(touch", f"{self.marker})", "한글"]])
        # The program keeps the user's environment, without the engine's.
        env = read_env(self.env_file)
        self.assertIn("HOME", env)
        self.assertEqual([k for k in env if k.startswith("QTWEBENGINE_")], [])

        # A frame of another origin inside the same page asks too.
        frame_packet = ("<PKT><GBN>9000</GBN><CMD>6</CMD><EXEFILE>rec.sh</EXEFILE>"
                        "<PARAM>from-frame</PARAM></PKT>")
        server.push(self.page, "var f = document.createElement('iframe'); f.src = "
                               "location.origin.replace('127.0.0.1', 'localhost') + "
                               "'/launch_frame.html?p=' + encodeURIComponent("
                               f"{frame_packet!r}); document.body.appendChild(f);")
        refused = self.prog.wait_for(self.refusals, what="the frame's request refused")
        self.assertIn(f"http://localhost:{server.port}", refused[0])
        # The frame can script the page, so the page's own request is
        # refused too, until the page has loaded anew; then it may again,
        # and only its own starts happened.
        self.launch("refused")
        self.prog.wait_for(lambda: len(self.refusals()) == 2, what="the page's request refused")
        server.push(self.page, "location.reload()")
        self.prog.wait_for(lambda: len(server.reports_of("loaded", self.page)) == 2,
                           what="the page loaded anew")
        self.launch("again")
        self.prog.wait_for(lambda: len(self.recorded()) == 2, what="the second start")
        self.assertEqual(self.recorded()[1], ["again"])
        self.assertFalse(os.path.exists(self.marker), "an argument ran a command")

    def test_a_declined_elevation_shows_the_error_box_and_the_windows_go_on(self):
        tool = fake_tool_path()
        os.makedirs(os.path.dirname(tool), exist_ok=True)
        tool_args = os.path.join(self.prog.root, "tool-args.txt")
        tool_env = os.path.join(self.prog.root, "tool-env.txt")
        with open(tool, "w") as f:
            f.write(DECLINING_TOOL.format(args=tool_args, env=tool_env))
        os.chmod(tool, 0o755)
        self.addCleanup(os.remove, tool)
        # A tool of the same name on PATH is never the one run.
        decoy = os.path.join(self.prog.root, "decoy")
        os.makedirs(decoy)
        with open(os.path.join(decoy, "pkexec"), "w") as f:
            f.write("#!/bin/sh\nexit 0\n")
        os.chmod(os.path.join(decoy, "pkexec"), 0o755)
        self.start(env={"PATH": decoy + ":" + os.environ.get("PATH", "/usr/bin:/bin"),
                        "LD_LIBRARY_PATH": "/nonexistent"})
        before = set(display.windows_named("^VelkSTKApp$"))
        server.push(self.page, "send(pkt(6, {EXEFILE: 'rec.sh', PARAM: 'x y', RUNASADMIN: 1}))")
        box = self.prog.wait_for(
            lambda: next(iter(set(display.windows_named("^VelkSTKApp$", True)) - before), None),
            what="the error box")
        # The tool got the program's full path and its arguments.
        with open(tool_args, encoding="utf-8") as f:
            self.assertEqual(f.read().splitlines(), [os.path.join(self.prog.dir, "rec.sh"), "x", "y"])
        # It got what a desktop's authentication agent needs, and nothing of
        # the engine's or the loader's.
        env = read_env(tool_env)
        self.assertEqual(env.get("PATH"), "/usr/bin:/bin")
        self.assertIn("DISPLAY", env)
        self.assertEqual([k for k in env if k.startswith(("QTWEBENGINE_", "LD_"))], [])
        # While the box is open, the chat window still answers its page
        # (a placement query comes back through JSRecv).
        server.push(self.page, "send(pkt(19, {CALL: 1}))")
        self.prog.wait_for(lambda: server.reports_of("jsrecv", self.page),
                           what="an answer while the box is open")
        display.xdotool("windowactivate", "--sync", str(box))
        display.xdotool("key", "Return")
        self.prog.wait_for(lambda: box not in display.windows_named("^VelkSTKApp$", True),
                           what="the box closed")
        self.assertEqual(self.recorded(), [])

    def test_a_page_of_another_origin_starts_nothing(self):
        # The start address came from a link: that does not make it trusted.
        self.start(host="localhost")
        self.launch("x")
        refused = self.prog.wait_for(self.refusals, what="the request refused")
        self.assertIn(f"the page http://localhost:{server.port}/chat_test.html", refused[0])
        # The refusal is written when the request is handled: nothing came
        # before it, and the program runs on.
        self.assertEqual(self.recorded(), [])
        self.assertTrue(self.prog.running())

    def test_the_services_page_in_a_popup_or_a_window_it_opened_starts_nothing(self):
        # The service's own page, trusted, in an alarm popup and in a window
        # the chat page opened: neither kind of window may ask for a start.
        self.start()
        alarm, opened = f"{self.page}-alarm", f"{self.page}-opened"
        server.push(self.page, f"send(pkt(22, {{CLOSESEC: 0, URL: location.origin + "
                               f"'/popup_test.html?id={alarm}'}}))")
        server.push(self.page, f"window.open('/popup_test.html?id={opened}', '_blank', "
                               f"'width=300,height=200')")
        for popup in (alarm, opened):
            self.prog.wait_for(lambda: server.reports_of("loaded", popup), what=popup)
            # Then a chat window: once its page is there, the request before
            # it was handled (a page's commands go in order).
            server.push(popup, "send(pkt(6, {EXEFILE: 'rec.sh', PARAM: 'popup'})); "
                               f"send(pkt(20, {{TP: 3, DLGTIT: '{popup}', URL: location.origin + "
                               f"'/chat_test.html?id={popup}-chat'}}))")
            self.prog.wait_for(lambda: server.reports_of("loaded", f"{popup}-chat"),
                               what=f"the chat window {popup} asked for")
        self.assertEqual(self.recorded(), [])
        # The same request from the chat page starts the program.
        self.launch("chat")
        self.assertEqual(self.prog.wait_for(self.recorded, what="the start"),
                         [["chat"]])


if __name__ == "__main__":
    unittest.main()
