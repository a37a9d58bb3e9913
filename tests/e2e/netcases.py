"""Launches over the local Zyn network, the same for the Linux and the Windows program: nginx
serves each case its own system state and the components, squid is the proxy (through which
the kept beginning of a file is continued; the direct case has a proxy that is not there, with
nginx on its bypass list), and the hostile server plays the mirrors that fail. A test file
supplies only how its program is started and cancelled.

Cases run side by side; each starts once the one before has passed its engine guard (stage 1),
so that no two guards ever meet on their port."""

import ctypes
import os
import random
import re
import shutil
import time

from zynnet import HostileServer, Network, Nginx, Squid, free_port
from zyntest import (BIN_DIR, DOWNLOAD_FAILED, EXE, INITIAL_STATUS, PLATFORM, Scratch,
                      system_state)

STUB_NEW = "zynStub-7.0.2.6" + EXE  # the engine and user interface the network serves
NEW_LAUNCHER = "zynLaunch" + EXE
OLD_LAUNCHER = "zynLaunchOld" + EXE
CLOCK_LAUNCHER = "zynLaunchTestClock" + EXE  # reads ZYN_TEST_TIME
NO_ORBITALS = "No orbital servers are available - please close Zyn and try again later."
FETCH_FAILED = "The download failed"
PAST_GUARD = "status downloading system state.."
CLOSING = "status closing zynLaunch.."
BYPASSED = "bypassed"  # a case's proxy: a dead one, which its bypass list steers round


def read(path):
    with open(path, "rb") as f:
        return f.read()


def open_network(cls):
    """Starts the class's network, stopped at its end; returns the folder for nginx to serve,
    with its zyn/ folder made."""
    cls.net = Network()
    cls.addClassCleanup(cls.net.stop)
    www = os.path.join(cls.net.folder, "www")
    os.makedirs(os.path.join(www, "zyn"))
    return www


def download_lines(names, mirrors, hostile):
    """The ZynDownloadURL lines of NAMES: "hostile:PATH" is that path of the hostile server,
    any other name an entry of MIRRORS."""
    return ["ZynDownloadURL=%s;" % (hostile.url(m[len("hostile:"):] + "/")
                                    if m.startswith("hostile:") else mirrors[m]) for m in names]


def installed_state(nginx, name):
    """The usual state of a case's folder, its update server the case's folder of nginx."""
    return [l.replace("http://update.example.net/zyn/", nginx.url(name + "/"))
            for l in system_state()]


def serve_state(folder, lines):
    """Serves LINES as the system state in FOLDER; returns the state file made of them."""
    with open(os.path.join(folder, "clientgetconfig.php"), "wb") as f:
        f.write(("ZYN_XSERVER_CONFIG;\n" + "\n".join(lines) + "\n").encode("latin-1"))
    return ("\r\n".join(lines) + "\r\n").encode("latin-1")


def time_picking(index, count):
    """A calendar time (noon, so that any time zone gives the same date) at which the launcher's
    random pick over COUNT entries is INDEX: its generator is seeded with the time plus the day,
    month and year (msvcrt's rand on Windows, glibc's on Linux)."""
    libc = ctypes.CDLL(None)
    for day in range(20000, 30000):
        t = day * 86400 + 43200
        date = time.localtime(t)
        seed = (t + date.tm_mday + date.tm_mon + date.tm_year) & 0xffffffff
        if PLATFORM == "win32":
            r = ((seed * 214013 + 2531011) & 0xffffffff) >> 16 & 0x7fff
        else:
            libc.srand(seed)
            r = libc.rand()
        if r % count == index:
            return t
    raise AssertionError("no time picks %d of %d" % (index, count))


def wait_for_runs(scratch, launch, runs=3, timeout=60):
    """The first run's result, once the runs it handed over to have all ended."""
    result = launch.wait(timeout)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        lines = scratch.trace_lines()
        if lines.count("status " + INITIAL_STATUS) == runs and lines[-1:] == [CLOSING]:
            break
        time.sleep(0.1)
    time.sleep(1)  # the last run's exit after its last line
    return result


def start_in_turn(names, start):
    """Starts each case's launch once the one before has passed its engine guard."""
    launches = {}
    for name in names:
        launches[name] = start(name)
        launches[name].wait_for_line(PAST_GUARD, timeout=30)
    return launches


class NetworkCases:
    """Mixed into a LaunchTestCase whose start(scratch, name) starts a case's launch (one that
    has wait_for_line and wait(timeout))."""

    # name: (download mirrors of the served state, listed versions changed there, installed
    # launcher or None, through the proxy: True, False or BYPASSED). "failover" runs with its
    # clock fixed so that its pick is the dead mirror; "damaged" has 3,000 random bytes for its
    # state file; "cancel" is dismissed during its download, then launched again offline.
    CASES = {
        "stall": (["hostile:stall"], dict(Engine="7.0.2.6"), None, False),
        "selfupdate": (["zyn"], {}, OLD_LAUNCHER, False),
        "nomatch": (["zyn"], dict(Launch="1.0.0.7"), NEW_LAUNCHER, False),
        "direct": (["zyn"], dict(Engine="7.0.2.6", UI="7.0.2.6"), None, BYPASSED),
        "proxy": (["zyn"], dict(Engine="7.0.2.6"), None, True),
        "failover": (["dead", "hostile:notfound/failover", "zyn"], dict(Engine="7.0.2.6"),
                     CLOCK_LAUNCHER, False),
        "notfound": (["hostile:notfound"], dict(Engine="7.0.2.6"), None, False),
        "damaged": (["zyn"], {}, None, False),
        "cancel": (["hostile:stall"], dict(Engine="7.0.2.6"), None, False),
    }

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        www = open_network(cls)
        for served, built in (("zynEngine.exe", STUB_NEW), ("zynUI.exe", STUB_NEW),
                              ("zynLaunchTemp.exe", NEW_LAUNCHER)):
            shutil.copyfile(os.path.join(BIN_DIR, built), os.path.join(www, "zyn", served))
        cls.nginx = cls.net.start(Nginx, www)
        cls.squid = cls.net.start(Squid)
        cls.hostile = cls.net.start(HostileServer, os.path.join(www, "zyn"))
        cls.dead_port = free_port("127.0.0.1")
        mirrors = {"zyn": cls.nginx.url("zyn/"), "dead": "http://127.0.0.1:%d/" % cls.dead_port}

        os.environ["ZYN_TEST_TIME"] = str(time_picking(0, 3))
        cls.s, cls.served = {}, {}
        for name, (names, versions, launcher, _) in cls.CASES.items():
            lines = [l for l in system_state() if not l.startswith("ZynDownloadURL=")]
            for component, version in versions.items():
                lines = [("ZynVersion=%s;%s;" % (component, version))
                         if l.startswith("ZynVersion=%s;" % component) else l for l in lines]
            lines += download_lines(names, mirrors, cls.hostile)
            os.makedirs(os.path.join(www, name))
            with open(os.path.join(www, name, "clientgetconfig.php"), "wb") as f:
                f.write(("ZYN_XSERVER_CONFIG;\n" + "\n".join(lines) + "\n").encode("latin-1"))
            cls.served[name] = ("\r\n".join(lines) + "\r\n").encode("latin-1")

            scratch = cls.s[name] = Scratch()
            cls.addClassCleanup(scratch.remove)
            scratch.prepare_launch(state=installed_state(cls.nginx, name))
            scratch.write("winpcap.exe", b"capture")
            scratch.write("packetx.dll", b"capture")
            if launcher:
                shutil.copyfile(os.path.join(BIN_DIR, launcher), scratch.path("zynLaunch.exe"))
                os.chmod(scratch.path("zynLaunch.exe"), 0o755)
            if name == "proxy":  # what an earlier transfer of the engine kept, and its validator
                scratch.write("zynEngine.exe.zynpart", read(os.path.join(BIN_DIR, STUB_NEW))[:999])
                scratch.write("zynEngine.exe.zynpart.validator",
                              cls.nginx.etag("zyn/zynEngine.exe").encode("latin-1"))
            if name == "damaged":
                scratch.write("zynSystemConfig.txt", random.Random(3).randbytes(3000))

        # Alone, so that the key reaches its window: dismissed in mid-download, then offline.
        scratch = cls.s["cancel"]
        launch = cls.start(scratch, "cancel")
        launch.wait_for_line("progress 50", timeout=60)  # the half the stalling mirror sends
        cls.cancel(launch)
        cancelled = launch.wait(60)
        dead = ("http://127.0.0.1:%d/" % free_port("127.0.0.1")).encode()
        scratch.write("zynSystemConfig.txt", re.sub(
            rb"(Zyn(?:Update|Download)URL=)[^;\r\n]*", lambda m: m.group(1) + dead,
            scratch.read("zynSystemConfig.txt")))

        launches = start_in_turn(cls.CASES, lambda name: cls.start(cls.s[name], name))
        # In the order started, the stall first: its run's length is its own.
        cls.results = {name: wait_for_runs(cls.s[name], launches[name])
                       if cls.CASES[name][2] in (OLD_LAUNCHER, NEW_LAUNCHER)
                       else launches[name].wait(90) for name in cls.CASES}
        cls.offline, cls.results["cancel"] = cls.results["cancel"], cancelled

    @classmethod
    def proxy_for(cls, name):
        return cls.squid if cls.CASES[name][3] is True else None

    def started(self, name, expected=2):
        return [s.name for s in self.s[name].stub_starts(expected=expected, timeout=10)]

    def downloads(self, name):
        return [l for l in self.s[name].trace_lines() if l.startswith("status downloading ")
                and l != PAST_GUARD]

    def assert_no_partial_file(self, name):
        self.assertEqual([f for f in self.s[name].files() if ".zynpart" in f], [])

    def test_state_fetched_directly_and_through_the_proxy_and_outdated_files_replaced(self):
        served = read(os.path.join(BIN_DIR, STUB_NEW))
        for name in ("direct", "proxy", "failover"):
            with self.subTest(name):
                scratch, result = self.s[name], self.results[name]
                self.assertEqual((result.returncode, result.messages()), (0, []))
                self.assertEqual(scratch.read("zynSystemConfig.txt"), self.served[name])
                self.assertEqual(scratch.read("zynEngine.exe"), served)
                self.assertEqual(self.started(name), ["zynEngine.exe", "zynUI.exe"])
                self.assertFalse(scratch.exists("winpcap.exe") or scratch.exists("packetx.dll"))
                self.assert_no_partial_file(name)
        # Two files in queue order, under their labels, each with its bar from 0 to 100.
        self.assertEqual(self.s["direct"].read("zynUI.exe"), served)
        self.assertEqual(self.downloads("direct"), ["status downloading zynEngine package..",
                                                    "status downloading zynUserInterface package.."])
        lines = self.results["direct"].lines
        # Up to stage 5's own 80, found from the scan's status: a bar may pass through 80 too.
        end = lines.index("status scanning 1 deep resolution servers..") - 1
        self.assertEqual(lines[end], "progress 80")
        bar = [l for l in lines[lines.index("progress 60") + 1:end] if l.startswith("progress ")]
        self.assertEqual((bar[0], bar[-1], bar.count("progress 0")),
                         ("progress 0", "progress 100", 2))
        with open(self.squid.path("access.log")) as f:
            log = f.read()
        for path in ("proxy/clientgetconfig.php", "zyn/zynEngine.exe"):
            self.assertIn(self.nginx.url(path), log)
        # Every request names the launcher as it was built.
        with open(self.nginx.path("access.log"), encoding="latin-1") as f:
            agents = {l.split('"')[5] for l in f if "GET " in l}
        self.assertLessEqual({"zynLaunch/1.0.0.0"}, agents)
        self.assertLessEqual(agents, {"zynLaunch/1.0.0.0", "zynLaunch/0.9.0.0"})
        # Only the rest of the engine was asked for: squid passed the range on, and the part back.
        self.assertIn((206, len(served) - 999, "bytes=999-"),
                      [r[1:] for r in self.nginx.requests() if "/zyn/zynEngine.exe" in r[0]])
        self.assertIn("/206 ", "".join(l for l in log.splitlines() if "zynEngine.exe" in l))
        # The pick was the dead mirror: the engine came from the third, after the failing one.
        asked = [r for r in self.hostile.requests() if "/notfound/failover/" in r["request"]]
        self.assertEqual(len(asked), 1)

    def test_a_missing_or_stalled_file_fails_once_and_the_installed_engine_starts(self):
        installed = read(os.path.join(BIN_DIR, "zynStub" + EXE))
        for name in ("notfound", "stall"):
            with self.subTest(name):
                result = self.results[name]
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.messages(), [FETCH_FAILED])
                self.assertEqual(self.s[name].read("zynEngine.exe"), installed)
                self.assertEqual(self.started(name), ["zynEngine.exe", "zynUI.exe"])
        # The stalled half is kept for the next attempt to continue.
        self.assert_no_partial_file("notfound")
        served = read(os.path.join(BIN_DIR, STUB_NEW))
        self.assertEqual(self.s["stall"].read("zynEngine.exe.zynpart"), served[:len(served) // 2])
        # The stall limit: from the file's start to its failure (whole run on Windows, whose
        # lines carry no times).
        stall = self.results["stall"]
        waited = (stall.time_of("message " + FETCH_FAILED) -
                  stall.time_of("status downloading zynEngine package..")
                  if stall.times else stall.duration)
        self.assertGreaterEqual(waited, 30)
        self.assertLess(waited, 40 if stall.times else 55)

    def test_a_damaged_state_or_a_cancelled_download_leaves_a_product_that_starts(self):
        installed = read(os.path.join(BIN_DIR, "zynStub" + EXE))
        damaged, cancelled, offline = self.results["damaged"], self.results["cancel"], self.offline
        # Every component listed without a version, and no server to fetch from: all stay.
        self.assertEqual((damaged.returncode, damaged.messages()), (1, [FETCH_FAILED, NO_ORBITALS]))
        for name in ("damaged", "cancel"):
            for component in ("zynEngine.exe", "zynConfig.exe", "zynUI.exe", "pssdk_dll.dll"):
                self.assertEqual(self.s[name].read(component), installed, (name, component))
        self.assertEqual(cancelled.returncode, 2)
        self.assertEqual(offline.returncode, 1)
        self.assertEqual(offline.lines[offline.lines.index("status " + INITIAL_STATUS, 1):].count(
            "message " + FETCH_FAILED), 1)
        self.assertEqual(self.started("cancel"), ["zynEngine.exe", "zynUI.exe"])

    def test_self_update_over_three_runs_and_only_once_for_a_version_no_build_has(self):
        for name in ("selfupdate", "nomatch"):
            with self.subTest(name):
                scratch = self.s[name]
                self.assertEqual(self.results[name].returncode, 0)
                lines = scratch.trace_lines()
                self.assertEqual(lines.count("status " + INITIAL_STATUS), 3)
                self.assertEqual(self.downloads(name), ["status downloading zynLaunch package.."])
                self.assertNotIn("message " + FETCH_FAILED, lines)
                self.assertEqual(scratch.read("zynLaunch.exe"),
                                 read(os.path.join(BIN_DIR, NEW_LAUNCHER)))
                self.assertFalse(scratch.exists("zynLaunchTemp.exe"))
                self.assertEqual(self.started(name), ["zynEngine.exe", "zynUI.exe"])
