"""The program on a desktop without a notification area: a page's balloon,
and the program's own word that settings could not be saved, go to the
desktop's notification service, observed on a session bus of the test's
own."""

import os
import subprocess
import time
import unittest

from harness import ProgramTest, module_fixture

display = None
server = None
bus = None


setUpModule, tearDownModule = module_fixture(__name__, bus=True, tray=False)


class NoTrayTest(ProgramTest):
    def notifications(self, act):
        """Starts the program on the test's chat page, does `act`, and
        returns what dbus-monitor saw of Notify calls until `act` returns
        text to wait for and it has come."""
        log = os.path.join(self.prog.root, "monitor.log")
        with open(log, "w") as out:
            monitor = subprocess.Popen(
                ["dbus-monitor", "--address", bus.address,
                 "interface='org.freedesktop.Notifications',member='Notify'"],
                stdout=out, stderr=subprocess.STDOUT)
        try:
            self.prog.start(f"velk://url={server.url('chat_test.html')}?id={self.page}",
                            env={"DBUS_SESSION_BUS_ADDRESS": bus.address})
            self.prog.wait_for(lambda: server.reports_of("loaded", self.page),
                               what="the chat page")
            expected = act()

            def notified():
                with open(log, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                return "member=Notify" in text and expected in text and text
            return self.prog.wait_for(notified, what="the Notify call")
        finally:
            monitor.kill()
            monitor.wait()

    def test_command_26_without_a_tray_goes_to_the_notification_service(self):
        text = self.notifications(
            lambda: server.push(self.page, "send(pkt(26, {MSG: '삼성전자 목표가 도달'}))")
            or "삼성전자 목표가 도달")
        # Under the program's title, for its desktop entry.
        self.assertIn('string "벨크"', text)
        self.assertIn('string "kr.velk.VelkSTKApp"', text)

    def test_settings_that_cannot_be_saved_are_said_once_and_kept(self):
        # A file stands where the configuration directory should be.
        config = os.path.join(self.prog.home, ".config")
        with open(config, "w"):
            pass

        def store():
            # Two stores, then a query: its answer comes after both are done.
            server.push(self.page, "send(pkt(30, {ALARM: 1})); send(pkt(30, {ALARM: 2})); "
                                   "send(pkt(19, {CALL: 1}))")
            return "설정을 저장하지 못했습니다"
        text = self.notifications(store)
        self.prog.wait_for(lambda: any("<CALL>" in r for r in server.reports_of("jsrecv", self.page)),
                           what="the query's answer")
        self.assertEqual(text.count("설정을 저장하지 못했습니다"), 1, text)
        self.assertIn(f"{config}/VelkApp/VelkSTKApp.conf", text)
        self.assertEqual(self.prog.lines("settings not saved"),
                         [f"settings not saved: {config}/VelkApp/VelkSTKApp.conf: {config} is "
                          "not a directory; kept in memory until the program ends"])
        self.assertTrue(self.prog.running())

if __name__ == "__main__":
    unittest.main()
