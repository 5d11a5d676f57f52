"""Text that comes back to a page through JSRecv stays text: a frame of
another site whose placement query holds a backslash before a quote, or a
link whose URI does, gets exactly its text to the page, and what follows the
quote does not run as the page's script."""

import json
import re
import unittest

from harness import ProgramTest, module_fixture

display = None
server = None


setUpModule, tearDownModule = module_fixture(__name__)

# Run as script, this would set a mark in the page. Escaping only the quote
# would turn its backslash-quote into an escaped backslash and a quote that
# ends the string.
PAYLOAD = "\\\");window.injected='ran';//"

# What the view adds to a placement query before answering it.
PLACEMENT_ANSWER = "".join(f"<{tag}>-?[0-9]+</{tag}>" for tag in (
    "XX", "YY", "WW", "HH", "CYCAPTION", "CXFRAME", "CYFRAME", "CXBORDER", "CYBORDER"))


class InjectionTest(ProgramTest):
    def start(self, *params):
        link = "$".join([f"url={server.url('chat_test.html')}?id={self.page}", *params])
        self.prog.start(f"velk://{link}")
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")

    def answers(self, cmd):
        return [t for t in server.reports_of("jsrecv", self.page) if f"<CMD>{cmd}</CMD>" in t]

    def assert_nothing_ran(self):
        # The probe runs in a later task of the page than any answer seen so
        # far, so whatever such an answer ran has finished by then.
        server.push(self.page, "report('injected', String(window.injected))")
        self.assertEqual(self.prog.wait_for(lambda: server.reports_of("injected", self.page),
                                            what="the page's probe"), ["undefined"])

    def test_a_foreign_frames_placement_query_comes_back_as_its_text(self):
        self.start()
        texts = {
            "plain": "where am I",
            "escaped quote": PAYLOAD,
            "line breaks": "a\rb\u2028c\u2029d\ne" + PAYLOAD,
        }
        expected = []
        for name, text in texts.items():
            request = f"<PKT><GBN>9000</GBN><CMD>19</CMD><CALL>1</CALL><MSG>{text}</MSG></PKT>"
            expected.append((name, request))
            # The frame comes from localhost while the page is on 127.0.0.1.
            server.push(self.page, "var f = document.createElement('iframe'); f.src = "
                                   "location.origin.replace('127.0.0.1', 'localhost') + "
                                   "'/launch_frame.html?p=' + encodeURIComponent("
                                   f"{json.dumps(request)}); document.body.appendChild(f);")
        answers = self.prog.wait_for(lambda: len(self.answers(19)) == len(texts) and self.answers(19),
                                     what="an answer to each frame's query")
        for name, request in expected:
            with self.subTest(name):
                # Exactly one answer is the query's own text with the placement added.
                pattern = re.compile(re.escape(request[:-len("</PKT>")]) + PLACEMENT_ANSWER +
                                     "</PKT>", re.DOTALL)
                self.assertEqual(len([a for a in answers if pattern.fullmatch(a)]), 1, answers)
        self.assert_nothing_ran()

    def deliver(self, uri):
        self.start(f"uri={uri}")
        answer = self.prog.wait_for(lambda: self.answers(51), what="the link's URI in the page")
        self.assertEqual(answer,
                         [f"<PKT><GBN>9000</GBN><CMD>51</CMD><URI>{uri}</URI></PKT>"])
        self.assert_nothing_ran()

    def test_a_links_uri_reaches_the_chat_page(self):
        self.deliver("velk://room/7?q=1")

    def test_a_links_uri_with_an_escaped_quote_reaches_the_chat_page_as_its_text(self):
        self.deliver(f"velk://room/7?q={PAYLOAD}")


if __name__ == "__main__":
    unittest.main()
