"""Launches over the local Zyn network, the same for the Linux and the Windows program: nginx
serves each case its own system state and the components, squid is the proxy (through which
the kept beginning of a file is continued; the direct case has a proxy that is not there, with
nginx on its bypass list), and the hostile server plays the mirrors that fail. A test file
supplies only how its program is started.

Cases run side by side; each starts once the one before has passed its engine guard (stage 1),
so that no two guards ever meet on their port."""

import os
import shutil
import time

from zynnet import HostileServer, Network, Nginx, Squid, free_port
from zyntest import BIN_DIR, DOWNLOAD_FAILED, EXE, INITIAL_STATUS, Scratch, system_state

STUB_NEW = "zynStub-7.0.2.6" + EXE  # the engine and user interface the network serves
NEW_LAUNCHER = "zynLaunch" + EXE
OLD_LAUNCHER = "zynLaunchOld" + EXE
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
    # launcher or None, through the proxy: True, False or BYPASSED)
    CASES = {
        "stall": (["hostile:stall"], dict(Engine="7.0.2.6"), None, False),
        "selfupdate": (["zyn"], {}, OLD_LAUNCHER, False),
        "nomatch": (["zyn"], dict(Launch="1.0.0.7"), NEW_LAUNCHER, False),
        "direct": (["zyn"], dict(Engine="7.0.2.6", UI="7.0.2.6"), None, BYPASSED),
        "proxy": (["zyn"], dict(Engine="7.0.2.6"), None, True),
        "failover": (["dead", "hostile:notfound/failover", "zyn"], dict(Engine="7.0.2.6"), None,
                     False),
        "notfound": (["hostile:notfound"], dict(Engine="7.0.2.6"), None, False),
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
            if name == "proxy":  # what an earlier transfer of the engine kept
                scratch.write("zynEngine.exe.zynpart", read(os.path.join(BIN_DIR, STUB_NEW))[:999])

        launches = start_in_turn(cls.CASES, lambda name: cls.start(cls.s[name], name))
        # In the order started, the stall first: its run's length is its own.
        cls.results = {name: cls.wait_for_runs(name, launches[name]) if cls.CASES[name][2]
                       else launches[name].wait(90) for name in cls.CASES}

    @classmethod
    def proxy_for(cls, name):
        return cls.squid if cls.CASES[name][3] is True else None

    @classmethod
    def wait_for_runs(cls, name, launch, runs=3, timeout=60):
        """The first run's result, once the runs it handed over to have all ended."""
        result = launch.wait(timeout)
        scratch, deadline = cls.s[name], time.monotonic() + timeout
        while time.monotonic() < deadline:
            lines = scratch.trace_lines()
            if lines.count("status " + INITIAL_STATUS) == runs and lines[-1:] == [CLOSING]:
                break
            time.sleep(0.1)
        time.sleep(1)  # the last run's exit after its last line
        return result

    def started(self, name, expected=2):
        return [s.name for s in self.s[name].stub_starts(expected=expected, timeout=10)]

    def downloads(self, name):
        return [l for l in self.s[name].trace_lines() if l.startswith("status downloading ")
                and l != PAST_GUARD]

    def assert_no_partial_file(self, name):
        self.assertEqual([f for f in self.s[name].files() if f.endswith(".zynpart")], [])

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
        bar = [l for l in lines[lines.index("progress 60") + 1:lines.index("progress 80")]
               if l.startswith("progress ")]
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
        # Whichever mirror was chosen first, the failing one is asked once at most.
        asked = [r for r in self.hostile.requests() if "/notfound/failover/" in r["request"]]
        self.assertLessEqual(len(asked), 1)

    def test_a_missing_or_stalled_file_fails_once_and_keeps_only_what_arrived(self):
        for name in ("notfound", "stall"):
            with self.subTest(name):
                result = self.results[name]
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.messages(), [FETCH_FAILED, DOWNLOAD_FAILED])
                self.assertFalse(self.s[name].exists("zynEngine.exe"))
                self.assertEqual(self.started(name, expected=0), [])
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
