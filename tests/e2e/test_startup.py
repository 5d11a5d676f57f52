"""Start-up and shutdown of the real program: the settings file, a child
process start, and the orderly end on a request from outside."""

import os
import random
import signal
import unittest

from harness import Program, module_fixture

display = None

setUpModule, tearDownModule = module_fixture(__name__)


class StartupTest(unittest.TestCase):
    def setUp(self):
        self.prog = Program(display)

    def tearDown(self):
        self.prog.cleanup()

    def start_and_wait_for_main_frame(self, *args):
        self.prog.start(*args)
        # The hidden main frame carries the WINNM title, "VelkApp" by default.
        return self.prog.wait_for_window("^VelkApp$")

    def end(self, sig=signal.SIGTERM):
        self.prog.signal(sig)
        code = self.prog.wait(30)
        self.assertEqual(self.prog.bad_output(), [], self.prog.output)
        return code

    def test_first_start_creates_an_empty_settings_file_and_the_cache_beside_the_executable(self):
        ini = os.path.join(self.prog.dir, "app.ini")
        # Started from another directory: the files still go beside the executable.
        self.start_and_wait_for_main_frame()
        self.assertTrue(os.path.isfile(ini))
        self.assertEqual(os.path.getsize(ini), 0)
        self.assertTrue(os.path.isdir(os.path.join(self.prog.dir, "cache")))
        self.assertFalse(os.path.exists(os.path.join(self.prog.root, "app.ini")))
        self.assertEqual(self.end(), 0)

    def test_existing_settings_file_is_left_byte_for_byte(self):
        ini = os.path.join(self.prog.dir, "app.ini")
        contents = [
            "[APP]\r\nWINTIT=벨크 테스트\r\nDEVSHOW=1\r\n".encode("utf-8"),
            b"\xff\xfe" + "[APP]\r\nMUTEX=NO-MUTEX\r\n".encode("utf-16-le"),
            bytes(random.Random(7).randrange(256) for _ in range(4096)),
            b"",
        ]
        for data in contents:
            with self.subTest(data=data[:16]):
                with open(ini, "wb") as f:
                    f.write(data)
                self.start_and_wait_for_main_frame()
                self.assertEqual(self.end(), 0)
                with open(ini, "rb") as f:
                    self.assertEqual(f.read(), data)

    def test_child_process_start_ends_at_once_and_creates_nothing(self):
        before = set(os.listdir(self.prog.dir))
        code = self.prog.run("--type=renderer", "--lang=ko", timeout=30)
        self.assertEqual(code, 0, self.prog.output)
        self.assertEqual(set(os.listdir(self.prog.dir)), before)
        self.assertEqual(os.listdir(self.prog.runtime), [])
        self.assertEqual(display.windows_named("^VelkApp$"), [])

    def test_a_link_whose_text_holds_the_child_switch_starts_the_program(self):
        # One argument that contains " --type=" is not the engine's switch.
        self.start_and_wait_for_main_frame("velk://url=about:blank?q= --type=renderer")
        self.assertEqual(self.end(), 0, self.prog.output)

    def test_sigterm_and_sigint_take_the_orderly_way_out(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig.name):
                self.start_and_wait_for_main_frame()
                self.assertEqual(self.end(sig), 0, self.prog.output)
                self.assertEqual(display.windows_named("^VelkApp$"), [])

    def test_window_names_come_from_launch_parameters(self):
        # A custom-protocol link: the main frame takes its title from WINNM.
        self.prog.start("velk://winnm=VelkLinked$url=page.html")
        self.prog.wait_for_window("^VelkLinked$")
        self.assertEqual(self.end(), 0)

    def test_any_command_line_and_settings_file_start_without_crashing(self):
        rng = random.Random(11)
        ini = os.path.join(self.prog.dir, "app.ini")
        alphabet = "abcXYZ=$:/\\\"' %\t한글\x01"
        for i in range(4):
            with self.subTest(i=i):
                args = ["x://" + "".join(rng.choice(alphabet) for _ in range(rng.randrange(200)))
                        for _ in range(rng.randrange(1, 4))]
                # The last parameter wins, so the main frame's title is known.
                args[-1] += "$winnm=VelkFuzz"
                with open(ini, "wb") as f:
                    f.write(bytes(rng.randrange(256) for _ in range(rng.randrange(1 << 16))))
                self.prog.start(*args)
                self.prog.wait_for_window("^VelkFuzz$")
                self.assertEqual(self.end(), 0)


if __name__ == "__main__":
    unittest.main()
