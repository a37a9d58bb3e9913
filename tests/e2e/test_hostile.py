"""Hostile servers against the Linux program: each case's only server misbehaves one way, and its
launch must end within its bound with nothing partial and its memory bounded; a deep resolution
server floods a launch with answers, bad ones among them. ZYN_SOAK=1 adds the slow forms."""

import contextlib
import hashlib
import os
import struct
import threading
import time

from zynnet import DeepResolver, HostileServer, deep_answer
from zyntest import (DOWNLOAD_FAILED, FETCH_FAILED, STUB, Launch, LaunchTestCase, Scratch, main,
                     program, run_cases, system_state, write)

SOAK = os.environ.get("ZYN_SOAK") == "1"
# A case's end: return code, messages, files kept. STAYED: the installed engine stays and starts.
INSTALLED, FAILED, STAYED = (0, [], []), (1, [FETCH_FAILED, DOWNLOAD_FAILED], []), (
    1, [FETCH_FAILED], [])
KEPT = FAILED[:2] + (["zynEngine.exe.zynpart"],)
SCANNING = "status scanning 1 deep resolution servers.."
RSS_MARGIN_KIB = 16 << 10  # over the smallest peak of all: what a transfer may hold besides

# name: (hostile scenario, seconds from the download's start to its end at most, outcome), the
# longest first. Bodies that never end stop at the 1 GiB every component is held to.
CASES = {
    **({"drip 2 KB/s": ("drip0.0005", 180, INSTALLED),  # over 1 KiB/s on average: it completes
        # Over the stall floor, under 1 KiB/s on average: it ends a minute after its first byte.
        "drip 150 B/s": ("drip0.0067", 75, KEPT),
        "drip 1 B/5 s": ("drip5", 40, FAILED),  # the header too, from its first byte
        "trickle 25 B/s": ("trickle0.04", 40, KEPT)} if SOAK else {}),  # under 4 KiB in 30 s
    "endless body": ("endless", 60, FAILED),
    "chunk size 2^44": ("badchunkfffffffffff", 60, FAILED),
    "trickle 1 B/5 s": ("trickle5", 40, KEPT),
    "body overruns length": ("overrun", 5, INSTALLED),
    "length on a folded line": ("folded", 5, INSTALLED),
    "gzip-coded body": ("gzip", 5, STAYED),
    "body labelled gzip": ("gziplabel", 5, STAYED),  # only its label is wrong
    "PE program for Linux": ("ok/foreign", 5, STAYED),
    "reset mid-body": ("reset", 5, KEPT),
    **{name: (scenario, 5, FAILED) for name, scenario in {
        "length -5": "length-5", "length 2^40": "length1099511627776",
        "length of 20 digits": "length99999999999999999999", "length abc": "lengthabc",
        "10 MB header": "bigheader", "chunk size zz": "badchunkzz", "chunk size -1": "badchunk-1",
        "chunk size < data": "badchunk10", "redirect loop": "loop",
        "redirect https": "schemehttps", "redirect ftp": "schemeftp",
        "status 500": "status500", "status 503": "status503"}.items()},
}
# Longer than stage 6's second: a loop that served datagrams before its timers would show.
FLOOD, FLOOD_SECONDS = "flood 10000/s", 10 if SOAK else 2


class MeasuredLaunch(Launch):
    """Its peak RSS read while it runs (its rusage would count the test's, which forked it)."""

    def __init__(self, scratch):
        super().__init__(scratch)
        self.peak_kib = 0
        threading.Thread(target=self._sample, daemon=True).start()

    def _sample(self):
        with contextlib.suppress(OSError, StopIteration):  # it has ended
            while True:
                with open("/proc/%d/status" % self.proc.pid) as f:
                    self.peak_kib = next(int(l.split()[1]) for l in f if l.startswith("VmHWM:"))
                time.sleep(0.02)


class HostileServers(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        root = os.path.join(cls.open_network({"zynEngine.exe": STUB}), "zyn")
        # The headers of a 64-bit PE program, with its digest listed: only its format is wrong.
        cls.foreign = bytearray(60000)
        struct.pack_into("<2s58xI4sHHIIIHHH", cls.foreign, 0, b"MZ", 0x40, b"PE\0\0", 0x8664, 1,
                         0, 0, 0, 240, 0x22, 0x20b)
        write(os.path.join(root, "foreign", "zynEngine.exe"), cls.foreign)
        hostile = cls.net.start(HostileServer, root)
        cls.deep = cls.net.start(DeepResolver, [deep_answer("10.0.0.9", 4000),
                                                deep_answer("10.9.9.9", 9999) + "x" * 9000],
                                 flood=(10000, FLOOD_SECONDS),
                                 strays=[deep_answer("10.0.0.6", 6000),
                                         deep_answer("10.0.0.1 -mode x", 1),
                                         deep_answer("10.0.0.1", 70000)])
        cls.s, cls.states, cls.installed = {}, {}, {}
        for name in CASES:
            scratch = cls.s[name] = Scratch(cls.addClassCleanup)
            url = hostile.url(CASES[name][0] + "/")
            if CASES[name][2] != STAYED:
                scratch.prepare_launch(system_state(url, [url]))
                os.remove(scratch.path("zynEngine.exe"))
            else:
                served = bytes(cls.foreign) if "foreign" in url else program(STUB)
                scratch.prepare_launch(system_state(url, [url], extra=[
                    "ZynDigest=zynEngine.exe;%d;%s;" % (len(served),
                                                        hashlib.sha256(served).hexdigest())]))
                cls.installed[name] = program(STUB) + b"\0" * 64
                scratch.write("zynEngine.exe", cls.installed[name])
            cls.states[name] = scratch.read("zynSystemConfig.txt")
        cls.s[FLOOD] = Scratch(cls.addClassCleanup)
        cls.s[FLOOD].prepare_launch(system_state(deep=(cls.deep.address,)))
        # Stage 5 starts about 5 s into a launch; one still running after its bound is ended.
        cls.results = run_cases(list(CASES) + [FLOOD], lambda name: MeasuredLaunch(cls.s[name]),
                                timeout=30 + max(bound for _, bound, _ in CASES.values()))
        cls.peaks = {name: result.peak_kib for name, result in cls.results.items()}

    @classmethod
    def ended_after(cls, name):
        """Seconds from the download's start (the scan's, for the flood) to the end of it."""
        result = cls.results[name]
        if result.returncode == "timeout":
            return float("inf")
        start, end = ((SCANNING, "progress 90") if name == FLOOD else
                      ("status downloading zynEngine package..", "message " + FETCH_FAILED
                       if "message " + FETCH_FAILED in result.stdout_lines else SCANNING))
        return result.times[result.stdout_lines.index(end)] - result.times[
            result.stdout_lines.index(start)]

    def test_each_misdeed_ends_in_its_bound_with_nothing_partial_and_memory_bounded(self):
        for name, (_, bound, outcome) in CASES.items():
            with self.subTest(name):
                scratch = self.s[name]
                self.assertLessEqual(self.ended_after(name), bound)
                self.assertLessEqual(self.peaks[name], min(self.peaks.values()) + RSS_MARGIN_KIB)
                # The state retrieval met the same misdeed and left the file as it was.
                self.assertEqual(scratch.read("zynSystemConfig.txt"), self.states[name])
                kept = [f for f in scratch.files() if f.endswith(".zynpart")]
                self.assertEqual(self.results[name].outcome() + (kept,), outcome)
                self.assertEqual(scratch.exists("zynEngine.exe") and scratch.read("zynEngine.exe"),
                                 self.installed.get(name, outcome == INSTALLED and program(STUB)))
                if outcome == STAYED:
                    self.assertEqual(scratch.started(), ["zynEngine.exe", "zynUI.exe"])
                if kept:  # only what arrived of the file
                    part = scratch.read(kept[0])
                    self.assertTrue(0 < len(part) < len(program(STUB))
                                    and program(STUB).startswith(part))

    def test_a_flood_of_answers_keeps_the_window_on_time_and_only_whole_valid_answers_count(self):
        self.assertEqual(self.results[FLOOD].returncode, 0)
        # Stage 6 comes 1000 ms after the scan, flood or not.
        self.assertLess(self.ended_after(FLOOD), 1.5)
        self.assertLessEqual(self.peaks[FLOOD], min(self.peaks.values()) + RSS_MARGIN_KIB)
        self.assertGreater(len(self.deep.probes()), 0)
        # The last sound answer before stage 6, from any sender; never an oversized or bad one.
        args = self.s[FLOOD].stub_starts(expected=2)[0].args
        self.assertIn(args[args.index("-deepserver"):args.index("-deepport") + 2],
                      [["-deepserver", server, "-deepip", ip, "-deepport", port]
                       for server, ip, port in ((self.deep.address, "10.0.0.9", "4000"),
                                                ("127.0.0.6", "10.0.0.6", "6000"))])


if __name__ == "__main__":
    main()
