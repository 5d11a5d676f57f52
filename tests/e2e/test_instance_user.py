"""The single-instance guard belongs to one user: the running instance hears
only its own user's later starts, a later start hands its parameters only to
its own user's instance, and a runtime directory open to others switches
the guard off. The other user is `nobody`, reached with setpriv (the tests
run as root)."""

import fcntl
import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from harness import Program, ProgramTest, module_fixture

display = None
server = None

AS_NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]

# Sends one request (hex, argv[2]) to the channel at argv[1] and prints the
# reply, in hex, once the other end has closed (perhaps before the request
# was all sent).
CLIENT = """
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.settimeout(30)
s.connect(sys.argv[1])
reply = b""
try:
    s.sendall(bytes.fromhex(sys.argv[2]))
    while True:
        chunk = s.recv(64)
        if not chunk:
            break
        reply += chunk
except (BrokenPipeError, ConnectionResetError):
    pass
print(reply.hex())
"""

# Listens at argv[1], says so, and prints how many bytes the one caller sent
# before it closed.
LISTENER = """
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.bind(sys.argv[1])
s.listen(1)
print("ready", flush=True)
s.settimeout(60)
c, _ = s.accept()
c.settimeout(30)
got = b""
while True:
    chunk = c.recv(4096)
    if not chunk:
        break
    got += chunk
print(len(got), flush=True)
"""


setUpModule, tearDownModule = module_fixture(__name__)


def safe_name(prefix, name):
    return prefix + hashlib.sha256(name.encode()).hexdigest()[:32]


def request(text):
    """A later start's request: the launch-parameter packet `text`."""
    body = text.encode()
    return (b"VLKH" + bytes([1, 1]) + struct.pack(">H", 0) + struct.pack(">H", 0) +
            struct.pack(">I", len(body)) + body)


def refusals(prog, start):
    with open(os.path.join(prog.root, "output.log"), encoding="utf-8", errors="replace") as f:
        return [line.rstrip("\n") for line in f if line.startswith(start)]


class InstanceUserTest(ProgramTest):
    page_prefix = "u"

    def start(self, mutex, clsnm, env=None):
        self.prog.start(f"velk://mutex={mutex}$clsnm={clsnm}$url={server.url('chat_test.html')}"
                        f"?id={self.page}", env=env)
        self.prog.wait_for(lambda: server.reports_of("loaded", self.page), what="the chat page")

    def send(self, path, text, user=()):
        """The running instance's reply to `text` sent to the channel at
        `path`, by a process of `user` (this one's by default)."""
        r = subprocess.run([*user, sys.executable, "-c", CLIENT, path, request(text).hex()],
                           capture_output=True, text=True, timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr)
        return bytes.fromhex(r.stdout.strip())

    @unittest.skipUnless(os.getuid() == 0, "acting as another user needs root")
    def test_the_instance_hears_only_its_own_users_later_starts(self):
        clsnm = f"C{self.page}"
        self.start("MU", clsnm)
        channel = os.path.join(self.prog.runtime, safe_name("velk-instance-", clsnm))
        # The channel as another user could reach it, were its directory not
        # private: a link to the socket in an open directory, the socket open
        # to all.
        open_dir = tempfile.mkdtemp(prefix="velk-open-")
        try:
            os.chmod(open_dir, 0o755)
            reachable = os.path.join(open_dir, "channel")
            os.link(channel, reachable)
            os.chmod(reachable, 0o777)
            foreign = f"{self.page}-foreign"
            text = f"<PKT><GBN>0</GBN><URL>{server.url('chat_test.html')}?id={foreign}</URL></PKT>"
            # Closed at once, without the answer of a handled request.
            self.assertEqual(self.send(reachable, text, AS_NOBODY), b"")
        finally:
            subprocess.run(["rm", "-rf", open_dir], check=True)
        self.assertEqual(refusals(self.prog, "instance channel:"),
                         ["instance channel: a connection of user 65534 refused"])
        self.assertTrue(self.prog.running())

        # This user's own requests are handled: one whose address is not a
        # web address loads nothing, one with a web address loads its page.
        self.assertEqual(self.send(channel, "<PKT><GBN>0</GBN><URL>file:///etc/passwd</URL></PKT>"),
                         b"K")
        self.assertEqual(refusals(self.prog, "address refused:"),
                         ["address refused: file:///etc/passwd is not a web address"])
        own = f"{self.page}-own"
        self.assertEqual(self.send(channel, f"<PKT><GBN>0</GBN><URL>{server.url('chat_test.html')}"
                                            f"?id={own}</URL></PKT>"), b"K")
        self.prog.wait_for(lambda: server.reports_of("loaded", own), what="the handed-over page")
        self.assertEqual(server.reports_of("loaded", foreign), [])

    @unittest.skipUnless(os.getuid() == 0, "acting as another user needs root")
    def test_a_later_start_hands_nothing_to_another_users_listener(self):
        mutex, clsnm = f"M{self.page}", f"C{self.page}"
        # The instance name is held, and under the class name listens a
        # process of another user.
        lock = open(os.path.join(self.prog.runtime, safe_name("velk-mutex-", mutex)), "w")
        open_dir = tempfile.mkdtemp(prefix="velk-open-")
        listener = None
        try:
            fcntl.flock(lock, fcntl.LOCK_EX)
            os.chmod(open_dir, 0o777)
            socket_path = os.path.join(open_dir, "channel")
            listener = subprocess.Popen([*AS_NOBODY, sys.executable, "-c", LISTENER, socket_path],
                                        stdout=subprocess.PIPE, text=True)
            self.assertEqual(listener.stdout.readline().strip(), "ready")
            os.symlink(socket_path,
                       os.path.join(self.prog.runtime, safe_name("velk-instance-", clsnm)))
            code = self.prog.run(f"velk://mutex={mutex}$clsnm={clsnm}$url="
                                 f"{server.url('chat_test.html')}?id={self.page}")
            self.assertEqual(code, 0, self.prog.output)
            self.assertIn("instance channel: the listener is user 65534's, nothing handed over",
                          self.prog.output)
            # It connected, sent nothing and went.
            self.assertEqual(listener.communicate(timeout=60)[0].strip(), "0")
        finally:
            if listener and listener.poll() is None:
                listener.kill()
                listener.wait()
            lock.close()
            subprocess.run(["rm", "-rf", open_dir], check=True)
        self.assertEqual(server.reports_of("loaded", self.page), [])

    def test_a_runtime_directory_open_to_others_switches_the_guard_off(self):
        os.chmod(self.prog.runtime, 0o755)
        self.start("MO", f"C{self.page}")
        self.assertEqual(refusals(self.prog, "single-instance guard off:"),
                         [f"single-instance guard off: {self.prog.runtime} is open to others "
                          "(mode 0755)"])
        # A second start with the same instance name runs beside it.
        second = Program(display, workdir=tempfile.mkdtemp(prefix="velk-e2e-"))
        try:
            page = f"{self.page}-second"
            second.start(f"velk://mutex=MO$clsnm=C{self.page}$url={server.url('chat_test.html')}"
                         f"?id={page}", env={"XDG_RUNTIME_DIR": self.prog.runtime})
            second.wait_for(lambda: server.reports_of("loaded", page), what="the second page")
            self.assertTrue(self.prog.running())
            second.signal()
            self.assertEqual(second.wait(30), 0, second.output)
        finally:
            second.cleanup()
        self.assertEqual(os.listdir(self.prog.runtime), [])


if __name__ == "__main__":
    unittest.main()
