"""zynSign, the operator's tool: key pairs in the clear or encrypted, digests, a state signed and
checked, a release published: what it refuses, and the documented example."""

import hashlib
import os
import re
import unittest

from zyntest import KEYS, Scratch, main, make_release, sign_tool

MARKER = b"ZYN_XSERVER_CONFIG;\n"
KEY, PUBLIC_KEY = os.path.join(KEYS, "a.key"), os.path.join(KEYS, "a.pub")
DOC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                   "system-state.md")
RELEASE = {"zynEngine.exe": "zynStub-7.0.2.6", "zynConfig.exe": "zynStub-7.0.2.6",
           "zynUI.exe": "zynStub-7.0.2.6", "pssdk_dll.dll": "zynStub",
           "zynLaunch.exe": "zynLaunchTestKey"}
DESCRIPTION = ["ZynUpdateURL=http://up.example/zyn/;", "ZynDownloadURL=http://dl.example/zyn/;",
               "ZynOrbitalServer=orb1.example:4000;"]
LINUX = ["--platform", "linux"]


class SignTool(unittest.TestCase):
    def setUp(self):
        self.s = Scratch(self.addCleanup)
        self.path, self.write, self.read = self.s.path, self.s.write, self.s.read

    def run_tool(self, *args, status=0, env=None):
        """Its output and errors."""
        proc = sign_tool(*args, cwd=self.s.dir, env=env)
        self.assertEqual(proc.returncode, status, proc.stderr)
        return (proc.stdout + proc.stderr).decode()

    def release(self, name, lines=(), changes=None):
        """A release folder of RELEASE and DESCRIPTION, with CHANGES (None: no such file)."""
        programs = {n: p for n, p in dict(RELEASE, **(changes or {})).items() if p}
        return make_release(self.path(name), DESCRIPTION + list(lines), programs)

    def tree(self, folder):
        """Every file of FOLDER with its bytes; no publish has left a folder beside it."""
        self.assertEqual([f for f in os.listdir(self.s.dir) if ".publish-" in f], [])
        return {n: self.read(os.path.join(folder, n)) for n in os.listdir(self.path(folder))}

    def test_keygen_digest_sign_and_verify(self):
        self.run_tool("keygen", "op.key")
        self.assertEqual(os.stat(self.path("op.key")).st_mode & 0o077, 0)
        self.run_tool("keygen", "op.key", status=1)  # never over an existing key

        engine = bytes(range(256)) * 1000 + b"end"
        self.write("zynEngine.exe", engine)
        line = "ZynDigest=zynEngine.exe;%d;%s;" % (len(engine), hashlib.sha256(engine).hexdigest())
        self.assertEqual(self.run_tool("digest", self.path("zynEngine.exe")), line + "\n")

        # An earlier signature line in the middle is dropped; nothing else changes.
        lines = (b"ZynUpdateURL=http://up/;\nZynSignature=old;\nZynSerial=4;\n"
                 b"ZynExpires=4000000000;\n" + line.encode() + b"\n")
        # As saved by an editor on Windows: signed as it is to be served.
        self.write("state", b"\xef\xbb\xbf" + (MARKER + lines).replace(b"\n", b"\r\n"))
        self.run_tool("sign", "op.key", "state")
        signed = self.read("state")
        at = signed.rindex(b"ZynSignature=")
        self.assertEqual(signed[:at], MARKER + lines.replace(b"ZynSignature=old;\n", b""))
        self.assertRegex(signed[at:], rb"^ZynSignature=[A-Za-z0-9+/]{86}==;\n$")

        # As installed: test_network; altered states: the signature's unit tests.
        self.run_tool("verify", "op.key.pub", "state")

        # A state that a launcher would refuse is not signed.
        self.write("noserial", MARKER + b"ZynExpires=4000000000;\n")
        self.run_tool("sign", "op.key", "noserial", status=1)
        self.assertEqual(self.read("noserial"), MARKER + b"ZynExpires=4000000000;\n")
        # Verifying a served tree over HTTP: test_network's published release.

    def test_an_encrypted_key_signs_and_publishes_with_its_passphrase_only(self):
        passphrase = {"ZYN_PASS": "correct horse"}
        self.run_tool("keygen", "--passphrase-env", "ZYN_PASS", "op.key", env=passphrase)
        self.assertIn(b"ENCRYPTED PRIVATE KEY", self.read("op.key"))
        self.write("state", MARKER + b"ZynSerial=1;\nZynExpires=4000000000;\n")
        for options, env, message in [
                (["--passphrase-env", "ZYN_PASS"], {"ZYN_PASS": "wrong"}, "wrong passphrase"),
                (["--passphrase-env", "ZYN_UNSET"], {}, "ZYN_UNSET holds no passphrase"),
                ([], {}, "no terminal to ask")]:
            self.assertIn(message, self.run_tool("sign", *options, "op.key", "state", status=1,
                                                 env=env))
        self.run_tool("sign", "--passphrase-env", "ZYN_PASS", "op.key", "state", env=passphrase)
        self.release("rel")
        self.run_tool("publish", "op.key", "rel", "www", *LINUX, "--passphrase-env", "ZYN_PASS",
                      env=passphrase)
        self.run_tool("verify", "op.key.pub", "www/clientgetconfig.php")

    def test_publish_refuses_what_would_break_clients_and_leaves_the_tree_as_it_was(self):
        self.release("rel")
        self.run_tool("publish", KEY, "rel", "www", *LINUX)
        served = self.tree("www")
        # name: (release changes, description lines, options, message); "public key" is given
        # the public key, and wrong usage ends with status 2
        cases = {
            "public key": ({}, [], LINUX, "holds no P-256 private key"),
            "missing": ({"zynConfig.exe": None}, [], LINUX, "zynConfig.exe: not in"),
            "no version": ({"zynUI.exe": "zynVersion"}, [], LINUX,
                           "zynUI.exe has no version a launcher reads"),
            "platform": ({}, [], ["--platform", "windows"],
                         "zynEngine.exe is not a Windows program (PE)"),
            "serial": ({}, [], LINUX + ["--serial", "1"], "serial 1 is not higher than the served"),
            "version": ({}, ["ZynVersion=Engine;7.0.2.6;"], LINUX,
                        "publish writes the ZynVersion entries itself"),
            "typo": ({}, ["ZynOrbitalServers=orb2.example:4000;"], LINUX,
                     "not an entry a launcher reads"),
            "url": ({}, ["ZynDownloadURL=http://dl2.example/zyn;"], LINUX,
                    "needs a URL a launcher fetches"),
            "shadowed": ({"zynUI2.exe": "zynStub"}, ["ZynUI=Defaults;UI2;zynUI2.exe;",
                                                     "ZynUI=Default;UI;zynUI.exe;"], LINUX,
                         "gets an earlier entry"),
            "own file": ({}, ["ZynUI=Mine;UI;ZYNUSERCONFIG.TXT;"], LINUX,
                         "not a name a launcher may write"),
            "expiry": ({}, [], LINUX + ["--expires", "30s"], "--expires takes"),
            "no platform": ({}, [], [], "needs --platform"),
        }
        for name, (changes, lines, options, message) in cases.items():
            with self.subTest(name):
                self.release(name, lines, changes)
                self.assertIn(message, self.run_tool(
                    "publish", PUBLIC_KEY if name == "public key" else KEY, name, "www", *options,
                    status=2 if name in ("expiry", "no platform") else 1))
                self.assertEqual(self.tree("www"), served)
        # Nothing but the served tree in the output folder, which publish replaces whole.
        self.write("www/index.html", b"<p>")
        self.assertIn("holds index.html", self.run_tool("publish", KEY, "rel", "www", *LINUX,
                                                       status=1))
        os.remove(self.path("www/index.html"))
        # Without a launcher the served one stays (one must be); pssdk_dll.dll needs no version.
        self.release("nolauncher", changes={"zynLaunch.exe": None, "pssdk_dll.dll": "zynVersion"})
        self.assertIn("zynLaunch.exe: not in", self.run_tool("publish", KEY, "nolauncher",
                                                             "new", *LINUX, status=1))
        self.assertFalse(os.path.exists(self.path("new")))
        self.run_tool("publish", KEY, "nolauncher", "www", *LINUX)
        self.assertEqual(self.tree("www")["zynLaunchTemp.exe"], served["zynLaunchTemp.exe"])
        state = self.read("www/clientgetconfig.php")
        self.assertIn(b"\nZynSerial=2;\n", state)
        self.assertNotIn(b"NetworkServices", state)

    def test_the_documented_example_is_what_publish_writes(self):
        with open(DOC, encoding="utf-8") as f:
            doc = f.read()
        description, state = (re.search(r"```%s\n(.*?)```" % re.escape(name), doc, re.S)[1]
                              for name in ("zynRelease.txt", "clientgetconfig.php"))
        # Saved by an editor on Windows, with a byte order mark and CR LF line ends.
        make_release(self.path("rel"), b"\xef\xbb\xbf" + description.replace("\n", "\r\n").encode(),
                     dict(RELEASE, **{"zynClassic.exe": "zynStub-7.0.2.6"}))
        self.run_tool("publish", KEY, "rel", "www", *LINUX)

        def mask(text):  # what differs from build to build and from minute to minute
            return re.sub(r"^(ZynDigest=[^;]*;|ZynExpires=|ZynSignature=).*$", r"\1", text,
                          flags=re.M)
        self.assertEqual(mask(self.read("www/clientgetconfig.php").decode()), mask(state))


if __name__ == "__main__":
    main()
