"""Launches over the local network, for both programs: states and files over HTTP(S), direct or
through squid, kept bytes, failing mirrors and certificates, damaged and cancelled launches,
self-updates, keyed launchers, published releases, names of either family or slow to resolve."""

import collections
import hashlib
import os
import random
import re
import signal
import subprocess
import time

from zynnet import HostileServer, NameServer, Nginx, Squid, isolated, make_certificates
from zyntest import (COMPONENTS, DEAD, EXE, FETCH_FAILED, INITIAL_STATUS, KEYS, NEW_LAUNCHER,
                     OLD_LAUNCHER, ORBITALS, STUB, STUB_NEW, WINDOW_CAPTION, WINDOWS, Launch,
                     LaunchTestCase, Scratch, installed, main, make_release, probe, program, read,
                     read_window, run_cases, serve_state, sign_tool, system_state, urls,
                     wait_until, write)

NO_ORBITALS = "No orbital servers are available - please close Zyn and try again later."
PART = "zynEngine.exe.zynpart"
KEYED, SIGNED_ORBITAL, TESTCA = "zynLaunchTestKey", "orbsigned.example.net:4000", "zynLaunchTestCa"
TLS, PLAIN, USER = "https://zyn.test/", "http://zyn.test/", "zyn:s3cret"
# Mirrors that TLS refuses, and what the trace's reason says: certificates, TLS 1.1 alone, HTTP.
REFUSED = {"wrong.test": "host name mismatch", "expired.test": "certificate has expired",
           "stranger.test": "unknown issuer", "selfsigned.test": "self-signed certificate",
           "zyn.test:8411": "TLS handshake", "zyn.test:80": "TLS handshake"}
# name: (addresses in the order given, seconds the answer takes); nothing listens on 127.0.0.1:80.
NAMES = {**dict.fromkeys(["zyn.test", "wrong.test", "expired.test", "stranger.test",
                          "selfsigned.test"], (["127.0.0.2"], 0)),
         "slow.zyn.test": (["127.0.0.2"], 5), "stuck.zyn.test": (["127.0.0.2"], 60),
         "v6only.zyn.test": (["::1"], 0), "dual.zyn.test": (["127.0.0.2", "::1"], 0),
         "twonodes.zyn.test": (["127.0.0.1", "127.0.0.2"], 0)}
IPV6 = {"v6only": True, "dual": True, "twonodes": False, "literal": True}  # nginx sees it so
UI = "ZynUI=Spaced;UI;Zyn UI.exe;"  # "https"'s user interface
WAITING = "status downloading zynEngine package.."  # the slow cases' download, during its lookup
# A case's mirrors (None: its own folder, which serves the engine), versions listed, launcher,
# proxy (squid; a dead one its bypass list steers round; "user": the squid that asks for a user,
# given in the setting (an open squid on Windows, whose setting carries none); "nouser": that
# squid, not given one), engine digest listed, the first half kept of the served or an older
# engine, with nginx's validator; keyed: the serials on disk (or None) and served (listing the
# digest); its update URL (None: its own folder). Refused signed states: StateRetrieval's tests.
# Launchers without the tests' CA take the system's roots.
Case = collections.namedtuple(
    "Case", "mirrors versions launcher proxy digest kept validator serials update",
    defaults=(dict(Engine="7.0.2.6"), NEW_LAUNCHER, None, False, None, False, None, None))
# "damaged" has 3,000 random bytes for its state file; "cancel" is dismissed during its download,
# then launched again offline; "wrongdigest"'s first mirror asked, whichever the pick, serves a
# changed byte; "https" fetches its state behind a relative directory redirect; "upgrade" is
# redirected from http:// to https://; "mirrors" tries each refused mirror, wherever the pick
# falls (failing over to a good one: Downloads.AFailedMirror... and "wrongdigest").
CASES = {
    "direct": Case(["zyn"], dict(Engine="7.0.2.6", UI="7.0.2.6"), proxy="bypassed"),
    "proxy": Case(["zyn"], proxy="squid", kept="served", validator=True),
    "damaged": Case(["zyn"], {}),
    "cancel": Case(["hostile:stall"]),
    "ignored": Case(["hostile:ok"], digest=True, kept="served"),
    "changed": Case([None], kept="older", validator=True),
    "changednovalidator": Case(["hostile:ok/changed"], kept="older"),
    "signed": Case(["zyn"], launcher=KEYED, serials=(None, 5)),
    "nodigest": Case([None], dict(Engine="7.0.2.6", UI="7.0.2.6"), KEYED, serials=(None, 5)),
    "wrongdigest": Case(["hostile:firstwrong/one", "hostile:firstwrong/two"], launcher=KEYED,
                        serials=(4, 5)),
    **{name: Case(["zyn"], {}, update=url) for name, url in (
        ("v6only", "http://v6only.zyn.test/v6only/"), ("dual", "http://dual.zyn.test/dual/"),
        ("twonodes", "http://twonodes.zyn.test/twonodes/"), ("literal", "http://[::1]/literal/"))},
    "https": Case([TLS + "zyn/"], launcher=TESTCA, update=TLS + "https/"),
    "tunnel": Case([TLS + "zyn/"], launcher=TESTCA, proxy="user", update=TLS + "tunnel/"),
    "upgrade": Case([PLAIN + "zyn/"], launcher=TESTCA, update=PLAIN + "upgrade/"),
    "mirrors": Case(["https://%s/zyn/" % n for n in REFUSED], launcher=TESTCA,
                    update=TLS + "mirrors/"),
    "nouser": Case([], launcher=TESTCA, proxy="nouser", update=TLS + "nouser/"),
    # 16 MiB from a server of TLS 1.2 or 1.3 alone (Wine 8's Schannel has no TLS 1.3).
    **{name: Case(["https://zyn.test:%d/big/" % port], launcher=TESTCA) for name, port in (
        ("tls12", 8412), ("tls13", 8413))},
    "roots": Case(["https://stranger.test/zyn/"]),
    "notroots": Case([TLS + "zyn/"]),
    # The self-updates last (the published release after this one): no later run of theirs
    # meets a case's first engine guard.
    "selfupdate": Case(["zyn"], {}, OLD_LAUNCHER),
}


class NetworkLaunches(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not isolated():
            raise AssertionError("run through scripts/netns-run.sh: it mounts its resolv.conf")
        cls.engine, digest = program(STUB_NEW), hashlib.sha256(program(STUB_NEW)).hexdigest()
        www = cls.www = cls.open_network({"zynEngine.exe": STUB_NEW, "zynUI.exe": STUB_NEW,
                                          "Zyn UI.exe": STUB_NEW,
                                          "zynLaunchTemp.exe": NEW_LAUNCHER + EXE})
        cls.net.start(NameServer, NAMES)
        resolv_conf, certificates = (os.path.join(cls.net.folder, n) for n in ("resolv", "certs"))
        write(resolv_conf, b"nameserver 127.0.0.53\noptions timeout:30 attempts:1\n")
        make_certificates(certificates, "zyn.test")
        # Both programs read these (Wine the system's roots from the bundle); the mounts end with
        # the test's mount namespace.
        for source, target in ((resolv_conf, "/etc/resolv.conf"), (os.path.join(
                certificates, "stranger.pem"), "/etc/ssl/certs/ca-certificates.crt")):
            subprocess.run(["mount", "--bind", source, target], check=True)
        tls = "ssl_certificate %s/$ssl_server_name.crt; ssl_certificate_key %s/leaf.key;" % (
            certificates, certificates)
        # Plain on 127.0.0.2 and [::1], TLS for the names (zyn.test's plain requests sent there).
        cls.nginx = cls.net.start(Nginx, www, locations=(
            "listen [::1]:80; listen 127.0.0.2:443 ssl; %s absolute_redirect off; index"
            " clientgetconfig.php; set $to $scheme://$host; if ($to = http://zyn.test) {"
            " return 301 https://$host$request_uri; }" % tls))
        # TLS 1.1 needs the ciphers of security level 0 in OpenSSL 3.
        for port, protocols in ((8411, "TLSv1.1; ssl_ciphers DEFAULT:@SECLEVEL=0"),
                                (8412, "TLSv1.2"), (8413, "TLSv1.3")):
            cls.net.start(Nginx, www, port=port, listen="ssl",
                          locations="%s ssl_protocols %s;" % (tls, protocols))
        cls.big = cls.engine + bytes(16 << 20)  # many TLS records; nothing of the program
        write(os.path.join(www, "big", "zynEngine.exe"), cls.big)
        cls.squid, cls.squid_user = cls.net.start(Squid), cls.net.start(
            Squid, port=3129, credentials=USER)
        cls.hostile = cls.net.start(HostileServer, os.path.join(www, "zyn"))
        cls.s, cls.served = {}, {}
        for name, case in CASES.items():
            update, folder = case.update or cls.nginx.url(name + "/"), os.path.join(www, name)
            ui = [UI] * (name == "https")
            if ui:  # a folder: nginx redirects to its name with a "/" added
                folder = os.path.join(folder, "clientgetconfig.php")
            signed = ["ZynSerial=%d;" % case.serials[1], "ZynExpires=4000000000;"] \
                if case.serials else []
            serve_state(folder, system_state(
                update, urls([m or name for m in case.mirrors], cls.nginx, cls.hostile),
                case.versions, (SIGNED_ORBITAL,) if case.serials else ORBITALS,
                extra=(["ZynDigest=zynEngine.exe;%d;%s;" % (len(cls.engine), digest)]
                       if case.digest or case.serials else []) + signed + ui))
            path = os.path.join(folder, "clientgetconfig.php")
            if case.serials:
                assert sign_tool("sign", os.path.join(KEYS, "a.key"), path).returncode == 0
            cls.served[name] = installed(read(path))
            scratch = cls.s[name] = Scratch(cls.addClassCleanup)
            scratch.prepare_launch(system_state(update, extra=ui) + (
                ["ZynSerial=%d;" % case.serials[0]] if case.serials and case.serials[0] else []),
                ["zynUI=Spaced"] if ui else None)
            first = program(STUB if case.kept == "older" else STUB_NEW)
            source = name if case.mirrors == [None] else "zyn"
            if source == name:
                write(os.path.join(folder, "zynEngine.exe"), first)
            if case.kept:
                scratch.write(PART, first[:len(first) // 2])
            if case.validator:  # as nginx gives it now
                scratch.write(PART + ".validator", cls.nginx.etag(
                    source + "/zynEngine.exe").encode())
            if source == name and first != cls.engine:  # nginx's ETag tells seconds apart
                write(os.path.join(folder, "zynEngine.exe"), cls.engine)
                os.utime(os.path.join(folder, "zynEngine.exe"), (0, time.time() + 10))
        cls.installed = {name: cls.s[name].read("zynSystemConfig.txt") for name in CASES}
        cls.publish_twice(www)
        cls.s["damaged"].write("zynSystemConfig.txt", random.Random(3).randbytes(3000))
        for name, host in (("slow", "slow.zyn.test"), ("dismissed", "stuck.zyn.test")):
            # The state's retrieval runs out of time while the name is looked up; the download
            # from there waits for it.
            cls.s[name] = Scratch(cls.addClassCleanup)
            cls.s[name].prepare_launch(system_state(
                "http://%s/slow/" % host, ["http://%s/zyn/" % host], dict(Engine="7.0.2.6")))

        # Alone, so that the key reaches its window: dismissed in mid-download, then offline.
        launch = cls.start("cancel")
        launch.wait_for_line("progress 50")  # the half that the stalling mirror sends
        cls.cancelled = cls.dismiss(launch, signal.SIGINT)
        cls.s["cancel"].write("zynSystemConfig.txt", re.sub(
            rb"(Zyn(?:Update|Download)URL=)[^;\r\n]*", lambda m: m.group(1) + DEAD.encode(),
            cls.s["cancel"].read("zynSystemConfig.txt")))
        # One watched window at a time, the only one of its caption.
        engine_asked = lambda: sum("zynEngine.exe" in r[0] and "/zyn/" in r[0]  # noqa: E731
                                   for r in cls.nginx.requests())
        launch, before = cls.start_waiting("slow"), engine_asked()
        cls.shown, asked_while_watched = cls.watch(launch), engine_asked()
        cls.slow = launch.wait(60)
        cls.engine_asked = (asked_while_watched - before, engine_asked() - before)
        cls.results = run_cases(list(CASES) + ["published"], cls.start,
                                runs={"selfupdate": 3, "published": 3})
        launch, dismissed = cls.start_waiting("dismissed"), time.monotonic()
        cls.dismissed = cls.dismiss(launch, b"\x1b")
        cls.ended_after = time.monotonic() - dismissed

    @classmethod
    def publish_twice(cls, www):
        """A release published with the older keyed launcher and installed, then one over it."""
        tree, url = os.path.join(www, "published"), cls.nginx.url("published/")
        description = ["ZynUpdateURL=%s;" % url, "ZynDownloadURL=%s;" % url,
                       "ZynOrbitalServer=%s;" % SIGNED_ORBITAL]
        cls.s["published"] = Scratch(cls.addClassCleanup)
        for release, (stub, launcher) in enumerate(((STUB, "zynLaunchOldTestKey"),
                                                     (STUB_NEW, KEYED))):
            programs = dict({name: stub for name in COMPONENTS}, **{
                "pssdk_dll.dll": STUB, "zynLaunch.exe": launcher + EXE})
            folder = make_release(os.path.join(cls.net.folder, "release%d" % release),
                                  description, programs)
            published = sign_tool("publish", os.path.join(KEYS, "a.key"), folder, tree,
                                  "--platform", "windows" if WINDOWS else "linux")
            assert published.returncode == 0, published.stderr
            cls.served["published"] = installed(read(os.path.join(tree, "clientgetconfig.php")))
            if release == 0:  # the folder installed from the first
                for name, built in programs.items():
                    cls.s["published"].install(name, built)
                cls.s["published"].write("zynSystemConfig.txt", cls.served["published"])

    @classmethod
    def start(cls, name):
        case = CASES.get(name, Case([], launcher=None))
        squid = cls.squid_user if case.proxy == "nouser" or case.proxy == "user" and not \
            WINDOWS else cls.squid
        where = "%s:%d" % (squid.address, squid.port)
        env = {"squid": dict(http_proxy="http://" + where), "user": dict(
            https_proxy="http://%s@%s" % (USER, where)), "nouser": dict(
            https_proxy="http://" + where), "bypassed": dict(
            http_proxy=DEAD, no_proxy="other.example, 127.0.0.0/8")}.get(case.proxy)
        # On Windows per scheme, as the system's settings page writes it, without a user.
        return Launch(cls.s[name], program=case.launcher, env=env, registry=case.proxy and (
            (DEAD[7:-1], "other.example;127.0.0.*;<local>") if case.proxy == "bypassed" else
            ("http=%s;https=%s" % (where, where), None)))

    @classmethod
    def start_waiting(cls, name):
        """The launch of NAME, with a terminal on Linux, once its download waits for its name."""
        launch = Launch(cls.s[name], terminal=True, env=dict(TERM="xterm"))
        if not wait_until(lambda: WAITING in cls.s[name].trace_lines(), 60):
            raise AssertionError("%s: the download never began" % name)
        return launch

    @classmethod
    def watch(cls, launch):
        """What the window shows when asked: its status as the probe reads it, or the panel
        redrawn on a resize within 2 s, down to its status line; "" when it does not answer."""
        if WINDOWS:
            return read_window().get("status", "")
        before = len(launch.output)
        launch.resize(30, 100)
        wait_until(lambda: all(t.encode() in b"".join(launch.output[before:])
                               for t in (WINDOW_CAPTION, WAITING[7:])), 2)
        shown = b"".join(launch.output[before:]).decode("utf-8", "replace")
        return shown if WINDOW_CAPTION in shown else ""

    @classmethod
    def dismiss(cls, launch, how):
        """Escape through the probe on Windows; on Linux HOW: a signal, or a key on a terminal."""
        if WINDOWS:
            assert probe("escape", WINDOW_CAPTION)[0] == 0, "the probe could not press Escape"
        elif launch.terminal:
            os.write(launch.terminal[0], how)
        else:
            launch.proc.send_signal(how)
        return launch.wait(60)

    def remotes(self, path):
        """The addresses that nginx saw requests for PATH come from."""
        return [r[5] for r in self.nginx.requests() if r[0] == "GET %s HTTP/1.1" % path]

    def notes(self, name):
        return [l[len("note "):] for l in self.results[name].lines if l.startswith("note ")]

    def test_state_fetched_directly_and_through_the_proxy_and_outdated_files_replaced(self):
        for name in ("direct", "proxy"):
            with self.subTest(name):
                scratch = self.s[name]
                self.assertEqual(self.results[name].outcome(), (0, []))
                self.assertEqual(scratch.read("zynSystemConfig.txt"), self.served[name])
                self.assertEqual(scratch.read("zynEngine.exe"), self.engine)
                self.assertEqual(scratch.started(), ["zynEngine.exe", "zynUI.exe"])
                self.assertEqual(scratch.partial_files(), [])
        # Two files in queue order, under their labels, each with its bar from 0 to 100.
        self.assertEqual(self.s["direct"].read("zynUI.exe"), self.engine)
        lines = self.results["direct"].lines
        self.assertEqual([l for l in lines if l.startswith("status downloading z")],
                         ["status downloading zynEngine package..",
                          "status downloading zynUserInterface package.."])
        # Up to stage 5's own 80, found from the scan's status: a bar may pass through 80 too.
        end = lines.index("status scanning 1 deep resolution servers..") - 1
        self.assertEqual(lines[end], "progress 80")
        bar = [l for l in lines[lines.index("progress 60") + 1:end] if l.startswith("progress ")]
        self.assertEqual((bar[0], bar[-1], bar.count("progress 0")),
                         ("progress 0", "progress 100", 2))
        for path in ("proxy/clientgetconfig.php", "zyn/zynEngine.exe"):
            self.assertIn(self.nginx.url(path), self.squid.text("access.log"))
        # Every request names the launcher as it was built.
        agents = {r[4] for r in self.nginx.requests() if r[0].startswith("GET ")}
        self.assertLessEqual({"zynLaunch/1.0.0.0"}, agents)
        self.assertLessEqual(agents, {"zynLaunch/1.0.0.0", "zynLaunch/0.9.0.0"})
        # Only the rest of the engine was asked for: squid passed the range on, and the part back.
        half = len(self.engine) // 2
        self.assertIn((206, len(self.engine) - half, "bytes=%d-" % half),
                      [r[1:4] for r in self.nginx.requests() if "/zyn/zynEngine.exe" in r[0]])
        self.assertIn("/206 ", "".join(l for l in self.squid.text("access.log").splitlines()
                                       if "zynEngine.exe" in l))

    def test_kept_bytes_are_continued_only_as_the_same_file_and_the_whole_file_put_in_place(self):
        half = len(self.engine) // 2
        rest = (206, len(self.engine) - half, "bytes=%d-" % half)
        # nginx sends the whole file for a range whose If-Range names another version.
        whole = (200, len(self.engine), "bytes=%d-" % (len(program(STUB)) // 2))
        # Resumed by a validator: the proxy case; by a digest: Downloads.KeptBytes...
        for name, asked in (("ignored", []), ("changed", [whole]), ("changednovalidator", [])):
            with self.subTest(name):
                self.assertEqual(self.results[name].outcome(), (0, []))
                self.assertEqual(self.s[name].read("zynEngine.exe"), self.engine)
                self.assertEqual(self.s[name].partial_files(), [])
                self.assertEqual([r[1:4] for r in self.nginx.requests()
                                  if r[0].startswith("GET /%s/zynEngine.exe " % name)], asked)
        # Asked for the rest (not sent); kept bytes without validator or digest not continued.
        self.assertEqual([("/ok/changed/" in r["request"], "\r\nRange: " in r["request"])
                          for r in self.hostile.requests() if r["scenario"] == "ok"],
                         [(False, True), (True, False)])

    def test_a_download_that_fails_or_is_cancelled_leaves_a_product_that_starts(self):
        # A damaged state (no versions, no orbital server, nothing to fetch from), a cancelled
        # download launched again offline: each component stays.
        for name in ("damaged", "cancel"):
            for component in COMPONENTS:
                self.assertEqual(self.s[name].read(component), program(STUB), (name, component))
        self.assertEqual(self.s["cancel"].started(), ["zynEngine.exe", "zynUI.exe"])
        self.assertEqual(self.results["damaged"].outcome(), (1, [FETCH_FAILED, NO_ORBITALS]))
        offline = self.results["cancel"]
        self.assertEqual((self.cancelled.returncode, offline.returncode), (2, 1))
        self.assertEqual(offline.lines[offline.lines.index("status " + INITIAL_STATUS, 1):].count(
            "message " + FETCH_FAILED), 1, offline.lines)

    def engine_args(self, name):
        self.assertEqual(self.s[name].started(), ["zynEngine.exe", "zynUI.exe"])
        return self.s[name].stub_starts()[0].args

    def test_a_signed_state_is_written_and_its_engine_accepted_only_with_its_digest(self):
        for name in ("signed", "wrongdigest"):
            with self.subTest(name):
                scratch = self.s[name]
                self.assertEqual(self.results[name].outcome(), (0, []))
                self.assertEqual(scratch.read("zynSystemConfig.txt"), self.served[name])
                self.assertEqual(scratch.read("zynEngine.exe"), self.engine)
                self.assertEqual(self.engine_args(name)[3], SIGNED_ORBITAL + "O")
                self.assertEqual(scratch.partial_files(), [])
        # As installed, the state still carries a signature that the operator's tool checks.
        verified = sign_tool("verify", os.path.join(KEYS, "a.pub"),
                             self.s["signed"].path("zynSystemConfig.txt"))
        self.assertEqual(verified.returncode, 0, verified.stderr)
        # The first mirror asked served a changed byte; the other one the engine itself.
        self.assertEqual(sorted(r["request"].split()[1] for r in self.hostile.requests()
                                if r["scenario"] == "firstwrong"),
                         ["/firstwrong/one/zynEngine.exe", "/firstwrong/two/zynEngine.exe"])

    def test_a_file_without_a_digest_is_not_fetched_and_the_installed_one_starts(self):
        scratch, result = self.s["nodigest"], self.results["nodigest"]
        self.assertEqual(result.outcome(), (1, [FETCH_FAILED]))
        self.assertIn("note zynUI.exe: the system state lists no digest for it; not downloaded",
                      result.lines)
        self.assertEqual((scratch.read("zynEngine.exe"), scratch.read("zynUI.exe")),
                         (self.engine, program(STUB)))
        self.assertEqual(self.engine_args("nodigest")[3], SIGNED_ORBITAL + "O")
        self.assertNotIn("/nodigest/zynUI.exe", " ".join(r[0] for r in self.nginx.requests()))

    def test_names_of_either_family_and_an_ipv6_literal_reach_the_server_ipv6_first(self):
        for name, ipv6 in IPV6.items():
            with self.subTest(name):
                self.assertEqual(self.results[name].outcome(), (0, []))
                self.assertEqual(self.s[name].read("zynSystemConfig.txt"), self.served[name])
                remotes = self.remotes("/%s/clientgetconfig.php" % name)
                self.assertEqual([":" in r for r in remotes], [ipv6], remotes)

    def test_the_window_answers_while_a_name_takes_seconds_and_its_late_answer_is_dropped(self):
        self.assertEqual(self.slow.outcome(), (0, []))
        self.assertEqual(self.s["slow"].read("zynEngine.exe"), self.engine)
        # Watched during the download's lookup, before the engine was asked for.
        self.assertIn(WAITING[7:], self.shown)
        self.assertEqual(self.engine_asked, (0, 1))
        # The retrieval's time ran out while its name was being looked up: nothing was asked.
        self.assertEqual(self.remotes("/slow/clientgetconfig.php"), [])

    def test_a_launch_dismissed_while_a_name_is_looked_up_ends_without_waiting_for_it(self):
        self.assertEqual(self.dismissed.returncode, 2)
        self.assertLess(self.ended_after, 15)  # the lookups it leaves take a minute

    def test_state_and_components_come_over_https_directly_through_squid_and_redirected(self):
        for name in ("https", "tunnel", "upgrade"):
            with self.subTest(name):
                scratch = self.s[name]
                self.assertEqual(self.results[name].outcome(), (0, []))
                self.assertEqual(scratch.read("zynSystemConfig.txt"), self.served[name])
                self.assertEqual(scratch.read("zynEngine.exe"), self.engine)
                self.assertEqual(scratch.started(), ["zynEngine.exe", "Zyn UI.exe" if name ==
                                                     "https" else "zynUI.exe"])
        asked = [r[:2] for r in self.nginx.requests()]
        for path, status in (("/https/clientgetconfig.php", 301),
                             ("/https/clientgetconfig.php/", 200), ("/zyn/Zyn%20UI.exe", 200),
                             ("/upgrade/clientgetconfig.php", 301),
                             ("/upgrade/clientgetconfig.php", 200), ("/zyn/zynEngine.exe", 301)):
            self.assertIn(("GET %s HTTP/1.1" % path, status), asked)
        squid = self.squid if WINDOWS else self.squid_user
        tunnels = [l.split()[6:8] for l in squid.text("access.log").splitlines()
                   if " CONNECT " in l]
        self.assertIn(["zyn.test:443", "-" if WINDOWS else USER.split(":")[0]], tunnels)

    def test_a_refused_certificate_or_tunnel_fails_its_transfer_and_the_trace_says_why(self):
        self.assertEqual(self.results["mirrors"].outcome(), (1, [FETCH_FAILED]))
        notes = self.notes("mirrors")
        self.assertEqual(len(notes), len(REFUSED), notes)
        for host, reason in REFUSED.items():
            prefix = "https://%s/zyn/zynEngine.exe: TLS: " % host
            self.assertTrue(any(n.startswith(prefix) and reason in n for n in notes), prefix)
        self.assertEqual(self.s["mirrors"].read("zynEngine.exe"), program(STUB))
        self.assertEqual(self.results["nouser"].outcome(), (0, []))
        self.assertEqual(self.notes("nouser"), [
            TLS + "nouser/clientgetconfig.php: the proxy %s:%d refused CONNECT: status 407" % (
                self.squid_user.address, self.squid_user.port)])
        self.assertEqual(self.s["nouser"].read("zynSystemConfig.txt"), self.installed["nouser"])

    def test_tls_1_2_or_1_3_and_the_systems_roots_decide_which_servers_are_trusted(self):
        for name, trusted in (("tls12", True), ("tls13", not WINDOWS), ("roots", True),
                              ("notroots", False)):
            with self.subTest(name):
                result, served = self.results[name], self.big if "tls" in name else self.engine
                self.assertEqual(result.outcome(), (0, []) if trusted else (1, [FETCH_FAILED]))
                self.assertEqual(self.s[name].read("zynEngine.exe"),
                                 served if trusted else program(STUB))
                if not trusted:
                    self.assertIn("TLS handshake" if name == "tls13" else "unknown issuer",
                                  " ".join(self.notes(name)))

    def test_verify_fetches_the_published_tree_and_names_the_file_that_differs(self):
        url, ui = self.nginx.url("published/"), os.path.join(self.www, "published", "zynUI.exe")

        def verify():
            proc = sign_tool("verify", os.path.join(KEYS, "a.pub"), url + "clientgetconfig.php")
            return proc.returncode, (proc.stdout + proc.stderr).decode().splitlines()
        status, lines = verify()
        self.assertEqual((status, [l.split(": ")[1][:2] for l in lines]), (0, ["ok"] * 6))
        write(ui, read(ui)[:-1] + bytes([read(ui)[-1] ^ 1]))  # its size kept
        status, lines = verify()
        self.assertEqual((status, [l for l in lines if "FAILED" in l]), (1, [
            url + "zynUI.exe: FAILED: its SHA-256 is not the one the state lists"]))

    def test_self_update_over_three_runs_also_from_a_published_release(self):
        for name, launcher in (("selfupdate", NEW_LAUNCHER), ("published", KEYED)):
            with self.subTest(name):
                scratch, result = self.s[name], self.results[name]
                self.assertEqual(result.outcome(), (0, []))
                self.assertEqual(result.lines.count("status " + INITIAL_STATUS), 3)
                self.assertEqual(scratch.read("zynLaunch.exe"), program(launcher + EXE))
                self.assertEqual([f for f in scratch.files() if f.startswith("zynLaunchTemp")],
                                 [])
                self.assertEqual(scratch.started(), ["zynEngine.exe", "zynUI.exe"])
        self.assertEqual([l for l in self.results["selfupdate"].lines
                          if l.startswith("status downloading z")],
                         ["status downloading zynLaunch package.."])
        published = self.s["published"]
        self.assertEqual(published.read("zynSystemConfig.txt"), self.served["published"])
        for name in ("zynEngine.exe", "zynConfig.exe", "zynUI.exe"):
            self.assertEqual(published.read(name), self.engine)
        self.assertEqual(self.engine_args("published")[3], SIGNED_ORBITAL + "O")


if __name__ == "__main__":
    main()
