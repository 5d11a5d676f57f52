"""The installed program: the build tree that holds the binary under test is
installed with `cmake --install` into a prefix of the test's own. Its
desktop entry and AppStream data validate, its icons are there at every
size, the launcher on the PATH starts the program by its own name, and a
velk:// link opened through the desktop (xdg-open, which finds the program
through the desktop entry's MimeType) reaches the running instance."""

import configparser
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

from harness import BAD_OUTPUT, BINARY, Program, ProgramTest, module_fixture

APP_ID = "kr.velk.VelkSTKApp"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)

display = None
server = None
prefix = None


set_up_display, tear_down_display = module_fixture(__name__)


def setUpModule():
    global prefix
    prefix = tempfile.mkdtemp(prefix="velk-install-")
    build = os.path.dirname(BINARY)
    r = subprocess.run(["cmake", "--install", build, "--prefix", prefix],
                       capture_output=True, text=True)
    if r.returncode != 0:
        shutil.rmtree(prefix, ignore_errors=True)
        raise RuntimeError(f"cmake --install {build} failed:\n{r.stdout}{r.stderr}")
    set_up_display()


def tearDownModule():
    tear_down_display()
    shutil.rmtree(prefix, ignore_errors=True)


def installed(*parts):
    return os.path.join(prefix, *parts)


def desktop_entry():
    entry = configparser.ConfigParser(interpolation=None, strict=True)
    entry.optionxform = str
    with open(installed("share", "applications", f"{APP_ID}.desktop"), encoding="utf-8") as f:
        entry.read_file(f)
    return entry


def png_size(path):
    """(width, height) from a PNG file's header chunk."""
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


class InstalledFilesTest(unittest.TestCase):
    def test_the_desktop_entry_and_the_appstream_data_validate(self):
        path = installed("share", "applications", f"{APP_ID}.desktop")
        r = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        # Hints (advice on menu placement) are allowed; errors and warnings not.
        problems = [line for line in (r.stdout + r.stderr).splitlines()
                    if ": error:" in line or ": warning:" in line]
        self.assertEqual(problems, [])
        # The whole tree: the metainfo file, and its launchable found among
        # the installed desktop entries.
        r = subprocess.run(["appstreamcli", "validate-tree", "--no-net", prefix],
                           capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        metainfo = ET.parse(installed("share", "metainfo", f"{APP_ID}.metainfo.xml")).getroot()
        self.assertEqual(metainfo.findtext("id"), APP_ID)
        self.assertEqual(metainfo.findtext("launchable"), f"{APP_ID}.desktop")

    def test_the_entry_starts_the_launcher_which_leads_to_the_program_and_its_settings(self):
        entry = desktop_entry()["Desktop Entry"]
        self.assertIn("x-scheme-handler/velk", entry["MimeType"].split(";"))
        self.assertEqual(entry["Icon"], APP_ID)
        launcher = entry["Exec"].split()[0]
        self.assertEqual(entry["Exec"].split()[1:], ["%u"])
        link = installed("bin", launcher)
        # A relative link, so the tree can move (into a package, another prefix).
        self.assertTrue(os.path.islink(link), link)
        self.assertFalse(os.path.isabs(os.readlink(link)), os.readlink(link))
        program = os.path.realpath(link)
        self.assertTrue(program.startswith(os.path.realpath(prefix) + os.sep), program)
        self.assertEqual(os.path.basename(program), "VelkSTKApp")
        self.assertTrue(os.access(program, os.X_OK))
        # The shipped settings beside the program keep one running instance.
        ini = configparser.ConfigParser(interpolation=None)
        with open(os.path.join(os.path.dirname(program), "app.ini"), encoding="utf-8") as f:
            ini.read_file(f)
        self.assertEqual(ini["APP"]["MUTEX"], "VelkSTKApp")
        self.assertRegex(ini["APP"]["STARTURL"], r"^https?://.+/chat\.html$")
        # The desktop action asks the running program for its chat window.
        action = desktop_entry()["Desktop Action ShowChat"]
        self.assertEqual(action["Exec"].split(), [launcher, "--show-chat"])

    def test_version_and_help_answer_without_a_display(self):
        launcher = installed("bin", desktop_entry()["Desktop Entry"]["Exec"].split()[0])
        release = ET.parse(installed("share", "metainfo", f"{APP_ID}.metainfo.xml")).getroot()
        newest = release.find("releases/release").get("version")
        with tempfile.TemporaryDirectory(prefix="velk-home-") as home:
            env = {k: v for k, v in os.environ.items()
                   if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
            env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
            for switch in ("--version", "--help", "-h"):
                with self.subTest(switch=switch):
                    r = subprocess.run([launcher, switch], capture_output=True, text=True,
                                       env=env, timeout=60)
                    self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
                    self.assertTrue(r.stdout.strip(), switch)
                    self.assertNotRegex(r.stderr, "platform plugin|could not connect")
            r = subprocess.run([launcher, "--version"], capture_output=True, text=True, env=env,
                               timeout=60)
            program, engine = r.stdout.splitlines()
            # The program's version is the one its AppStream data announces.
            self.assertEqual(program, f"VelkSTKApp {newest}")
            self.assertRegex(engine, r"^Qt WebEngine 6\.\d+\.\d+ \(Chromium \d+\.[\d.]+\)$")
            # Nothing started: no settings, cache or profile was made.
            self.assertEqual(os.listdir(home), [])

    def test_the_icon_is_there_at_every_size_and_scalable(self):
        for size in ICON_SIZES:
            with self.subTest(size=size):
                path = installed("share", "icons", "hicolor", f"{size}x{size}", "apps",
                                 f"{APP_ID}.png")
                self.assertTrue(os.path.isfile(path), path)
                self.assertEqual(png_size(path), (size, size))
        svg = ET.parse(installed("share", "icons", "hicolor", "scalable", "apps",
                                 f"{APP_ID}.svg")).getroot()
        self.assertEqual(svg.tag, "{http://www.w3.org/2000/svg}svg")


class InstalledProgram(Program):
    """The installed program, started as the desktop starts it: by the
    launcher's name, found on the PATH, with the installed data directories
    in XDG_DATA_DIRS and a home of its own."""

    def __init__(self, display, launcher):
        # The installed tree is used as it is: nothing is copied.
        self.display = display
        self.root = tempfile.mkdtemp(prefix="velk-e2e-")
        self.exe = launcher
        self.home = os.path.join(self.root, "home")
        self.runtime = os.path.join(self.root, "run")
        # No system-wide default applications: only what the test sets up counts.
        self.config_dirs = os.path.join(self.root, "xdg")
        for d in (self.home, self.runtime, self.config_dirs):
            os.makedirs(d, mode=0o700, exist_ok=True)
        self.proc = None
        self.output = ""
        self._log = None
        self.runner = []  # started as the tests' own user

    def env(self, extra=None):
        env = super().env(extra)
        for name in ("DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID",
                     "MATE_DESKTOP_SESSION_ID", "BROWSER", "XDG_MENU_PREFIX"):
            env.pop(name, None)
        env.update(PATH=installed("bin") + os.pathsep + os.environ.get("PATH", "/usr/bin:/bin"),
                   XDG_DATA_DIRS=installed("share") + ":/usr/share",
                   XDG_CONFIG_DIRS=self.config_dirs,
                   XDG_CURRENT_DESKTOP="X-Generic")
        return env


def control_names(field):
    """The package names of a control field: every alternative, without versions."""
    names = []
    for clause in filter(None, (c.strip() for c in field.split(","))):
        names += [alt.split("(")[0].split(":")[0].strip() for alt in clause.split("|")]
    return names


class PackageTest(unittest.TestCase):
    def test_the_package_depends_on_this_releases_libraries_and_suggests_input(self):
        build = os.path.dirname(BINARY)
        with tempfile.TemporaryDirectory(prefix="velk-package-") as out:
            r = subprocess.run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"),
                                "-B", out], capture_output=True, text=True, timeout=600)
            self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
            debs = [f for f in os.listdir(out) if f.endswith(".deb")]
            self.assertEqual(len(debs), 1, debs)
            deb = os.path.join(out, debs[0])

            def field(name):
                return subprocess.run(["dpkg-deb", "-f", deb, name], capture_output=True,
                                      text=True, check=True).stdout.strip()

            depends = control_names(field("Depends"))
            # Computed on this release: the engine's libraries and its helper
            # process, under the names of the packages installed here (the
            # build ran against them), whichever release this is.
            for needed in ("libqt6webenginewidgets6", "libqt6webenginecore6-bin"):
                self.assertIn(needed, depends)
            installed_names = subprocess.run(
                ["dpkg-query", "-W", "-f=${Package}\n", *depends], capture_output=True,
                text=True).stdout.split()
            self.assertEqual(sorted(set(depends) - set(installed_names)), [])
            # Korean input through fcitx5 needs its Qt 6 front end.
            self.assertIn("fcitx5-frontend-qt6", control_names(field("Suggests")))
            self.assertIn("pkexec", control_names(field("Recommends")))


class InstalledProgramTest(ProgramTest):
    def setUp(self):
        self.launcher = desktop_entry()["Desktop Entry"]["Exec"].split()[0]
        self.prog = InstalledProgram(display, self.launcher)
        self.page = f"i{time.time_ns()}"

    def link(self, page):
        return f"velk://url={server.url('chat_test.html')}?id={page}$mutex=M"

    def test_the_launcher_starts_it_and_a_link_opened_by_the_desktop_reaches_it(self):
        first, second = f"{self.page}-1", f"{self.page}-2"
        self.prog.start(self.link(first))
        self.prog.wait_for(lambda: server.reports_of("loaded", first), what="the first page")
        window = self.prog.wait_for_window("^벨크$", visible_only=True)
        # The desktop matches the window to its entry by the window's class.
        wm_class = display.xprop(window, "WM_CLASS")
        self.assertIn("=", wm_class, wm_class)
        classes = [c.strip().strip('"') for c in wm_class.split("=", 1)[1].split(",")]
        self.assertEqual(classes[-1], desktop_entry()["Desktop Entry"]["StartupWMClass"])

        # The desktop's handler of velk:// links, as a package's trigger
        # records it, then a link opened the way a browser or a mail reader
        # opens it. xdg-open waits for the second start, which hands the
        # link over and ends.
        r = subprocess.run(["update-desktop-database", installed("share", "applications")],
                           capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        opener = subprocess.Popen(["xdg-open", self.link(second)], env=self.prog.env(),
                                  cwd=self.prog.root, stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                  start_new_session=True)
        try:
            out = opener.communicate(timeout=60)[0].decode("utf-8", "replace")
        except subprocess.TimeoutExpired:
            os.killpg(opener.pid, signal.SIGKILL)
            opener.communicate()
            raise AssertionError("the start through xdg-open did not end")
        self.assertEqual(opener.returncode, 0, out)
        self.assertEqual([line for line in out.splitlines()
                          if any(b in line for b in BAD_OUTPUT)], [], out)
        self.prog.wait_for(lambda: server.reports_of("loaded", second),
                           what="the linked page in the running instance")
        self.assertEqual(len(display.windows_named("^벨크$", visible_only=True)), 1)
        self.assertTrue(self.prog.running())


if __name__ == "__main__":
    unittest.main()
