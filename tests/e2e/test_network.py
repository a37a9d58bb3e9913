"""Launches over the local network, for both programs: the state fetched directly and through
squid, files replaced, kept bytes continued only as the same file, failing mirrors, a damaged
state, a cancelled download, self-updates, a keyed launcher, published releases."""

import collections
import hashlib
import os
import random
import re
import signal
import time

from zynnet import HostileServer, Nginx, Squid
from zyntest import (COMPONENTS, DEAD, EXE, FETCH_FAILED, INITIAL_STATUS, KEYS, NEW_LAUNCHER,
                     OLD_LAUNCHER, ORBITALS, STUB, STUB_NEW, WINDOW_CAPTION, WINDOWS, Launch,
                     LaunchTestCase, Scratch, installed, main, make_release, probe, program, read,
                     run_cases, serve_state, sign_tool, system_state, urls, write)

NO_ORBITALS = "No orbital servers are available - please close Zyn and try again later."
PART = "zynEngine.exe.zynpart"
KEYED, SIGNED_ORBITAL = "zynLaunchTestKey", "orbsigned.example.net:4000"
# A case's mirrors (None: its own folder, which serves the engine), versions listed, launcher,
# proxy (squid, or a dead one its bypass list steers round), engine digest listed, the first half
# kept of the served or an older engine, with nginx's validator; keyed: the serials on disk (or
# None) and served (listing the digest). Refused signed states: StateRetrieval's unit tests.
Case = collections.namedtuple(
    "Case", "mirrors versions launcher proxy digest kept validator serials",
    defaults=(dict(Engine="7.0.2.6"), NEW_LAUNCHER, None, False, None, False, None))
# "damaged" has 3,000 random bytes for its state file; "cancel" is dismissed during its download,
# then launched again offline; "wrongdigest"'s first mirror asked, whichever the pick, serves a
# changed byte.
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
    # The self-updates last (the published release after this one): no later run of theirs
    # meets a case's first engine guard.
    "selfupdate": Case(["zyn"], {}, OLD_LAUNCHER),
}


class NetworkLaunches(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        www = cls.www = cls.open_network({"zynEngine.exe": STUB_NEW, "zynUI.exe": STUB_NEW,
                                          "zynLaunchTemp.exe": NEW_LAUNCHER + EXE})
        cls.nginx, cls.squid = cls.net.start(Nginx, www), cls.net.start(Squid)
        cls.hostile = cls.net.start(HostileServer, os.path.join(www, "zyn"))
        cls.engine, digest = program(STUB_NEW), hashlib.sha256(program(STUB_NEW)).hexdigest()
        cls.s, cls.served = {}, {}
        for name, case in CASES.items():
            update, folder = cls.nginx.url(name + "/"), os.path.join(www, name)
            signed = ["ZynSerial=%d;" % case.serials[1], "ZynExpires=4000000000;"] \
                if case.serials else []
            serve_state(folder, system_state(
                update, urls([m or name for m in case.mirrors], cls.nginx, cls.hostile),
                case.versions, (SIGNED_ORBITAL,) if case.serials else ORBITALS,
                extra=(["ZynDigest=zynEngine.exe;%d;%s;" % (len(cls.engine), digest)]
                       if case.digest or case.serials else []) + signed))
            path = os.path.join(folder, "clientgetconfig.php")
            if case.serials:
                assert sign_tool("sign", os.path.join(KEYS, "a.key"), path).returncode == 0
            cls.served[name] = installed(read(path))
            scratch = cls.s[name] = Scratch(cls.addClassCleanup)
            scratch.prepare_launch(system_state(update) + (
                ["ZynSerial=%d;" % case.serials[0]] if case.serials and case.serials[0] else []))
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
        cls.publish_twice(www)
        cls.s["damaged"].write("zynSystemConfig.txt", random.Random(3).randbytes(3000))

        # Alone, so that the key reaches its window: dismissed in mid-download, then offline.
        launch = cls.start("cancel")
        launch.wait_for_line("progress 50")  # the half that the stalling mirror sends
        if WINDOWS:
            assert probe("escape", WINDOW_CAPTION)[0] == 0, "the probe could not press Escape"
        else:
            launch.proc.send_signal(signal.SIGINT)
        cls.cancelled = launch.wait(60)
        cls.s["cancel"].write("zynSystemConfig.txt", re.sub(
            rb"(Zyn(?:Update|Download)URL=)[^;\r\n]*", lambda m: m.group(1) + DEAD.encode(),
            cls.s["cancel"].read("zynSystemConfig.txt")))
        cls.results = run_cases(list(CASES) + ["published"], cls.start,
                                runs={"selfupdate": 3, "published": 3})

    @classmethod
    def publish_twice(cls, www):
        """Old stubs published with an older keyed launcher, a folder installed from that, and
        newer components published over it with the current one."""
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
        launcher, proxy = CASES[name][2:4] if name in CASES else (None, None)
        squid, bypassed = "%s:%d" % (cls.squid.address, cls.squid.port), proxy == "bypassed"
        # On Windows per scheme, as the system's settings page writes it.
        return Launch(cls.s[name], program=launcher, env=dict(
            http_proxy={"squid": "http://" + squid, "bypassed": DEAD}.get(proxy, ""),
            no_proxy="other.example, 127.0.0.0/8" if bypassed else ""), registry=proxy and (
                (DEAD[7:-1], "other.example;127.0.0.*;<local>") if bypassed else
                ("http=%s;https=%s" % (squid, squid), None)))

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
