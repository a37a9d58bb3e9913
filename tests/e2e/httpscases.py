"""HTTPS launches, the same for the Linux and the Windows program (zynLaunchTestCa, which takes the
TLS tests' CA only): nginx serves over TLS with certificates made for the run under names of the
test's own hosts file, squid tunnels with CONNECT. A test file supplies how its program starts."""

import os
import shutil
import sys

from netcases import STUB_NEW, open_network, read, serve_state, start_in_turn, time_picking
from zynnet import Nginx, Squid, in_hosts_namespace, isolated
from zyntest import BIN_DIR, Scratch, system_state

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tls"))
from tls_servers import make_certificates  # noqa: E402

NGINX = "127.0.0.2"
TLS, PLAIN = "https://zyn.test/", "http://zyn.test/"
# Mirrors whose certificates fail, and the reason the trace gives for each.
REFUSED = {"wrong.test": "host name mismatch", "expired.test": "certificate has expired",
           "stranger.test": "unknown issuer", "selfsigned.test": "self-signed certificate"}
USER = "zyn:s3cret"
UI = "Zyn UI.exe"


def enter_hosts_namespace():
    """Runs the test file again where the names of the cases lead to nginx."""
    in_hosts_namespace({name: NGINX for name in ["zyn.test"] + list(REFUSED)})


class HttpsCases:
    """Mixed into a LaunchTestCase whose start(scratch, name) starts a case's launch of
    zynLaunchTestCa through proxy_for(name), with the proxy's user when CREDENTIALS says so."""

    # name: (update URL, download mirrors, proxy: None, "user" (squid asking for Basic
    # authentication, given it where a proxy setting carries credentials, else an open squid)
    # or "nouser" (that squid, not given it)).
    # "direct" fetches its state by a directory redirect relative to the URL, and a user
    # interface whose name has a blank; "mirrors" picks the first, each refused but the last.
    CASES = {
        "direct": (TLS + "direct/", [TLS + "zyn/"], None),
        "proxy": (TLS + "proxy/", [TLS + "zyn/"], "user"),
        "redirect": (PLAIN + "redirect/", [PLAIN + "redirect/"], None),
        "mirrors": (TLS + "mirrors/", ["https://%s/zyn/" % n for n in REFUSED] + [TLS + "zyn/"],
                    None),
        "nouser": (TLS + "nouser/", [], "nouser"),
    }

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not isolated():
            raise AssertionError("the HTTPS cases need a network namespace of their own")
        www = open_network(cls)
        certificates = os.path.join(cls.net.folder, "certificates")
        os.mkdir(certificates)
        make_certificates(certificates, "zyn.test")
        cls.stub_new = read(os.path.join(BIN_DIR, STUB_NEW))
        os.makedirs(os.path.join(www, "redirect"))
        for folder, name in (("zyn", "zynEngine.exe"), ("zyn", UI), ("redirect", "zynEngine.exe")):
            shutil.copyfile(os.path.join(BIN_DIR, STUB_NEW), os.path.join(www, folder, name))
        cls.nginx = cls.net.start(Nginx, www, NGINX, 443, listen="ssl", locations=(
            "listen %s:80; ssl_certificate %s/$ssl_server_name.crt; ssl_certificate_key %s/leaf.key;"
            " absolute_redirect off; location /redirect/ { if ($scheme = http) {"
            " return 301 https://$host$request_uri; } }" % (NGINX, certificates, certificates)))
        cls.squid = cls.net.start(Squid)
        cls.squid_user = cls.net.start(Squid, port=3129, credentials=USER)

        os.environ["ZYN_TEST_TIME"] = str(time_picking(0, len(cls.CASES["mirrors"][1])))
        cls.s, cls.served, cls.installed = {}, {}, {}
        for name, (update, mirrors, _) in cls.CASES.items():
            installed = [l.replace("http://update.example.net/zyn/", update)
                         for l in system_state()]
            if name == "direct":
                installed = [l.replace("UI;zynUI.exe", "UI;" + UI) for l in installed]
            lines = [l for l in installed if not l.startswith("ZynDownloadURL=")]
            if mirrors:
                lines = [l.replace("Engine;7.0.2.5", "Engine;7.0.2.6") for l in lines]
                lines += ["ZynDownloadURL=%s;" % m for m in mirrors]
            folder = os.path.join(www, update.split("/")[3])
            if name == "direct":  # a folder: nginx redirects to its name with a "/" added
                folder = os.path.join(folder, "clientgetconfig.php")
            os.makedirs(folder, exist_ok=True)
            cls.served[name] = serve_state(folder, lines)
            if name == "direct":
                os.rename(os.path.join(folder, "clientgetconfig.php"),
                          os.path.join(folder, "index.html"))
            scratch = cls.s[name] = Scratch()
            cls.addClassCleanup(scratch.remove)
            scratch.prepare_launch(state=installed, user_config=["zynUI=Default"])
            cls.installed[name] = scratch.read("zynSystemConfig.txt")
        launches = start_in_turn(cls.CASES, lambda name: cls.start(cls.s[name], name))
        cls.results = {name: launches[name].wait(90) for name in cls.CASES}

    @classmethod
    def proxy_for(cls, name):
        kind = cls.CASES[name][2]
        return kind and (cls.squid if kind == "user" and not cls.CREDENTIALS else cls.squid_user)

    def notes(self, name):
        return [l[len("note "):] for l in self.results[name].lines if l.startswith("note ")]

    def test_state_and_components_come_over_https_directly_through_squid_and_redirected(self):
        for name in ("direct", "proxy", "redirect", "mirrors"):
            with self.subTest(name):
                scratch, result = self.s[name], self.results[name]
                self.assertEqual((result.returncode, result.messages()), (0, []))
                self.assertEqual(scratch.read("zynSystemConfig.txt"), self.served[name])
                self.assertEqual(scratch.read("zynEngine.exe"), self.stub_new)
                ui = UI if name == "direct" else "zynUI.exe"
                self.assertEqual([s.name for s in scratch.stub_starts(expected=2)],
                                 ["zynEngine.exe", ui])
        self.assertEqual(self.s["direct"].read(UI), self.stub_new)
        asked = [r[:2] for r in self.nginx.requests()]
        for path, status in (("/direct/clientgetconfig.php", 301),
                             ("/direct/clientgetconfig.php/", 200), ("/zyn/Zyn%20UI.exe", 200),
                             ("/redirect/clientgetconfig.php", 301),
                             ("/redirect/clientgetconfig.php", 200),
                             ("/redirect/zynEngine.exe", 301), ("/redirect/zynEngine.exe", 200)):
            self.assertIn(("GET %s HTTP/1.1" % path, status), asked)
        with open(self.proxy_for("proxy").path("access.log")) as f:
            tunnels = [l.split()[6:8] for l in f if " CONNECT " in l]
        user = USER.split(":")[0] if self.CREDENTIALS else "-"
        self.assertIn(["zyn.test:443", user], tunnels)

    def test_a_refused_certificate_or_tunnel_fails_its_transfer_and_the_trace_says_why(self):
        self.assertEqual(self.notes("mirrors"), ["https://%s/zyn/zynEngine.exe: TLS: %s" % item
                                                 for item in REFUSED.items()])
        result = self.results["nouser"]
        self.assertEqual((result.returncode, result.messages()), (0, []))
        self.assertEqual(self.notes("nouser"), [
            TLS + "nouser/clientgetconfig.php: the proxy %s:%d refused CONNECT: status 407" % (
                self.squid_user.address, self.squid_user.port)])
        self.assertEqual(self.s["nouser"].read("zynSystemConfig.txt"), self.installed["nouser"])
