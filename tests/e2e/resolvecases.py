"""Launches that reach their servers by name, the same for the Linux and the Windows program. A
name server of the test's own answers at once for an IPv6-only, a dual-stack and a two-node name
(the first node dead), after 5 s for a slow one and after a minute for a stuck one; nginx listens
on 127.0.0.2 and [::1]. A test file supplies how its program is started, watched while a lookup
waits, and dismissed."""

import os
import select
import shutil
import subprocess
import sys
import time

from zynnet import TOOLS, Network, Nginx, Server, isolated
from zyntest import BIN_DIR, EXE, Scratch, system_state, wait_until

SLOW = 5  # seconds the slow name takes
NAMES = {  # name: addresses in the order the name server gives them, seconds it takes
    "slow.zyn.test": (["127.0.0.2"], SLOW),
    "stuck.zyn.test": (["127.0.0.2"], 60),
    "v6only.zyn.test": (["::1"], 0),
    "dual.zyn.test": (["127.0.0.2", "::1"], 0),
    "twonodes.zyn.test": (["127.0.0.1", "127.0.0.2"], 0),  # nothing listens on 127.0.0.1:80
}
# The update server of each fast case, and the address family nginx sees its request come from.
FAST = {"v6only": ("v6only.zyn.test", "IPv6"), "dual": ("dual.zyn.test", "IPv6"),
        "twonodes": ("twonodes.zyn.test", "IPv4"), "literal": ("[::1]", "IPv6")}
WAITING = "status downloading zynEngine package.."  # the slow cases' download, during its lookup


class NameServer(Server):
    """tools/nameserver, answering for NAMES."""

    name = "names"

    def __init__(self, folder, names, address="127.0.0.53", port=53):
        super().__init__(folder, address, port)
        self.names = names

    def command(self):
        return [sys.executable, os.path.join(TOOLS, "nameserver", "name_server.py"),
                "--address", self.address, "--port", str(self.port)] + [
                    "--name=%s=%s@%s" % (n, ",".join(a), s) for n, (a, s) in self.names.items()]

    def ready_pipe(self):
        return subprocess.PIPE

    def ready(self, deadline):
        wait = max(0, deadline - time.monotonic())
        return (bool(select.select([self.proc.stdout], [], [], wait)[0]) and
                self.proc.stdout.readline().startswith(b"ready"))


def state_lines(host, case):
    return [l.replace("http://update.example.net/zyn/", "http://%s/%s/" % (host, case))
            for l in system_state()]


class ResolveCases:
    """Mixed into a LaunchTestCase that supplies start(scratch) for a plain launch, and for a
    launch whose window is watched: start_watched(scratch), watch(launch) (what the window
    answered while the slow lookup waited: [(seconds it took, text it showed)]) and
    dismiss(launch)."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not isolated():
            raise AssertionError("run through scripts/netns-run.sh: the test mounts its own "
                                 "/etc/resolv.conf")
        cls.net = Network()
        cls.addClassCleanup(cls.net.stop)
        www = os.path.join(cls.net.folder, "www")
        os.makedirs(os.path.join(www, "zyn"))
        shutil.copyfile(os.path.join(BIN_DIR, "zynStub-7.0.2.6" + EXE),
                        os.path.join(www, "zyn", "zynEngine.exe"))
        cls.net.start(NameServer, NAMES)
        resolv_conf = os.path.join(cls.net.folder, "resolv.conf")
        with open(resolv_conf, "w") as f:
            f.write("nameserver 127.0.0.53\noptions timeout:30 attempts:1\n")
        subprocess.run(["mount", "--bind", resolv_conf, "/etc/resolv.conf"], check=True)
        cls.addClassCleanup(subprocess.run, ["umount", "/etc/resolv.conf"])
        cls.nginx = cls.net.start(Nginx, www, locations="listen [::1]:80;")

        cls.s, cls.served, cls.results = {}, {}, {}
        for case, (host, _) in FAST.items():
            lines = state_lines(host, case)
            served = lines + ["ZynOrbitalServer=%s.example.net:4000;" % case]
            os.makedirs(os.path.join(www, case))
            with open(os.path.join(www, case, "clientgetconfig.php"), "wb") as f:
                f.write(("ZYN_XSERVER_CONFIG;\n" + "\n".join(served) + "\n").encode("latin-1"))
            cls.served[case] = ("\r\n".join(served) + "\r\n").encode("latin-1")
            cls.prepare(case, lines)
        # Both from the slow (stuck) name: the state, dropped as its time runs out before the name
        # has resolved, and a newer engine.
        os.makedirs(os.path.join(www, "slow"))
        open(os.path.join(www, "slow", "clientgetconfig.php"), "w").close()
        for case, host in (("slow", "slow.zyn.test"), ("dismissed", "stuck.zyn.test")):
            cls.prepare(case, [l.replace("7.0.2.5", "7.0.2.6") if "Engine" in l else
                               l.replace("download.example.net", host)
                               for l in state_lines(host, "slow")])

        # One watched window at a time, so that each is the only one of its caption.
        launch = cls.start_waiting("slow")
        cls.watched = cls.watch(launch)
        cls.engine_asked_while_watched = cls.engine_requests()
        cls.results["slow"] = launch.wait(60)
        # Side by side, each started once the one before is past its engine guard.
        launches = {}
        for case in FAST:
            launches[case] = cls.start(cls.s[case])
            launches[case].wait_for_line("status downloading system state..", 30)
        cls.results.update((case, launch.wait(60)) for case, launch in launches.items())
        launch = cls.start_waiting("dismissed")
        dismissed = time.monotonic()
        cls.dismiss(launch)
        cls.results["dismissed"] = launch.wait(60)
        cls.ended_after = time.monotonic() - dismissed
        print("dismissed during a lookup: ended %.2f s later" % cls.ended_after)

    @classmethod
    def start_waiting(cls, case):
        """The watched launch of CASE, once its download waits for its name."""
        launch = cls.start_watched(cls.s[case])
        if not wait_until(lambda: WAITING in cls.s[case].trace_lines(), 60):
            raise AssertionError("%s: the download never began" % case)
        return launch

    @classmethod
    def prepare(cls, case, state):
        scratch = cls.s[case] = Scratch()
        cls.addClassCleanup(scratch.remove)
        scratch.prepare_launch(state=state)

    @classmethod
    def engine_requests(cls):
        return [r for r in cls.nginx.requests() if "zynEngine.exe" in r[0]]

    def remote_of(self, path):
        """The address nginx saw the request for PATH come from."""
        with open(self.nginx.path("access.log"), encoding="latin-1") as f:
            return [l.split()[0] for l in f if " %s " % path in l]

    def test_names_of_either_family_and_an_ipv6_literal_reach_the_server_ipv6_first(self):
        for case, (host, family) in FAST.items():
            with self.subTest(case):
                result = self.results[case]
                self.assertEqual((result.returncode, result.messages()), (0, []))
                self.assertEqual(self.s[case].read("zynSystemConfig.txt"), self.served[case])
                remotes = self.remote_of("/%s/clientgetconfig.php" % case)
                self.assertEqual(len(remotes), 1)
                self.assertEqual(":" in remotes[0], family == "IPv6", remotes)

    def test_the_window_answers_while_a_name_takes_seconds_and_its_late_answer_is_dropped(self):
        result = self.results["slow"]
        self.assertEqual((result.returncode, result.messages()), (0, []))
        with open(os.path.join(BIN_DIR, "zynStub-7.0.2.6" + EXE), "rb") as f:
            self.assertEqual(self.s["slow"].read("zynEngine.exe"), f.read())
        # The window was watched during the download's lookup, before the engine was asked for.
        self.assertEqual(self.engine_asked_while_watched, [])
        self.assertEqual(len(self.engine_requests()), 1)
        self.assertTrue(self.watched)
        for seconds, shown in self.watched:
            self.assertIsNotNone(seconds)
            self.assertIn(WAITING[len("status "):], shown)
        # The retrieval's time ran out while its name was being looked up: nothing was asked.
        self.assertEqual(self.remote_of("/slow/clientgetconfig.php"), [])

    def test_a_launch_dismissed_while_a_name_is_looked_up_ends_without_waiting_for_it(self):
        self.assertEqual(self.results["dismissed"].returncode, 2)
        self.assertLess(self.ended_after, 15)  # the lookups it leaves take a minute
