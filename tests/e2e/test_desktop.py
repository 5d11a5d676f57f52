"""The program on a desktop without a notification area: a page's balloon
goes to the desktop's notification service, observed on a session bus of
the test's own."""

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
    def test_command_26_without_a_tray_goes_to_the_notification_service(self):
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
            server.push(self.page, "send(pkt(26, {MSG: '삼성전자 목표가 도달'}))")

            def notified():
                with open(log, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                return "member=Notify" in text and "삼성전자 목표가 도달" in text and text
            text = self.prog.wait_for(notified, what="the Notify call")
            # Under the program's title, for its desktop entry.
            self.assertIn('string "벨크"', text)
            self.assertIn('string "kr.velk.VelkSTKApp"', text)
        finally:
            monitor.kill()
            monitor.wait()


if __name__ == "__main__":
    unittest.main()
