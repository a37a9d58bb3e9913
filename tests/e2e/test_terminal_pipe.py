"""The Linux program with standard output not a terminal: trace lines on standard output and
nothing else, and an event loop that waits instead of spinning."""

import os
import resource
import subprocess
import time

from zyntest import INITIAL_STATUS, LaunchTestCase, Scratch, main

LINE_KINDS = ("status ", "progress ", "picture ", "message ")


class PipeMode(LaunchTestCase):
    def test_whole_launch_prints_only_trace_lines_and_mostly_sleeps(self):
        scratch = Scratch(self)
        scratch.prepare_launch()
        scratch.install_program("zynLaunch.exe", "zynLaunch")
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        started = time.monotonic()
        proc = subprocess.run(["./zynLaunch.exe"], cwd=scratch.dir, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30,
                              env=dict(os.environ, ZYN_LAUNCH_TRACE=scratch.trace))
        duration = time.monotonic() - started
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime + after.ru_stime) - (before.ru_utime + before.ru_stime)
        lines = proc.stdout.decode("latin-1").splitlines()
        self.assertEqual(proc.returncode, 0)
        self.assertEqual(proc.stderr, b"")
        self.assertEqual(lines, scratch.trace_lines())
        self.assertEqual(lines[0], "status " + INITIAL_STATUS)
        for line in lines:
            self.assertTrue(line.startswith(LINE_KINDS), line)
        # Eight timed stages take 7.6 s; a loop that polled instead of waiting would burn
        # about that much processor time.
        self.assertGreaterEqual(duration, 7.5)
        self.assertLess(cpu, 0.5, "CPU %.2f s over %.1f s" % (cpu, duration))


if __name__ == "__main__":
    main()
