"""Downloads of the Linux program that continue the bytes a transfer cut short kept: from nginx,
with the engine's digest listed and without; a server that ignores the range; kept bytes of
another file; and a launch that continues what the one before it kept (through squid, both
programs: netcases). Each case has its own folder on nginx, so that nginx's log tells its
requests apart."""

import hashlib
import os
import shutil

from netcases import (STUB_NEW, download_lines, installed_state, open_network, read,
                      start_in_turn)
from zynnet import HostileServer, Nginx
from zyntest import BIN_DIR, LaunchTestCase, LinuxLaunch, Scratch, main

PART = "zynEngine.exe.zynpart"


class Resume(LaunchTestCase):
    # name: (mirror, digest listed, bytes kept: the engine's first half, 1000 others, none)
    CASES = {
        "nginx": ("own", True, "half"),
        "nodigest": ("own", False, "half"),
        "ignored": ("hostile:ok", True, "half"),
        "foreign": ("own", True, "other"),
        # The first launch's mirror cuts the transfer; the next launch's is nginx.
        "cut": ("hostile:early", True, None),
    }

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.www = open_network(cls)
        cls.engine = read(os.path.join(BIN_DIR, STUB_NEW))
        shutil.copyfile(os.path.join(BIN_DIR, STUB_NEW), os.path.join(cls.www, "zyn",
                                                                      "zynEngine.exe"))
        cls.nginx = cls.net.start(Nginx, cls.www)
        cls.hostile = cls.net.start(HostileServer, os.path.join(cls.www, "zyn"))
        cls.s = {}
        for name, (mirror, _, kept) in cls.CASES.items():
            os.makedirs(os.path.join(cls.www, name))
            shutil.copyfile(os.path.join(BIN_DIR, STUB_NEW), os.path.join(cls.www, name,
                                                                          "zynEngine.exe"))
            cls.serve_state(name, mirror)
            scratch = cls.s[name] = Scratch()
            cls.addClassCleanup(scratch.remove)
            scratch.prepare_launch(state=installed_state(cls.nginx, name))
            if kept:
                scratch.write(PART, b"x" * 1000 if kept == "other" else
                              cls.engine[:len(cls.engine) // 2])

        launches = start_in_turn(cls.CASES, cls.start)
        cls.results = {name: launches[name].wait(90) for name in cls.CASES}
        cls.first_cut = cls.results["cut"]
        cls.cut_kept = cls.s["cut"].read(PART) if cls.s["cut"].exists(PART) else None
        cls.serve_state("cut", "own")
        os.remove(cls.s["cut"].trace)
        cls.results["cut"] = cls.start("cut").wait(90)

    @classmethod
    def serve_state(cls, name, mirror):
        lines = [l.replace("Engine;7.0.2.5", "Engine;7.0.2.6")
                 for l in installed_state(cls.nginx, name) if not l.startswith("ZynDownloadURL=")]
        lines += download_lines([mirror], {"own": cls.nginx.url(name + "/")}, cls.hostile)
        if cls.CASES[name][1]:
            lines.append("ZynDigest=zynEngine.exe;%d;%s;" % (
                len(cls.engine), hashlib.sha256(cls.engine).hexdigest()))
        with open(os.path.join(cls.www, name, "clientgetconfig.php"), "wb") as f:
            f.write(("ZYN_XSERVER_CONFIG;\n" + "\n".join(lines) + "\n").encode("latin-1"))

    @classmethod
    def start(cls, name):
        return LinuxLaunch(cls.s[name], env={"http_proxy": "", "HTTP_PROXY": ""})

    def asked(self, name):
        """nginx's answers for the case's engine: (status, bytes sent, Range header)."""
        return [r[1:] for r in self.nginx.requests()
                if r[0].startswith("GET /%s/zynEngine.exe " % name)]

    def rest(self, kept):
        return (206, len(self.engine) - kept, "bytes=%d-" % kept)

    def test_kept_bytes_are_continued_and_the_whole_file_put_in_place(self):
        size = len(self.engine)
        expected = {
            "nginx": [self.rest(size // 2)],
            "nodigest": [self.rest(size // 2)],
            "ignored": [],
            # Kept bytes that do not make the file go; the mirror is asked for all of it.
            "foreign": [self.rest(1000), (200, size, "-")],
            "cut": [self.rest(size // 2)],
        }
        for name, asked in expected.items():
            with self.subTest(name):
                scratch, result = self.s[name], self.results[name]
                self.assertEqual((result.returncode, result.messages()), (0, []))
                self.assertEqual(scratch.read("zynEngine.exe"), self.engine)
                self.assertEqual([f for f in scratch.files() if f.endswith(".zynpart")], [])
                self.assertEqual(self.asked(name), asked)
        # The bar goes on from the kept share of the whole file.
        lines = self.results["nginx"].lines
        bar = [l for l in lines[lines.index("progress 60") + 1:lines.index("progress 80")]
               if l.startswith("progress ")]
        self.assertEqual(bar[:2], ["progress 0", "progress %d" % (size // 2 / size * 100)])
        # The server that sends the whole file for a range was asked for the rest all the same.
        requests = [r["request"] for r in self.hostile.requests() if r["scenario"] == "ok"]
        self.assertEqual(len(requests), 1)
        self.assertIn("\r\nRange: bytes=%d-\r\n" % (size // 2), requests[0])

    def test_a_transfer_cut_short_keeps_what_arrived_for_the_next_launch(self):
        self.assertEqual(self.first_cut.returncode, 1)
        self.assertEqual(self.cut_kept, self.engine[:len(self.engine) // 2])
        self.assertEqual([r["scenario"] for r in self.hostile.requests()].count("early"), 1)


if __name__ == "__main__":
    main()
