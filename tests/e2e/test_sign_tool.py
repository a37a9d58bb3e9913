"""zynSign, the operator's tool: a key pair, digests, a signed state, and its check in the form
a server serves it and in the form a launcher installs it."""

import hashlib
import os
import subprocess
import tempfile
import unittest

from zyntest import BIN_DIR, main

MARKER = b"ZYN_XSERVER_CONFIG;\n"


class SignTool(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zynsign-")
        self.addCleanup(subprocess.run, ["rm", "-rf", self.dir])

    def path(self, name):
        return os.path.join(self.dir, name)

    def run_tool(self, *args, ok=True):
        proc = subprocess.run([os.path.join(BIN_DIR, "zynSign"), *args], cwd=self.dir,
                              capture_output=True, timeout=30)
        self.assertEqual(proc.returncode == 0, ok, proc.stderr)
        return proc.stdout.decode()

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

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
