"""The local Zyn network that the launch tests and the demo run: every server answers as it is
configured, directly and through the proxy."""

import os
import socket
import subprocess
import tempfile
import unittest

from zynnet import DeepResolver, HostileServer, Network, Nginx, Squid, deep_answer

STATE = b"ZYN_XSERVER_CONFIG;\nZynOrbitalServer=orb.example.net:4000;\n"
COMPONENT = bytes(range(256)) * 300


def curl(*args):
    proc = subprocess.run(["curl", "-sS", "--max-time", "5"] + list(args),
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return proc.returncode, proc.stdout


class LocalNetwork(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.net = Network()
        cls.addClassCleanup(cls.net.stop)
        root = os.path.join(cls.net.folder, "www")
        os.makedirs(os.path.join(root, "zyn"))
        for name, data in (("clientgetconfig.php", STATE), ("zynEngine.exe", COMPONENT)):
            with open(os.path.join(root, "zyn", name), "wb") as f:
                f.write(data)
        cls.nginx = cls.net.start(Nginx, root)
        cls.squid = cls.net.start(Squid)
        cls.hostile = cls.net.start(HostileServer, os.path.join(root, "zyn"))
        cls.deep = cls.net.start(DeepResolver, [deep_answer("10.0.0.9", 4000)])

    def test_nginx_serves_directly_and_through_squid(self):
        for proxy in ([], ["-x", self.squid.proxy_url]):
            for name, data in (("clientgetconfig.php", STATE), ("zynEngine.exe", COMPONENT)):
                self.assertEqual(curl(*proxy, self.nginx.url("zyn/" + name)), (0, data))

    def test_hostile_server_misbehaves_as_its_scenario_says(self):
        # curl's exit codes: 18 transfer cut short, 22 HTTP error, 28 time-out, 56 receive failure.
        cases = {"ok": 0, "split": 0, "chunked": 0, "nolength": 0, "redirect3": 0, "notfound": 22,
                 "early": 18, "reset": 56, "stall": 28, "endless": 28}
        for scenario, code in cases.items():
            with self.subTest(scenario):
                rc, body = curl("-L", "-f", "--max-time", "1",
                                self.hostile.url(scenario + "/zyn/zynEngine.exe"))
                self.assertEqual(rc, code)
                if code == 0:
                    self.assertEqual(body, COMPONENT)
        requests = [r["scenario"] for r in self.hostile.requests()]
        self.assertEqual(requests.count("ok"), 2)  # once asked, once at the redirections' end

    def test_deep_resolver_answers_probes_only_and_counts_them(self):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.bind(("127.0.0.1", 0))
            s.settimeout(2)
            s.sendto(b"ZYN_DEEP_RESOLVER_DISCOVER", (self.deep.address, self.deep.port))
            s.sendto(b"ZYN_DEEP_RESOLVER_DISCOVER;", (self.deep.address, self.deep.port))
            self.assertEqual(s.recv(100), b"ZYN_DEEP_RESOLVER_DISCOVER;10.0.0.9;4000;")
            self.assertEqual(self.deep.probes(), [("127.0.0.1", s.getsockname()[1])])


if __name__ == "__main__":
    unittest.main(verbosity=2)
