"""The rules of scripts/check-names, one table each: what is a key, what
only looks like one, where literals are not, which files may name keys,
and what the build sees of a finding."""

import contextlib
import io
import os
import tempfile
import types
import unittest

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "check-names")
# The script has no .py name: its text is run as a module of its own.
check_names = types.ModuleType("check_names")
check_names.__file__ = SCRIPT
with open(SCRIPT, encoding="utf-8") as _f:
    exec(compile(_f.read(), SCRIPT, "exec"), check_names.__dict__)

SYSTEM_FILE = "src/browser/Window.cpp"


def keys(text, path=SYSTEM_FILE):
    return [key for _, key in check_names.offenders(path, text)]


class KeysAreFound(unittest.TestCase):
    def test_every_way_of_writing_a_key(self):
        cases = [
            ('packet.GetInt("CMD", 0);', ["CMD"]),
            ('s.GetInt(QStringLiteral("ANIM_TIME"), 10);', ["ANIM_TIME"]),
            ('QLatin1String("GBN")', ["GBN"]),
            ('u"XX"', ["XX"]),
            ('u8"WW"', ["WW"]),
            ('L"HH"', ["HH"]),
            ('R"(TP)"', ["TP"]),
            ('uR"key(LMIW)key"', ["LMIW"]),
            ('"A1"', ["A1"]),
            ('"" "YGAP"', ["YGAP"]),
            ('f("URL", "URI");', ["URL", "URI"]),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(keys(text), expected)


class TextsThatAreNotKeys(unittest.TestCase):
    def test_framing_messages_and_other_texts_pass(self):
        cases = [
            '"<PKT></PKT>"',
            '"</PKT>"',
            '"<PKT><GBN>%1</GBN></PKT>"',
            '"OLE FALI"',
            '"NO-MUTEX"',
            '"FAIL CEF"',
            'QStringLiteral("벨크")',
            '"에러발생 404"',
            '"C"',
            '"V"',
            '"Cmd"',
            '"cmd"',
            '"1X"',
            '"_X"',
            '"CMD "',
            '" CMD"',
            '"CMD\\n"',
            '""',
            '"app.ini"',
            '"JSVer(1)"',
        ]
        for text in cases:
            with self.subTest(text=text):
                self.assertEqual(keys(text), [])


class WhereLiteralsAreNot(unittest.TestCase):
    def test_comments_characters_numbers_and_escapes_hide_nothing(self):
        cases = [
            ('// the "CMD" field\n', []),
            ('/* "CMD"\n "GBN" */ x', []),
            ("char q = '\"'; int CMD;", []),
            ("char q = u'\"'; f(\"CMD\");", ["CMD"]),
            ("int n = 1'000'000; f(\"GBN\");", ["GBN"]),
            ("double d = 1e+5; f(\"GBN\");", ["GBN"]),
            ('"a\\"CMD\\"b"', []),
            ('"\\\\" "CMD"', ["CMD"]),
            ('R"x(")" "CMD")x"', []),
            ('R"(")" "CMD"', ["CMD"]),
            ('#include "packet/Fields.h"', []),
            ('x = "//"; y = "CMD";', ["CMD"]),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(keys(text), expected)

    def test_lines_are_counted_through_comments_and_raw_strings(self):
        cases = [
            ('"CMD"', 1),
            ('\n\n"CMD"', 3),
            ('/*\n\n*/ "CMD"', 3),
            ('R"(\n\n)"\n"CMD"', 4),
            ('// x\n"a\\\nb"\n"CMD"', 4),
        ]
        for text, line in cases:
            with self.subTest(text=text):
                self.assertEqual(check_names.offenders(SYSTEM_FILE, text), [(line, "CMD")])


class FilesThatMayNameKeys(unittest.TestCase):
    def test_the_naming_headers_and_the_listed_names(self):
        cases = [
            ("src/packet/Fields.h", '"CMD"', []),
            ("/abs/checkout/src/shared/Settings.h", '"APP"', []),
            ("src/packet/Fields.cpp", '"CMD"', ["CMD"]),
            ("src/shared/Settings.cpp", '"APP"', ["APP"]),
            ("src/browser/MyBrowser.cpp", '"ZUNTABROWSER"', []),
            ("src/browser/MyBrowser.cpp", '"ANIM"', ["ANIM"]),
            ("src/browser/MyBrowserFrame.cpp", '"ZUNTABROWSER"', ["ZUNTABROWSER"]),
            ("src/res/resources.cpp", '"POP"', []),
        ]
        for path, text, expected in cases:
            with self.subTest(path=path, text=text):
                self.assertEqual(keys(text, path), expected)


class WhatTheBuildSees(unittest.TestCase):
    def run_on(self, text):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "Window.cpp")
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
            out = io.StringIO()
            with contextlib.redirect_stdout(out):
                status = check_names.main([path])
            return status, out.getvalue(), path

    def test_a_key_fails_with_its_file_and_line(self):
        cases = [
            ('f("벨크");\n', 0, []),
            ('f("x");\n\nf(QStringLiteral("ANIM"));\n', 1, [":3: "]),
            ('f("CMD");\nf("GBN");\n', 1, [":1: ", ":2: "]),
        ]
        for text, status, places in cases:
            with self.subTest(text=text):
                got, out, path = self.run_on(text)
                self.assertEqual(got, status)
                lines = out.splitlines()
                self.assertEqual(len(lines), len(places))
                for line, place in zip(lines, places):
                    self.assertTrue(line.startswith(path + place), line)


if __name__ == "__main__":
    unittest.main()
