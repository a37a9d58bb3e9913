"""Downloads of the Linux program that continue kept bytes, or start over when the rest could
belong to another file: after a mirror cut the transfer, with the engine's digest listed; kept
with the file's validator (nginx's ETag), while the file is unchanged and after it changed; from
a server that ignores the range; kept without validator or digest from a server whose file has
changed. Each case has its own folder on nginx. With ZYN_SOAK=1 the engine carries 64 MiB more."""

import hashlib
import os

from netcases import (STUB_NEW, download_lines, installed_state, open_network, read, serve_state,
                      start_in_turn)
from zynnet import HostileServer, Nginx
from zyntest import BIN_DIR, LaunchTestCase, LinuxLaunch, Scratch, main

PART = "zynEngine.exe.zynpart"


class Resume(LaunchTestCase):
    # name: (mirror, digest listed, the first half kept: of the engine served or of an older
    # one, with the validator nginx gave that file beside it)
    CASES = {
        "cut": ("hostile:early", True, None, False),  # the next launch's mirror is nginx
        "validator": ("own", False, "served", True),
        "ignored": ("hostile:ok", True, "served", False),
        "changed": ("own", False, "older", True),
        "changednovalidator": ("hostile:ok/changed", False, "older", False),
    }

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.www = open_network(cls)
        cls.engine = read(os.path.join(BIN_DIR, STUB_NEW)) + bytes(
            64 << 20 if os.environ.get("ZYN_SOAK") == "1" else 0)
        cls.older = read(os.path.join(BIN_DIR, "zynStub"))
        cls.nginx = cls.net.start(Nginx, cls.www)
        cls.hostile = cls.net.start(HostileServer, os.path.join(cls.www, "zyn"))
        cls.s = {}
        os.makedirs(os.path.join(cls.www, "zyn"), exist_ok=True)
        cls.serve_engine("zyn", cls.engine)
        for name, (mirror, _, kept, validator) in cls.CASES.items():
            os.makedirs(os.path.join(cls.www, name))
            cls.serve_state(name, mirror)
            scratch = cls.s[name] = Scratch()
            cls.addClassCleanup(scratch.remove)
            scratch.prepare_launch(state=installed_state(cls.nginx, name))
            first = cls.older if kept == "older" else cls.engine
            cls.serve_engine(name, first)
            if kept:
                scratch.write(PART, first[:len(first) // 2])
            if validator:  # as nginx gives it now
                scratch.write(PART + ".validator",
                              cls.nginx.etag(name + "/zynEngine.exe").encode("latin-1"))
            if first != cls.engine:  # the file changes
                cls.serve_engine(name, cls.engine, later=True)
        launches = start_in_turn(cls.CASES, cls.start)
        cls.results = {name: launches[name].wait(90) for name in cls.CASES}

        cut, cls.first_cut = cls.s["cut"], cls.results["cut"]
        cls.cut_kept = cut.read(PART) if cut.exists(PART) else None
        cls.serve_state("cut", "own")
        os.remove(cut.trace)
        cls.results["cut"] = cls.start("cut").wait(90)

    @classmethod
    def serve_engine(cls, name, data, later=False):
        path = os.path.join(cls.www, name, "zynEngine.exe")
        with open(path, "wb") as f:
            f.write(data)
        if later:  # nginx's ETag tells times apart by the second only
            os.utime(path, (os.stat(path).st_atime, os.stat(path).st_mtime + 10))

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

    def test_kept_bytes_are_continued_only_as_the_same_file_and_the_whole_file_put_in_place(self):
        half = len(self.engine) // 2
        rest = (206, len(self.engine) - half, "bytes=%d-" % half)
        # nginx sends the whole file for a range whose If-Range names another version.
        whole = (200, len(self.engine), "bytes=%d-" % (len(self.older) // 2))
        for name, asked in (("cut", [rest]), ("validator", [rest]), ("ignored", []),
                            ("changed", [whole]), ("changednovalidator", [])):
            with self.subTest(name):
                scratch, result = self.s[name], self.results[name]
                self.assertEqual((result.returncode, result.messages()), (0, []))
                self.assertEqual(scratch.read("zynEngine.exe"), self.engine)
                self.assertEqual([f for f in scratch.files() if ".zynpart" in f], [])
                self.assertEqual([r[1:] for r in self.nginx.requests()
                                  if r[0].startswith("GET /%s/zynEngine.exe " % name)], asked)
        # The first launch kept the half its mirror sent, and the bar went on from there.
        self.assertEqual((self.first_cut.returncode, self.cut_kept), (1, self.engine[:half]))
        lines = self.results["cut"].lines
        bar = [l for l in lines[lines.index("progress 60") + 1:lines.index("progress 80")]
               if l.startswith("progress ")]
        self.assertEqual(bar[:2], ["progress 0", "progress %d" % (half / len(self.engine) * 100)])
        # The server that sends the whole file for a range was asked for the rest all the same;
        # kept bytes with neither validator nor digest were not continued.
        self.assertEqual([("/ok/changed/" in r["request"], "\r\nRange: " in r["request"])
                          for r in self.hostile.requests() if r["scenario"] == "ok"],
                         [(False, True), (True, False)])


if __name__ == "__main__":
    main()
