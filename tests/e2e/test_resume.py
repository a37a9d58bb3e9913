"""Downloads of the Linux program that continue kept bytes: after a mirror cut the transfer, with
the engine's digest listed; without a digest; from a server that ignores the range. Each case has
its own folder on nginx. With ZYN_SOAK=1 the engine carries 64 MiB more."""

import hashlib
import os

from netcases import (STUB_NEW, download_lines, installed_state, open_network, read, serve_state,
                      start_in_turn)
from zynnet import HostileServer, Nginx
from zyntest import BIN_DIR, LaunchTestCase, LinuxLaunch, Scratch, main

PART = "zynEngine.exe.zynpart"


class Resume(LaunchTestCase):
    # name: (mirror, digest listed, the engine's first half kept)
    CASES = {
        "cut": ("hostile:early", True, False),  # the next launch's mirror is nginx
        "nodigest": ("own", False, True),
        "ignored": ("hostile:ok", True, True),
    }

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.www = open_network(cls)
        cls.engine = read(os.path.join(BIN_DIR, STUB_NEW)) + bytes(
            64 << 20 if os.environ.get("ZYN_SOAK") == "1" else 0)
        cls.nginx = cls.net.start(Nginx, cls.www)
        cls.hostile = cls.net.start(HostileServer, os.path.join(cls.www, "zyn"))
        cls.s = {}
        for name in ["zyn"] + list(cls.CASES):
            os.makedirs(os.path.join(cls.www, name), exist_ok=True)
            with open(os.path.join(cls.www, name, "zynEngine.exe"), "wb") as f:
                f.write(cls.engine)
        for name, (mirror, _, kept) in cls.CASES.items():
            cls.serve_state(name, mirror)
            scratch = cls.s[name] = Scratch()
            cls.addClassCleanup(scratch.remove)
            scratch.prepare_launch(state=installed_state(cls.nginx, name))
            if kept:
                scratch.write(PART, cls.engine[:len(cls.engine) // 2])
        launches = start_in_turn(cls.CASES, cls.start)
        cls.results = {name: launches[name].wait(90) for name in cls.CASES}

        cut, cls.first_cut = cls.s["cut"], cls.results["cut"]
        cls.cut_kept = cut.read(PART) if cut.exists(PART) else None
        cls.serve_state("cut", "own")
        os.remove(cut.trace)
        cls.results["cut"] = cls.start("cut").wait(90)

    @classmethod
    def serve_state(cls, name, mirror):
        lines = [l.replace("Engine;7.0.2.5", "Engine;7.0.2.6")
                 for l in installed_state(cls.nginx, name) if not l.startswith("ZynDownloadURL=")]
        lines += download_lines([mirror], {"own": cls.nginx.url(name + "/")}, cls.hostile)
        if cls.CASES[name][1]:
            lines.append("ZynDigest=zynEngine.exe;%d;%s;" % (
                len(cls.engine), hashlib.sha256(cls.engine).hexdigest()))
        serve_state(os.path.join(cls.www, name), lines)

    @classmethod
    def start(cls, name):
        return LinuxLaunch(cls.s[name], env={"http_proxy": "", "HTTP_PROXY": ""})

    def test_kept_bytes_are_continued_and_the_whole_file_put_in_place(self):
        half = len(self.engine) // 2
        rest = (206, len(self.engine) - half, "bytes=%d-" % half)
        for name, asked in (("cut", [rest]), ("nodigest", [rest]), ("ignored", [])):
            with self.subTest(name):
                scratch, result = self.s[name], self.results[name]
                self.assertEqual((result.returncode, result.messages()), (0, []))
                self.assertEqual(scratch.read("zynEngine.exe"), self.engine)
                self.assertEqual([f for f in scratch.files() if f.endswith(".zynpart")], [])
                self.assertEqual([r[1:] for r in self.nginx.requests()
                                  if r[0].startswith("GET /%s/zynEngine.exe " % name)], asked)
        # The first launch kept the half its mirror sent, and the bar went on from there.
        self.assertEqual((self.first_cut.returncode, self.cut_kept), (1, self.engine[:half]))
        lines = self.results["cut"].lines
        bar = [l for l in lines[lines.index("progress 60") + 1:lines.index("progress 80")]
               if l.startswith("progress ")]
        self.assertEqual(bar[:2], ["progress 0", "progress %d" % (half / len(self.engine) * 100)])
        # The server that sends the whole file for a range was asked for the rest all the same.
        self.assertEqual(["\r\nRange: bytes=%d-\r\n" % half in r["request"]
                          for r in self.hostile.requests() if r["scenario"] == "ok"], [True])


if __name__ == "__main__":
    main()
