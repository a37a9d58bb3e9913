"""Launches that reach their servers by name through a name server of the test's own, for both
programs: over HTTPS (directly, through squid, redirected, refused certificates and tunnels), to
IPv6, dual-stack and two-node names, and by names that take seconds while the window answers."""

import os
import subprocess
import sys
import time

from zynnet import NameServer, Nginx, Squid, isolated
from zyntest import (FETCH_FAILED, STUB, STUB_NEW, WINDOW_CAPTION, WINDOWS, Launch,
                     LaunchTestCase, Scratch, main, probe, program, run_cases, serve_state,
                     system_state, wait_until, write)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tls"))
from tls_servers import make_certificates  # noqa: E402

TLS, PLAIN, USER = "https://zyn.test/", "http://zyn.test/", "zyn:s3cret"
# Mirrors whose certificates fail, and the reason the trace gives for each.
REFUSED = {"wrong.test": "host name mismatch", "expired.test": "certificate has expired",
           "stranger.test": "unknown issuer", "selfsigned.test": "self-signed certificate"}
# name: (addresses in the order given, seconds the answer takes); nothing listens on 127.0.0.1:80.
NAMES = {**dict.fromkeys(["zyn.test", *REFUSED], (["127.0.0.2"], 0)),
         "slow.zyn.test": (["127.0.0.2"], 5), "stuck.zyn.test": (["127.0.0.2"], 60),
         "v6only.zyn.test": (["::1"], 0), "dual.zyn.test": (["127.0.0.2", "::1"], 0),
         "twonodes.zyn.test": (["127.0.0.1", "127.0.0.2"], 0)}
# The update server of each case by name, and whether nginx sees its request come over IPv6.
FAST = {"v6only": ("v6only.zyn.test", True), "dual": ("dual.zyn.test", True),
        "twonodes": ("twonodes.zyn.test", False), "literal": ("[::1]", True)}
# name: (update URL, download mirrors served, proxy: "user" a squid asking for Basic credentials,
# given them where the setting carries them (Linux), else an open squid; "nouser" not given them).
# "direct"'s user interface is named with a blank.
HTTPS = {"direct": (TLS + "direct/", [TLS + "zyn/"], None),
         "proxy": (TLS + "proxy/", [TLS + "zyn/"], "user"),
         "redirect": (PLAIN + "redirect/", [PLAIN + "redirect/"], None),
         "mirrors": (TLS + "mirrors/", ["https://%s/zyn/" % n for n in REFUSED], None),
         "nouser": (TLS + "nouser/", [], "nouser")}
UI = "ZynUI=Spaced;UI;Zyn UI.exe;"
WAITING = "status downloading zynEngine package.."  # the slow cases' download, during its lookup


class NamedServers(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not isolated():
            raise AssertionError("run through scripts/netns-run.sh: it mounts its resolv.conf")
        www = cls.open_network({"zynEngine.exe": STUB_NEW, "Zyn UI.exe": STUB_NEW})
        cls.net.start(NameServer, NAMES)
        resolv_conf, certificates = (os.path.join(cls.net.folder, n) for n in ("resolv", "certs"))
        write(resolv_conf, b"nameserver 127.0.0.53\noptions timeout:30 attempts:1\n")
        subprocess.run(["mount", "--bind", resolv_conf, "/etc/resolv.conf"], check=True)
        cls.addClassCleanup(subprocess.run, ["umount", "/etc/resolv.conf"])
        os.mkdir(certificates)
        make_certificates(certificates, "zyn.test")
        cls.nginx = cls.net.start(Nginx, www, port=443, listen="ssl", locations=(
            "listen 127.0.0.2:80; listen [::1]:80; ssl_certificate %s/$ssl_server_name.crt;"
            " ssl_certificate_key %s/leaf.key; absolute_redirect off; index clientgetconfig.php;"
            " location /redirect/ {"
            " if ($scheme = http) { return 301 https://$host$request_uri; } }"
            % (certificates, certificates)))
        cls.squid = cls.net.start(Squid)
        cls.squid_user = cls.net.start(Squid, port=3129, credentials=USER)

        cls.s, cls.served, cls.installed = {}, {}, {}
        for name, (update, mirrors, _) in HTTPS.items():
            folder, ui = os.path.join(www, update.split("/")[3]), [UI] * (name == "direct")
            if ui:  # its state a folder: nginx redirects to its name with a "/" added
                folder = os.path.join(folder, "clientgetconfig.php")
            cls.served[name] = serve_state(folder, system_state(
                update, mirrors, dict(Engine="7.0.2.6"), extra=ui))
            if name == "redirect":
                os.link(os.path.join(www, "zyn", "zynEngine.exe"),
                        os.path.join(folder, "zynEngine.exe"))
            cls.prepare(name, system_state(update, extra=ui), ["zynUI=Spaced"] if ui else None)
        for name, (host, _) in FAST.items():
            update = "http://%s/%s/" % (host, name)
            cls.served[name] = serve_state(os.path.join(www, name), system_state(
                update, orbitals=[name + ".example.net:4000"]))
            cls.prepare(name, system_state(update))
        for name, host in (("slow", "slow.zyn.test"), ("dismissed", "stuck.zyn.test")):
            # The state's retrieval runs out of time while its name is looked up; the download
            # from there waits for it.
            cls.prepare(name, system_state("http://%s/slow/" % host, ["http://%s/zyn/" % host],
                                           dict(Engine="7.0.2.6")))

        # One watched window at a time, the only one of its caption.
        def engine_asked():
            return sum("zynEngine.exe" in r[0] for r in cls.nginx.requests())
        launch = cls.start_waiting("slow")
        cls.shown, asked_while_watched = cls.watch(launch), engine_asked()
        cls.results = {"slow": launch.wait(60)}
        cls.engine_asked = (asked_while_watched, engine_asked())
        cls.results.update(run_cases(list(FAST) + list(HTTPS), cls.start))
        launch = cls.start_waiting("dismissed")
        dismissed = time.monotonic()
        if WINDOWS:
            assert probe("escape", WINDOW_CAPTION)[0] == 0, "the probe could not press Escape"
        else:
            os.write(launch.terminal[0], b"\x1b")
        cls.results["dismissed"] = launch.wait(60)
        cls.ended_after = time.monotonic() - dismissed

    @classmethod
    def prepare(cls, name, state, user_config=None):
        cls.s[name] = Scratch(cls.addClassCleanup)
        cls.s[name].prepare_launch(state, user_config)
        cls.installed[name] = cls.s[name].read("zynSystemConfig.txt")

    @classmethod
    def start(cls, name):
        kind = HTTPS.get(name, [None] * 3)[2]  # the Windows setting carries no user
        proxy = kind and (cls.squid if kind == "user" and WINDOWS else cls.squid_user)
        where = proxy and "%s:%d" % (proxy.address, proxy.port)
        return Launch(cls.s[name], program="zynLaunchTestCa" if name in HTTPS else "zynLaunch",
                      env=dict(https_proxy=proxy and "http://%s%s" % (
                          USER + "@" if name == "proxy" else "", where) or ""),
                      registry=proxy and ("http=%s;https=%s" % (where, where), None))

    @classmethod
    def start_waiting(cls, name):
        """The launch of NAME, with a terminal on Linux, once its download waits for its name."""
        launch = Launch(cls.s[name], terminal=True, env=dict(TERM="xterm"))
        if not wait_until(lambda: WAITING in cls.s[name].trace_lines(), 60):
            raise AssertionError("%s: the download never began" % name)
        return launch

    @classmethod
    def watch(cls, launch):
        """What the window shows when asked: read by the probe, or the whole panel redrawn on a
        resize within 2 s; "" when it does not answer."""
        if WINDOWS:
            status, shown = probe("read", WINDOW_CAPTION, "20000")
            return shown if status == 0 else ""
        before = len(launch.output)
        launch.resize(30, 100)
        wait_until(lambda: WINDOW_CAPTION.encode() in b"".join(launch.output[before:]), 2)
        shown = b"".join(launch.output[before:]).decode("utf-8", "replace")
        return shown if WINDOW_CAPTION in shown else ""

    def remotes(self, path):
        """The addresses that nginx saw requests for PATH come from."""
        return [r[5] for r in self.nginx.requests() if r[0] == "GET %s HTTP/1.1" % path]

    def notes(self, name):
        return [l[len("note "):] for l in self.results[name].lines if l.startswith("note ")]

    def test_names_of_either_family_and_an_ipv6_literal_reach_the_server_ipv6_first(self):
        for name, (_, ipv6) in FAST.items():
            with self.subTest(name):
                self.assertEqual(self.results[name].outcome(), (0, []))
                self.assertEqual(self.s[name].read("zynSystemConfig.txt"), self.served[name])
                remotes = self.remotes("/%s/clientgetconfig.php" % name)
                self.assertEqual([":" in r for r in remotes], [ipv6], remotes)

    def test_the_window_answers_while_a_name_takes_seconds_and_its_late_answer_is_dropped(self):
        self.assertEqual(self.results["slow"].outcome(), (0, []))
        self.assertEqual(self.s["slow"].read("zynEngine.exe"), program(STUB_NEW))
        # Watched during the download's lookup, before the engine was asked for.
        self.assertIn(WAITING[7:], self.shown)
        self.assertEqual(self.engine_asked, (0, 1))
        # The retrieval's time ran out while its name was being looked up: nothing was asked.
        self.assertEqual(self.remotes("/slow/clientgetconfig.php"), [])

    def test_a_launch_dismissed_while_a_name_is_looked_up_ends_without_waiting_for_it(self):
        self.assertEqual(self.results["dismissed"].returncode, 2)
        self.assertLess(self.ended_after, 15)  # the lookups it leaves take a minute

    def test_state_and_components_come_over_https_directly_through_squid_and_redirected(self):
        for name in ("direct", "proxy", "redirect"):
            with self.subTest(name):
                scratch = self.s[name]
                self.assertEqual(self.results[name].outcome(), (0, []))
                self.assertEqual(scratch.read("zynSystemConfig.txt"), self.served[name])
                self.assertEqual(scratch.read("zynEngine.exe"), program(STUB_NEW))
                self.assertEqual(scratch.started(), ["zynEngine.exe", "Zyn UI.exe" if name ==
                                                     "direct" else "zynUI.exe"])
        asked = [r[:2] for r in self.nginx.requests()]
        for path, status in (("/direct/clientgetconfig.php", 301),
                             ("/direct/clientgetconfig.php/", 200), ("/zyn/Zyn%20UI.exe", 200),
                             ("/redirect/clientgetconfig.php", 301),
                             ("/redirect/clientgetconfig.php", 200),
                             ("/redirect/zynEngine.exe", 301), ("/redirect/zynEngine.exe", 200)):
            self.assertIn(("GET %s HTTP/1.1" % path, status), asked)
        squid = self.squid if WINDOWS else self.squid_user
        tunnels = [l.split()[6:8] for l in squid.text("access.log").splitlines()
                   if " CONNECT " in l]
        self.assertIn(["zyn.test:443", "-" if WINDOWS else USER.split(":")[0]], tunnels)

    def test_a_refused_certificate_or_tunnel_fails_its_transfer_and_the_trace_says_why(self):
        # Every mirror is tried in turn, wherever the pick falls, and none is taken.
        self.assertEqual(self.results["mirrors"].outcome(), (1, [FETCH_FAILED]))
        self.assertEqual(sorted(self.notes("mirrors")), sorted(
            "https://%s/zyn/zynEngine.exe: TLS: %s" % item for item in REFUSED.items()))
        self.assertEqual(self.s["mirrors"].read("zynEngine.exe"), program(STUB))
        self.assertEqual(self.results["nouser"].outcome(), (0, []))
        self.assertEqual(self.notes("nouser"), [
            TLS + "nouser/clientgetconfig.php: the proxy %s:%d refused CONNECT: status 407" % (
                self.squid_user.address, self.squid_user.port)])
        self.assertEqual(self.s["nouser"].read("zynSystemConfig.txt"), self.installed["nouser"])


if __name__ == "__main__":
    main()
