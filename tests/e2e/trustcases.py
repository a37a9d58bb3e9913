"""Launches of a launcher that trusts the tests' key pair (zynLaunchTestKey), the same for the
Linux and the Windows program: nginx serves each case a state signed with zynSign, altered or
not, and the components; the hostile server plays mirrors whose first answer for a file is
wrong; and a release published twice with zynSign updates a folder installed from the first,
the launcher included. A test file supplies only how its program is started.

Cases run side by side; each starts once the one before has passed its engine guard."""

import hashlib
import os
import shutil
import subprocess

from netcases import (INITIAL_STATUS, STUB_NEW, download_lines, installed_state, open_network,
                      read, start_in_turn, wait_for_runs)
from zynnet import HostileServer, Nginx
from zyntest import BIN_DIR, COMPONENTS, ENGINE_WORDS, EXE, PLATFORM, Scratch, system_state

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "unit", "data")
# The operator's tool runs on Linux: the Windows tests take it from the native build.
SIGN = os.path.join(os.environ.get("ZYN_NATIVE_BIN_DIR") or BIN_DIR, "zynSign")
SIGNED_ORBITAL = "orbsigned.example.net:4000"


def digest_line(name, data):
    return "ZynDigest=%s;%d;%s;" % (name, len(data), hashlib.sha256(data).hexdigest())


def sign_tool(*args):
    return subprocess.run([SIGN, *args], capture_output=True, timeout=30)


def make_release(folder, description, programs):
    """A release folder: zynRelease.txt (bytes as given, or lines each ended by LF) and PROGRAMS,
    each name in the folder given the build's program of that name."""
    os.makedirs(folder)
    for name, program in programs.items():
        shutil.copyfile(os.path.join(BIN_DIR, program), os.path.join(folder, name))
    with open(os.path.join(folder, "zynRelease.txt"), "wb") as f:
        f.write(description if isinstance(description, bytes)
                else "".join(l + "\n" for l in description).encode("latin-1"))
    return folder


def as_installed(served):
    """A served state's body as a launcher writes it into its folder."""
    return served[len("ZYN_XSERVER_CONFIG;\n"):].replace(b"\n", b"\r\n")


class TrustCases:
    """Mixed into a LaunchTestCase whose start(scratch, program) starts the build's PROGRAM as
    the launcher of a case's folder, or with None the launcher installed there."""

    # name: (serial of the state on disk or None, serial served, download mirrors, altered).
    # "nodigest" lists a newer user interface without its digest.
    CASES = {
        "signed": (None, 5, ["zyn"], False),
        "nodigest": (None, 5, ["zyn"], False),
        "wrongdigest": (4, 5, ["hostile:firstwrong/one", "hostile:firstwrong/two"], False),
        "tampered": (None, 5, ["zyn"], True),
        "oldserial": (9, 8, ["zyn"], False),
    }

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        www = open_network(cls)
        cls.stub_new = read(os.path.join(BIN_DIR, STUB_NEW))
        for served in ("zynEngine.exe", "zynUI.exe"):
            shutil.copyfile(os.path.join(BIN_DIR, STUB_NEW), os.path.join(www, "zyn", served))
        cls.nginx = cls.net.start(Nginx, www)
        cls.hostile = cls.net.start(HostileServer, os.path.join(www, "zyn"))

        cls.s, cls.served, cls.installed = {}, {}, {}
        for name, (disk_serial, serial, mirrors, altered) in cls.CASES.items():
            lines = [l for l in system_state(orbitals=(SIGNED_ORBITAL,))
                     if not l.startswith("ZynDownloadURL=")]
            lines = [l.replace("Engine;7.0.2.5", "Engine;7.0.2.6") for l in lines]
            if name == "nodigest":
                lines = [l.replace("UI;7.0.2.5", "UI;7.0.2.6") for l in lines]
            lines += download_lines(mirrors, {"zyn": cls.nginx.url("zyn/")}, cls.hostile)
            lines += ["ZynSerial=%d;" % serial, "ZynExpires=4000000000;",
                      digest_line("zynEngine.exe", cls.stub_new)]
            path = os.path.join(www, name, "clientgetconfig.php")
            os.makedirs(os.path.dirname(path))
            with open(path, "wb") as f:
                f.write(("ZYN_XSERVER_CONFIG;\n" + "\n".join(lines) + "\n").encode("latin-1"))
            signed = sign_tool("sign", os.path.join(DATA, "a.key"), path)
            if signed.returncode != 0:
                raise AssertionError("zynSign could not sign: %r" % signed.stderr)
            body = read(path)
            if altered:
                body = body.replace(SIGNED_ORBITAL.encode(), b"orbsigneD.example.net:4000")
                with open(path, "wb") as f:
                    f.write(body)
            cls.served[name] = as_installed(body)

            scratch = cls.s[name] = Scratch()
            cls.addClassCleanup(scratch.remove)
            scratch.prepare_launch(state=installed_state(cls.nginx, name) + (
                ["ZynSerial=%d;" % disk_serial] if disk_serial is not None else []))
            cls.installed[name] = scratch.read("zynSystemConfig.txt")

        cls.publish_twice(www)
        launches = start_in_turn(list(cls.CASES) + ["published"], lambda name: cls.start(
            cls.s[name], program=None if name == "published" else "zynLaunchTestKey"))
        cls.results = {name: launches[name].wait(90) for name in cls.CASES}
        cls.results["published"] = wait_for_runs(cls.s["published"], launches["published"])

    @classmethod
    def publish_twice(cls, www):
        """Publishes the old stubs with an older keyed launcher, installs a folder from that
        tree, then publishes the new engine, configuration tool and user interface with the
        current keyed launcher over it."""
        tree, url = os.path.join(www, "published"), cls.nginx.url("published/")
        description = ["ZynUpdateURL=%s;" % url, "ZynDownloadURL=%s;" % url,
                       "ZynOrbitalServer=%s;" % SIGNED_ORBITAL]
        for release, (stub, launcher) in enumerate((("zynStub", "zynLaunchOldTestKey"),
                                                     ("zynStub-7.0.2.6", "zynLaunchTestKey"))):
            programs = {name: stub + EXE for name in COMPONENTS}
            programs.update({"pssdk_dll.dll": "zynStub" + EXE, "zynLaunch.exe": launcher + EXE})
            folder = make_release(os.path.join(cls.net.folder, "release%d" % release),
                                  description, programs)
            published = sign_tool("publish", os.path.join(DATA, "a.key"), folder, tree,
                                  "--platform", "windows" if PLATFORM == "win32" else "linux")
            if published.returncode != 0:
                raise AssertionError("zynSign could not publish: %r" % published.stderr)
            if release == 0:
                scratch = cls.s["published"] = Scratch()
                cls.addClassCleanup(scratch.remove)
                for name in COMPONENTS + ("zynLaunch.exe",):
                    shutil.copyfile(os.path.join(tree, name.replace("Launch.", "LaunchTemp.")),
                                    scratch.path(name))
                    os.chmod(scratch.path(name), 0o755)
                scratch.write("zynSystemConfig.txt",
                              as_installed(read(os.path.join(tree, "clientgetconfig.php"))))
        cls.served["published"] = as_installed(read(os.path.join(tree, "clientgetconfig.php")))

    def engine_words(self, name):
        starts = self.s[name].stub_starts(expected=2, timeout=10)
        self.assertEqual([s.name for s in starts], ["zynEngine.exe", "zynUI.exe"])
        return starts[0].args

    def test_a_signed_state_is_written_and_its_engine_accepted_only_with_its_digest(self):
        for name in ("signed", "wrongdigest"):
            with self.subTest(name):
                scratch, result = self.s[name], self.results[name]
                self.assertEqual((result.returncode, result.messages()), (0, []))
                self.assertEqual(scratch.read("zynSystemConfig.txt"), self.served[name])
                self.assertEqual(scratch.read("zynEngine.exe"), self.stub_new)
                self.assertEqual(self.engine_words(name)[3], SIGNED_ORBITAL + "O")
                self.assertEqual([f for f in scratch.files() if f.endswith(".zynpart")], [])
        # As installed, the state still carries a signature that the operator's tool checks.
        verified = sign_tool("verify", os.path.join(DATA, "a.pub"),
                             self.s["signed"].path("zynSystemConfig.txt"))
        self.assertEqual(verified.returncode, 0, verified.stderr)
        # The first mirror asked served a changed byte; the other one the engine itself.
        asked = sorted(r["request"].split()[1] for r in self.hostile.requests())
        self.assertEqual(asked, ["/firstwrong/one/zynEngine.exe", "/firstwrong/two/zynEngine.exe"])

    def test_a_file_without_a_digest_is_not_fetched_and_the_installed_one_starts(self):
        scratch, result = self.s["nodigest"], self.results["nodigest"]
        self.assertEqual((result.returncode, result.messages()), (1, ["The download failed"]))
        self.assertIn("note zynUI.exe: the system state lists no digest for it; not downloaded",
                      result.lines)
        self.assertEqual(scratch.read("zynEngine.exe"), self.stub_new)
        self.assertEqual(scratch.read("zynUI.exe"), read(os.path.join(BIN_DIR, "zynStub" + EXE)))
        self.assertEqual(self.engine_words("nodigest")[3], SIGNED_ORBITAL + "O")
        self.assertNotIn("/zyn/zynUI.exe", " ".join(r[0] for r in self.nginx.requests()))

    def test_a_tampered_or_older_state_is_refused_and_the_launch_goes_on_with_the_file(self):
        for name in ("tampered", "oldserial"):
            with self.subTest(name):
                scratch, result = self.s[name], self.results[name]
                self.assertEqual((result.returncode, result.messages()), (0, []))
                self.assertEqual(scratch.read("zynSystemConfig.txt"), self.installed[name])
                self.assertEqual(self.engine_words(name), ENGINE_WORDS)
                self.assertFalse(any(l.startswith("status downloading z")
                                     for l in result.lines))

    def test_a_published_release_updates_an_installed_folder_and_its_launcher(self):
        scratch, result = self.s["published"], self.results["published"]
        self.assertEqual((result.returncode, result.messages()), (0, []))
        self.assertEqual(scratch.trace_lines().count("status " + INITIAL_STATUS), 3)
        self.assertEqual(scratch.read("zynSystemConfig.txt"), self.served["published"])
        for name in ("zynEngine.exe", "zynConfig.exe", "zynUI.exe"):
            self.assertEqual(scratch.read(name), self.stub_new)
        self.assertEqual(scratch.read("zynLaunch.exe"),
                         read(os.path.join(BIN_DIR, "zynLaunchTestKey" + EXE)))
        self.assertEqual([f for f in scratch.files() if f.startswith("zynLaunchTemp")], [])
        self.assertEqual(self.engine_words("published")[3], SIGNED_ORBITAL + "O")
