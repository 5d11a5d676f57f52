"""Who may start programs, tried as an attacker would: a page of another
site (`localhost` beside the service's `127.0.0.1`) that rewrites its
address, scripts the service's page from a frame or a window, plants a
script in a service page's new document and then leaves or goes to the
service itself, or keeps calling while the service's page is on its way;
and a page of the service's host delivered with a certificate error, on the
service's port or another. Nothing starts in any of them; in each test the
service's own page then can, once its top frame has loaded anew with
nothing else left in its group."""

import json
import os
import subprocess
import tempfile
import unittest

from harness import PageServer, ProgramTest, module_fixture

display = None
server = None

setUpModule, tearDownModule = module_fixture(__name__)

# What every attack asks for: the recorder started with "attack".
ATTACK = "<PKT><GBN>9000</GBN><CMD>6</CMD><EXEFILE>rec.sh</EXEFILE><PARAM>attack</PARAM></PKT>"


def self_signed():
    """A certificate for 127.0.0.1 that no authority signed, and its key."""
    tmp = tempfile.mkdtemp(prefix="velk-tls-")
    cert, key = os.path.join(tmp, "cert.pem"), os.path.join(tmp, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                   check=True, capture_output=True)
    return cert, key


class TrustTest(ProgramTest):
    def start(self, url, trusted=None):
        origins = " ".join(trusted or [f"http://127.0.0.1:{server.port}"])
        with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write(f"[APP]\nTRUSTEDORIGINS={origins}\n")
        self.args_file = os.path.join(self.prog.root, "args.txt")
        recorder = os.path.join(self.prog.dir, "rec.sh")
        with open(recorder, "w") as f:
            f.write(f"#!/bin/sh\necho \"$*\" >> '{self.args_file}'\n")
        os.chmod(recorder, 0o755)
        self.prog.start(f"velk://url={url}")

    def loaded(self, count, srv=None):
        srv = srv or server
        self.prog.wait_for(lambda: len(srv.reports_of("loaded", self.page)) >= count,
                           what=f"load {count} of the page")

    def started(self):
        if not os.path.exists(self.args_file):
            return []
        with open(self.args_file, encoding="utf-8") as f:
            return f.read().splitlines()

    def refusals(self):
        return self.prog.lines("program start refused")

    def refused(self, count):
        return self.prog.wait_for(lambda: len(self.refusals()) >= count and self.refusals(),
                                  what=f"refusal {count}")[count - 1]

    def launch(self, param, srv=None):
        (srv or server).push(self.page, f"send(pkt(6, {{EXEFILE: 'rec.sh', PARAM: {param!r}}}))")

    def page_url(self, host="127.0.0.1", path="chat_test.html"):
        return server.url(path).replace("127.0.0.1", host) + f"?id={self.page}"

    def foreign_script_url(self, script):
        from urllib.parse import quote
        return self.page_url("localhost", "run.html").split("?")[0] + "?s=" + quote(script)

    def assert_own_start_after_reload(self, loads, srv=None):
        """The control: once the service's page has loaded anew, it starts
        the program, and nothing else ever started."""
        (srv or server).push(self.page, "location.reload()")
        self.loaded(loads, srv)
        self.launch("own", srv)
        self.prog.wait_for(self.started, what="the page's own start")
        self.assertEqual(self.started(), ["own"])

    def planter(self, target, marker, then):
        """The script of a foreign page that waits until the window
        `target` (a script expression) holds a service document whose
        address has `marker`, writes into it a script that calls the bridge
        once told to (`window.go`), and then runs `then`."""
        planted = ("report('planted', 1); setInterval(function () { if (window.go) "
                   f"{{ window.go = 0; MApp.jsPacket({json.dumps(ATTACK)}); }} }}, 50);")
        return ("var iv = setInterval(function () { try {"
                f" var t = {target};"
                f" if (t.location.href.indexOf({json.dumps(marker)}) < 0 || !t.document.body ||"
                " !t.MApp) return;"
                " clearInterval(iv);"
                " var el = t.document.createElement('script');"
                f" el.text = {json.dumps(planted)};"
                f" t.document.body.appendChild(el); {then}"
                " } catch (e) {} }, 20);")

    def fire_planted(self, page, count):
        """Waits for the `count`th planted script in `page`, tells it to
        call and returns the `count`th refusal."""
        self.prog.wait_for(lambda: len(server.reports_of("planted", page)) >= count,
                           what="the planted script")
        server.push(page, "window.go = 1")
        return self.refused(count)

    def wait_windows_gone(self, title):
        self.prog.wait_for(lambda: not display.windows_named(title), what=f"{title} gone")

    def click_link_over_the_page(self, href):
        """The user clicks a link that covers the whole page."""
        server.push(self.page, f"document.body.innerHTML = '<a href=\"{href}\" "
                               "style=\"position:fixed;left:0;top:0;right:0;bottom:0\">x</a>';"
                               "report('link', 1)")
        self.prog.wait_for(lambda: server.reports_of("link", self.page), what="the link")
        window = self.prog.wait_for_window("^벨크$", visible_only=True)
        x, y, w, h = display.window_geometry(window)
        display.xdotool("mousemove", str(x + w // 2), str(y + h // 2), "click", "1")

    def test_a_foreign_page_that_the_user_goes_back_to_is_still_foreign(self):
        # A page that caches may keep for going back.
        self.start(self.page_url("localhost", "cacheable/chat_test.html"))
        self.loaded(1)
        self.click_link_over_the_page(self.page_url())
        self.loaded(2)
        self.launch("own")
        self.prog.wait_for(self.started, what="the page's own start")
        # Back to the foreign page, which the user left by a click.
        server.push(self.page, "history.back()")
        server.push(self.page, "report('back', location.host)")
        self.assertEqual(self.prog.wait_for(lambda: server.reports_of("back", self.page),
                                            what="the foreign page back")[0],
                         f"localhost:{server.port}")
        server.push(self.page, f"send({ATTACK!r})")
        self.assertIn(f"http://localhost:{server.port}/cacheable/chat_test.html", self.refused(1))
        self.assertEqual(self.started(), ["own"])

    def test_a_page_that_rewrites_its_address_stays_foreign(self):
        self.start(self.page_url("localhost"))
        self.loaded(1)
        trusted = self.page_url()
        server.push(self.page, f"history.replaceState(null, '', {trusted!r});"
                               f"report('address', location.href); send({ATTACK!r})")
        self.assertEqual(self.prog.wait_for(lambda: server.reports_of("address", self.page),
                                            what="the rewritten address")[0], trusted)
        self.assertIn(f"http://localhost:{server.port}/chat_test.html", self.refused(1))
        # The window really goes to the service's page: now it may.
        server.push(self.page, f"location.href = {trusted + '&n=2'!r}")
        self.loaded(2)
        self.launch("own")
        self.prog.wait_for(self.started, what="the page's own start")
        self.assertEqual(self.started(), ["own"])

    def test_a_frame_of_another_site_taints_its_page_until_it_loads_anew(self):
        self.start(self.page_url())
        self.loaded(1)
        src = self.foreign_script_url(f"top.MApp.jsPacket({ATTACK!r})")
        server.push(self.page, f"window.f = document.createElement('iframe'); f.src = {src!r};"
                               "document.body.appendChild(f);")
        self.assertIn(f"http://localhost:{server.port}", self.refused(1))
        # The frame may have left script behind in the page: the page's own
        # request is refused too, also once the frame is gone.
        server.push(self.page, "f.remove(); " + f"send({ATTACK!r})")
        self.refused(2)
        self.assertEqual(self.started(), [])
        self.assert_own_start_after_reload(2)

    def test_a_window_of_another_site_opened_by_the_page_cannot_use_its_bridge(self):
        self.start(self.page_url())
        self.loaded(1)
        src = self.foreign_script_url(f"opener.MApp.jsPacket({ATTACK!r})")
        server.push(self.page, f"window.w = window.open({src!r}, '_blank', 'width=300,height=200')")
        self.assertIn(f"http://localhost:{server.port}", self.refused(1))
        # Once the window is closed, the page it scripted still counts as
        # touched until it loads anew.
        server.push(self.page, f"w.close(); send({ATTACK!r})")
        self.refused(2)
        self.assertEqual(self.started(), [])
        self.assert_own_start_after_reload(2)

    def test_a_script_planted_by_a_window_that_then_closed_is_still_foreign(self):
        self.start(self.page_url())
        self.loaded(1)
        # (who sends the service page to its next document and plants a
        # script in it: the page's own foreign window, or a window that a
        # foreign frame opened and that keeps opener.top)
        for n, opens in ((2, "window.open"), (4, "frame")):
            with self.subTest(opens=opens):
                second = self.page_url() + f"&n={n}"
                planter = self.foreign_script_url(
                    f"var s = opener.top; s.location.href = {json.dumps(second)};" +
                    self.planter("s", f"n={n}", "window.close();"))
                if opens == "frame":
                    frame = self.foreign_script_url(
                        f"window.open({json.dumps(planter)}, '_blank', 'width=300,height=200')")
                    server.push(self.page, "var f = document.createElement('iframe');"
                                           f"f.src = {frame!r}; document.body.appendChild(f);")
                else:
                    server.push(self.page,
                                f"window.open({planter!r}, '_blank', 'width=300,height=200')")
                self.loaded(n)
                self.wait_windows_gone("^run$")
                self.assertIn(f"http://localhost:{server.port}/run.html",
                              self.fire_planted(self.page, n // 2))
                self.assertEqual(self.started(), [])
                # The control: alone in its group, the page loaded anew may.
                self.assert_own_start_after_reload(n + 1)
                os.remove(self.args_file)

    def test_a_script_planted_by_a_window_that_went_to_the_service_itself(self):
        # The main window, reached by a link, shows another site's page. It
        # opens a window of that site and goes to the service; the window
        # plants a script in the service's new page and goes to the service
        # too (windows a page opens may not start programs themselves).
        self.start(self.page_url("localhost"))
        self.loaded(1)
        opened = self.page + "-w"
        service_window = self.page_url().replace(f"id={self.page}", f"id={opened}")
        helper = self.foreign_script_url(
            self.planter("opener", f"127.0.0.1:{server.port}/chat_test",
                         f"location.href = {json.dumps(service_window)};"))
        server.push(self.page, f"window.open({helper!r}, '_blank', 'width=300,height=200');"
                               f"setTimeout(function () {{ location.href = {self.page_url()!r}; }},"
                               " 300)")
        self.loaded(2)
        self.prog.wait_for(lambda: server.reports_of("loaded", opened), what="the window at the service")
        self.assertIn(f"http://localhost:{server.port}/", self.fire_planted(self.page, 1))
        self.assertEqual(self.started(), [])
        # The control: once that window is gone, the main window's page
        # loaded anew may.
        server.push(opened, "window.close()")
        self.wait_windows_gone("^chat test$")
        self.assert_own_start_after_reload(3)

    def test_a_certificate_that_failed_on_another_port_of_the_host_is_not_forgotten(self):
        # One certificate on both ports, as one host has.
        cert = self_signed()
        notices, service = PageServer(tls=cert), PageServer(tls=cert)
        try:
            self.start(self.page_url(), trusted=[f"https://127.0.0.1:{service.port}",
                                                 f"http://127.0.0.1:{server.port}"])
            self.loaded(1)
            # A notice of the service's host on another port, with the
            # certificate that fails; the engine accepts it for the host.
            notice = self.page + "-notice"
            server.push(self.page, "send(pkt(22, {DLGTIT: '공지', CLOSESEC: 0, URL: "
                                   f"{notices.url('popup_test.html?id=' + notice)!r}}}))")
            self.prog.wait_for(lambda: notices.reports_of("loaded", notice), what="the notice")
            # The service's own port, with the same certificate: the engine
            # does not ask again, and the page is still not trusted.
            server.push(self.page, f"location.href = "
                                   f"{service.url('chat_test.html?id=' + self.page)!r}")
            self.loaded(1, service)
            self.launch("attack", service)
            self.assertIn(f"https://127.0.0.1:{service.port}/chat_test.html", self.refused(1))
            self.assertEqual(self.started(), [])
            # The host's plain pages carry no certificate: the service's
            # page over http may.
            service.push(self.page, f"location.href = {self.page_url() + '&n=2'!r}")
            self.loaded(2)
            self.launch("own")
            self.prog.wait_for(self.started, what="the page's own start")
            self.assertEqual(self.started(), ["own"])
        finally:
            notices.stop()
            service.stop()

    def test_a_page_that_keeps_calling_while_the_service_page_is_on_its_way(self):
        self.start(self.page_url("localhost"))
        self.loaded(1)
        # The service's page takes a while to come; the foreign page calls
        # every few milliseconds until it is replaced.
        slow = server.url(f"slow/1500/chat_test.html?id={self.page}")
        server.push(self.page, f"setInterval(function () {{ send({ATTACK!r}); }}, 5);"
                               f"location.href = {slow!r}")
        self.loaded(2)
        self.launch("own")
        self.prog.wait_for(self.started, what="the page's own start")
        self.assertEqual(self.started(), ["own"])
        self.assertGreater(len(self.refusals()), 1)

    def test_a_page_with_a_certificate_error_is_not_the_services(self):
        tls = PageServer(tls=self_signed())
        try:
            self.start(tls.url(f"chat_test.html?id={self.page}"),
                       trusted=[f"https://127.0.0.1:{tls.port}", f"http://127.0.0.1:{server.port}"])
            # The engine still shows the page.
            self.loaded(1, tls)
            self.launch("attack", tls)
            self.assertIn("certificate error", self.refused(1))
            self.assertEqual(self.started(), [])
            # The same page over a sound connection may.
            tls.push(self.page, f"location.href = {self.page_url()!r}")
            self.loaded(1)
            self.launch("own")
            self.prog.wait_for(self.started, what="the page's own start")
            self.assertEqual(self.started(), ["own"])
        finally:
            tls.stop()

    def test_an_unknown_scheme_never_reaches_the_desktop(self):
        tools = os.path.join(self.prog.root, "tools")
        os.makedirs(tools)
        opened = os.path.join(self.prog.root, "opened.txt")
        with open(os.path.join(tools, "xdg-open"), "w") as f:
            f.write(f"#!/bin/sh\necho \"$*\" >> '{opened}'\n")
        os.chmod(os.path.join(tools, "xdg-open"), 0o755)
        with open(os.path.join(self.prog.dir, "app.ini"), "w", encoding="utf-8") as f:
            f.write("[APP]\n")
        self.prog.start(f"velk://url={self.page_url()}",
                        env={"PATH": tools + ":" + os.environ.get("PATH", "/usr/bin:/bin")})
        self.loaded(1)
        self.click_link_over_the_page("velk-test-scheme:run")
        self.prog.wait_for(
            lambda: any("address refused: velk-test-scheme:run" in line
                        for line in open(os.path.join(self.prog.root, "output.log"),
                                         encoding="utf-8", errors="replace")),
            what="the refusal")
        self.assertFalse(os.path.exists(opened))


if __name__ == "__main__":
    unittest.main()
