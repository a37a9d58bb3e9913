"""The Linux program with standard output not a terminal: trace lines on standard output and
nothing else, the close signals, and an event loop that waits instead of spinning."""

import os
import resource
import signal
import subprocess
import time

from zyntest import BIN_DIR, INITIAL_STATUS, LaunchTestCase, Scratch, main

LINE_KINDS = ("status ", "progress ", "picture ", "message ")


def start(scratch, name="zynLaunch.exe"):
    """Starts a copy of the program in the scratch directory, its output on pipes."""
    program = scratch.path(name)
    with open(os.path.join(BIN_DIR, "zynLaunch"), "rb") as src, open(program, "wb") as dst:
        dst.write(src.read())
    os.chmod(program, 0o755)
    env = dict(os.environ, ZYN_LAUNCH_TRACE=scratch.trace)
    return subprocess.Popen(["./" + name], cwd=scratch.dir, env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def finish(proc, timeout=20.0):
    """Waits for the end; returns (exit status, stdout lines, stderr)."""
    deadline = time.monotonic() + timeout
    while proc.poll() is None and time.monotonic() < deadline:
        time.sleep(0.02)
    if proc.poll() is None:
        proc.kill()
    out, err = proc.communicate()
    return proc.returncode, out.decode("latin-1").splitlines(), err


class PipeMode(LaunchTestCase):
    def test_first_line_is_the_initial_status_and_a_signal_closes_with_status_2(self):
        for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            with self.subTest(signal.Signals(signum).name):
                scratch = Scratch(self)
                proc = start(scratch)
                first = proc.stdout.readline().decode("latin-1")
                self.assertEqual(first, "status " + INITIAL_STATUS + "\n")
                proc.send_signal(signum)
                rc, rest, err = finish(proc, timeout=5)
                self.assertEqual(rc, 2)
                self.assertEqual(rest, [])  # the window went before timer 1
                self.assertEqual(err, b"")
                self.assertEqual(scratch.trace_lines(), ["status " + INITIAL_STATUS])

    def test_whole_launch_prints_only_trace_lines_and_mostly_sleeps(self):
        scratch = Scratch(self)
        scratch.prepare_launch()
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        started = time.monotonic()
        proc = start(scratch)
        rc, lines, err = finish(proc)
        duration = time.monotonic() - started
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime + after.ru_stime) - (before.ru_utime + before.ru_stime)
        self.assertEqual(rc, 0)
        self.assertEqual(err, b"")
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
