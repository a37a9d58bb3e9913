"""zynSign, the operator's tool: a key pair, digests, a signed state, and its check in the form
a server serves it and in the form a launcher installs it."""

import hashlib
import os
import subprocess
import unittest

from zyntest import BIN_DIR, Scratch, main

MARKER = b"ZYN_XSERVER_CONFIG;\n"


class SignTool(unittest.TestCase):
    def setUp(self):
        self.s = Scratch(self)
        self.path, self.write, self.read = self.s.path, self.s.write, self.s.read

    def run_tool(self, *args, ok=True):
        proc = subprocess.run([os.path.join(BIN_DIR, "zynSign"), *args], cwd=self.s.dir,
                              capture_output=True, timeout=30)
        self.assertEqual(proc.returncode == 0, ok, proc.stderr)
        return proc.stdout.decode()

    def test_keygen_digest_sign_and_verify(self):
        self.run_tool("keygen", "op.key")
        self.run_tool("keygen", "other.key")
        self.assertEqual(os.stat(self.path("op.key")).st_mode & 0o077, 0)
        self.run_tool("keygen", "op.key", ok=False)  # never over an existing key

        engine = bytes(range(256)) * 1000 + b"end"
        self.write("zynEngine.exe", engine)
        line = "ZynDigest=zynEngine.exe;%d;%s;" % (len(engine), hashlib.sha256(engine).hexdigest())
        self.assertEqual(self.run_tool("digest", self.path("zynEngine.exe")), line + "\n")

        # An earlier signature line in the middle is dropped; nothing else changes.
        lines = (b"ZynUpdateURL=http://up/;\nZynSignature=old;\nZynSerial=4;\n"
                 b"ZynExpires=4000000000;\n" + line.encode() + b"\n")
        self.write("state", MARKER + lines)
        self.run_tool("sign", "op.key", "state")
        signed = self.read("state")
        at = signed.rindex(b"ZynSignature=")
        self.assertEqual(signed[:at], MARKER + lines.replace(b"ZynSignature=old;\n", b""))
        self.assertRegex(signed[at:], rb"^ZynSignature=[A-Za-z0-9+/]{86}==;\n$")

        self.run_tool("verify", "op.key.pub", "state")
        self.write("installed", signed[len(MARKER):].replace(b"\n", b"\r\n"))
        self.run_tool("verify", "op.key.pub", "installed")
        self.run_tool("verify", "other.key.pub", "state", ok=False)
        self.write("tampered", signed.replace(b"http://up/", b"http://uq/"))
        self.run_tool("verify", "op.key.pub", "tampered", ok=False)

        # A state that a launcher would refuse is not signed.
        self.write("noserial", MARKER + b"ZynExpires=4000000000;\n")
        self.run_tool("sign", "op.key", "noserial", ok=False)
        self.assertEqual(self.read("noserial"), MARKER + b"ZynExpires=4000000000;\n")


if __name__ == "__main__":
    main()
