"""What comes from outside and what dies under the program: window names
that try to lead out of the user's configuration directory, two instances
under one class name, the renderer of an alarm popup's page lost while the
popup is on screen, and two pages that lose their renderers at once."""

import hashlib
import os
import re
import signal
import socket
import subprocess
import time
import unittest

from harness import Program, ProgramTest, XRecorder, kill, module_fixture, renderers

display = None
server = None


setUpModule, tearDownModule = module_fixture(__name__)


def tree(root):
    """Every file and directory under root, relative to it."""
    out = set()
    for parent, dirs, files in os.walk(root):
        out.update(os.path.relpath(os.path.join(parent, n), root) for n in dirs + files)
    return out


class ProfileDirectoryTest(ProgramTest):
    # (where WINNM comes from, WINNM, its directory in the configuration):
    # separators, a leading dot and '%' are written as %XX of their UTF-8
    # bytes, everything else stays.
    CASES = [("link", "../../escaped", "%2E.%2F..%2Fescaped"),
             ("ini", "a/../../../escaped", "a%2F..%2F..%2F..%2Fescaped"),
             ("link", ".벨크\\50%", "%2E벨크%5C50%25")]

    def test_window_names_that_lead_out_keep_the_profile_inside_the_configuration(self):
        config = os.path.join("home", ".config")
        for n, (source, winnm, directory) in enumerate(self.CASES):
            with self.subTest(source=source, winnm=winnm):
                page = f"{self.page}-{n}"
                link = f"velk://url={server.url('chat_test.html')}?id={page}"
                with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
                    f.write(f"[APP]\nWINNM={winnm}\n" if source == "ini" else "")
                if source == "link":
                    link += f"$winnm={winnm}"
                before = tree(self.prog.root)
                self.prog.start(link)
                self.prog.wait_for(lambda: server.reports_of("loaded", page), what="the chat page")
                self.prog.wait_for_window("^벨크$", visible_only=True)
                # The alarm settings are written to the profile at once.
                server.push(page, f"send(pkt(30, {{MARK: '{page}'}}))")
                profile = os.path.join(self.prog.root, config, directory, "VelkSTKApp.conf")

                def stored():
                    try:
                        with open(profile, encoding="utf-8") as f:
                            return f"<MARK>{page}</MARK>" in f.read()
                    except OSError:
                        return False
                self.prog.wait_for(stored, what=f"the alarm settings in {profile}")
                self.prog.signal(signal.SIGTERM)
                self.assertEqual(self.prog.wait(30), 0, self.prog.output)
                self.assertEqual(self.prog.bad_output(), [], self.prog.output)

                new = tree(self.prog.root) - before
                # In the configuration: the profile's directory and file only.
                self.assertEqual({p for p in new if p.startswith(config + os.sep)},
                                 {os.path.join(config, directory),
                                  os.path.join(config, directory, "VelkSTKApp.conf")})
                # Elsewhere only the program's own places: the settings and the
                # cache beside the executable, the toolkit's caches, the data
                # directory and the log of this run.
                own = ("app" + os.sep, os.path.join("home", ".cache"),
                       os.path.join("home", ".local"), config, "output.log")
                self.assertEqual(sorted(p for p in new if not p.startswith(own)), [])


def channel_answers(runtime, class_name):
    """Whether an instance listens on the channel of `class_name`: a local
    socket in the runtime directory named after the SHA-256 of the name."""
    digest = hashlib.sha256(class_name.encode()).hexdigest()[:32]
    with socket.socket(socket.AF_UNIX) as probe:
        try:
            probe.connect(os.path.join(runtime, f"velk-instance-{digest}"))
            return True
        except OSError:
            return False


class SharedClassNameTest(unittest.TestCase):
    """Instances in working copies of their own, each with its own MUTEX and
    its main chat window at its own place, all under one CLSNM, for one user
    (one runtime directory)."""

    def setUp(self):
        self.progs = []
        self.cls = f"Shared{time.time_ns()}"
        self.runtime = None

    def tearDown(self):
        try:
            for prog in self.progs:
                if prog.running():
                    prog.signal(signal.SIGTERM)
                    self.assertEqual(prog.wait(30), 0, prog.output)
                self.assertEqual(prog.bad_output(), [], prog.output)
        finally:
            for prog in self.progs:
                prog.cleanup()

    def launch(self, n):
        prog = Program(display)
        self.runtime = self.runtime or prog.runtime
        prog.runtime = self.runtime
        prog.x = 420 * n
        with open(os.path.join(prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write(f"[APP]\nMUTEX=M{n}-{self.cls}\nCLSNM={self.cls}\nXX={prog.x}\nYY=0\n"
                    "WW=400\nHH=300\nLMW=300\nLMH=200\n")
        self.progs.append(prog)
        page = f"{self.cls}-{n}"
        prog.start(f"velk://url={server.url('chat_test.html')}?id={page}")
        prog.wait_for(lambda: server.reports_of("loaded", page), what=f"instance {n}'s page")
        self.assertEqual(self.placed_at(prog, page), prog.x)
        return prog

    def placed_at(self, prog, page):
        """The left edge of the chat window that shows `page`, as its
        placement query answers."""
        server.push(page, "send(pkt(19, {CALL: 1}))")
        reply = prog.wait_for(lambda: server.reports_of("jsrecv", page), what=f"{page}'s answer")[0]
        return int(re.search(r"<XX>(-?\d+)</XX>", reply).group(1))

    def hand_off(self, prog, to, page):
        """Starts `prog`'s working copy again (its MUTEX held by a running
        instance) with a link to `page`; the link must reach `to`."""
        r = subprocess.run([prog.exe, f"velk://url={server.url('chat_test.html')}?id={page}"],
                           env=prog.env(), cwd=prog.root, capture_output=True, timeout=60)
        self.assertEqual(r.returncode, 0, r.stdout)
        to.wait_for(lambda: server.reports_of("loaded", page),
                    what=f"the hand-off of {page} (the start said {r.stderr!r})")
        self.assertEqual(self.placed_at(to, page), to.x, "the link went to another instance")

    def test_later_instances_leave_the_channel_alone_and_take_it_over_once_it_is_free(self):
        first, second, third = (self.launch(n) for n in range(3))
        self.assertEqual(len(display.windows_named("^벨크$", visible_only=True)), 3)
        # The last one ends: the first one's channel is still there and its
        # own. (Of two instances waiting for the name, which one takes it
        # over is not decided: one waits here.)
        third.signal(signal.SIGTERM)
        self.assertEqual(third.wait(30), 0, third.output)
        self.hand_off(first, first, f"{self.cls}-to-first")
        # The first one ends: the second takes the name over once the
        # channel is gone, and a start with its MUTEX reaches it.
        first.signal(signal.SIGTERM)
        self.assertEqual(first.wait(30), 0, first.output)
        second.wait_for(lambda: channel_answers(self.runtime, self.cls),
                        what="the second instance on the channel")
        self.hand_off(second, second, f"{self.cls}-to-second")
        self.assertEqual(len(display.windows_named("^벨크$", visible_only=True)), 1)


class PopupRendererLossTest(ProgramTest):
    def test_an_alarm_popup_stays_on_screen_and_its_page_comes_back_with_its_bridge(self):
        with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write("[APP]\nXX=0\nYY=0\nWW=600\nHH=400\nLMW=300\nLMH=200\n")
        self.prog.start(f"velk://url={server.url('chat_test.html')}?id={self.page}")
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")
        chat_renderers = set(self.prog.wait_for(lambda: renderers(self.prog.proc.pid),
                                                what="the chat page's renderer"))
        # An alarm popup that stays until it is closed. Its page is no
        # window.open of the chat page: it gets a renderer of its own.
        popup = self.page + "-popup"
        server.push(self.page, "send(pkt(22, {DLGTIT: '알림 시험', CLOSESEC: 0, URL: "
                               f"location.origin + '/popup_test.html?id={popup}'}}))")
        self.prog.wait_for(lambda: server.reports_of("loaded", popup), what="the popup's page")
        wid = self.prog.wait_for_window("^알림 시험$", visible_only=True)
        popup_renderers = set(renderers(self.prog.proc.pid)) - chat_renderers
        self.assertTrue(popup_renderers, "the popup's page has no renderer of its own")

        recorder = XRecorder(display)
        try:
            recorder.mark(self.prog, "kill")
            kill(popup_renderers)
            self.prog.wait_for(lambda: len(server.reports_of("loaded", popup)) == 2,
                               what="the popup's page loaded again")
            # Its bridge works: the popup's page opens a chat window.
            opened = self.page + "-opened"
            server.push(popup, "send(pkt(20, {TP: 3, DLGTIT: '열린 창', XX: 0, YY: 420, WW: 320, "
                               f"HH: 240, URL: location.origin + '/chat_test.html?id={opened}'}}))")
            self.prog.wait_for(lambda: server.reports_of("loaded", opened),
                               what="the chat window opened by the popup's page")
            # The chat page kept its renderer and answers as before.
            server.push(self.page, "send(pkt(19, {CALL: 2}))")
            self.prog.wait_for(lambda: any("<CALL>2</CALL>" in r
                                           for r in server.reports_of("jsrecv", self.page)),
                               what="the chat page's answer")
            self.assertEqual(len(server.reports_of("loaded", self.page)), 1)
            # The popup never left the screen: the same X window, mapped all along.
            recorder.mark(self.prog, "end")
            self.assertEqual([ln[0] for ln in recorder.between("kill", None, wid)
                              if ln[0] in ("UNMAP", "DESTROY")], [])
            self.assertEqual(display.windows_named("^알림 시험$", visible_only=True), [wid])
        finally:
            recorder.stop()


class TwoPagesRendererLossTest(ProgramTest):
    """The chat page and a popup lose their renderers together, twice; each
    time each page comes back once, with its bridge from the start, and the
    bridge answers."""

    def start(self):
        with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write("[APP]\nXX=0\nYY=0\nWW=600\nHH=400\nLMW=300\nLMH=200\n")
        self.prog.start(f"velk://url={server.url('chat_test.html')}?id={self.page}")
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")

    def kill_every_renderer(self, pages, load):
        """Kills every renderer of the program once `pages` have had `load` - 1
        loads; each of them must come back with load `load`."""
        for p in pages:
            self.prog.wait_for(lambda: len(server.reports_of("bridge", p)) == load - 1,
                               what=f"load {load - 1} of {p}")
        victims = renderers(self.prog.proc.pid)
        self.assertTrue(victims)
        kill(victims)
        for p in pages:
            self.prog.wait_for(lambda: len(server.reports_of("bridge", p)) >= load,
                               what=f"load {load} of {p}")
        # Each page's scripts found the bridge on every load.
        self.assertEqual({p: server.reports_of("bridge", p) for p in pages},
                         {p: ["object"] * load for p in pages})

    def chat_page_answers(self, call):
        server.push(self.page, f"send(pkt(19, {{CALL: {call}}}))")
        self.prog.wait_for(lambda: any(f"<CALL>{call}</CALL>" in r
                                       for r in server.reports_of("jsrecv", self.page)),
                           what=f"the chat page's answer {call}")

    def test_a_page_popup_and_the_chat_page_sharing_a_renderer_come_back_with_their_bridges(self):
        self.start()
        popup = self.page + "-pp"
        # A window.open of the chat page, in the chat page's renderer.
        server.push(self.page, f"window.open('/chat_test.html?id={popup}', '_blank', "
                               "'width=320,height=240,left=700,top=100')")
        self.prog.wait_for(lambda: server.reports_of("loaded", popup), what="the page popup")
        for load in (2, 3):
            self.kill_every_renderer([self.page, popup], load)
            self.chat_page_answers(load)
            # The page popup's window calls JSVer in its page.
            server.push(popup, "send(pkt(31, {}))")
            self.prog.wait_for(lambda: len(server.reports_of("jsver", popup)) == load - 1,
                               what=f"the popup's JSVer after load {load}")
        self.assertEqual([len(server.reports_of("loaded", p)) for p in (self.page, popup)], [3, 3])

    def test_an_alarm_popup_and_the_chat_page_come_back_with_their_bridges(self):
        self.start()
        popup = self.page + "-ap"
        server.push(self.page, "send(pkt(22, {DLGTIT: '알림 시험', CLOSESEC: 0, URL: "
                               f"location.origin + '/popup_test.html?id={popup}'}}))")
        self.prog.wait_for(lambda: server.reports_of("loaded", popup), what="the alarm popup")
        for load in (2, 3):
            self.kill_every_renderer([self.page, popup], load)
            self.chat_page_answers(load)
            # The alarm popup's page opens a chat window (a new one: its title
            # is new).
            opened = f"{self.page}-opened{load}"
            server.push(popup, f"send(pkt(20, {{TP: 3, DLGTIT: '열린 창 {load}', XX: 0, "
                               "YY: 420, WW: 320, HH: 240, URL: location.origin + "
                               f"'/chat_test.html?id={opened}'}}))")
            self.prog.wait_for(lambda: server.reports_of("loaded", opened),
                               what=f"the chat window opened after load {load}")
        self.assertEqual([len(server.reports_of("loaded", p)) for p in (self.page, popup)], [3, 3])


if __name__ == "__main__":
    unittest.main()
