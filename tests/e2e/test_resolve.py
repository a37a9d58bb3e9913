"""The Linux program's launches by name (the cases are in resolvecases); its window, watched and
dismissed, is the panel on a pseudo-terminal of the test's own: it must redraw on every resize
and take Escape while a name is being looked up."""

import fcntl
import os
import struct
import subprocess
import termios
import threading
import time

from resolvecases import ResolveCases
from zyntest import LaunchTestCase, LinuxLaunch, Result, main, wait_until

NO_PROXY = {name: "" for name in ("http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY")}


class TerminalLaunch:
    """The launcher with a pseudo-terminal as its controlling terminal, whose output is kept
    with the time each piece arrived."""

    def __init__(self, scratch):
        self.scratch, self.started = scratch, time.monotonic()
        scratch.install_program("zynLaunch.exe", "zynLaunch")
        self.terminal, pane = os.openpty()
        self.resize(24, 80)
        env = dict(os.environ, ZYN_LAUNCH_TRACE=scratch.trace, TERM="xterm", **NO_PROXY)
        env.pop("ZYN_IN_NETNS", None)
        self.proc = subprocess.Popen(
            ["./zynLaunch.exe"], cwd=scratch.dir, env=env, stdin=pane, stdout=pane, stderr=pane,
            start_new_session=True, preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        os.close(pane)
        self.output = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        while True:
            try:
                data = os.read(self.terminal, 65536)
            except OSError:  # the program has ended
                return
            self.output.append((time.monotonic(), data))

    def resize(self, rows, columns):
        fcntl.ioctl(self.terminal, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))

    def wait(self, timeout):
        try:
            rc = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            rc = self.proc.wait()
        return Result(rc, self.scratch.trace_lines(), [], [], time.monotonic() - self.started)


class LinuxResolve(ResolveCases, LaunchTestCase):
    @classmethod
    def start(cls, scratch):
        return LinuxLaunch(scratch, env=NO_PROXY)

    @classmethod
    def start_watched(cls, scratch):
        return TerminalLaunch(scratch)

    @classmethod
    def watch(cls, launch):
        """Five resizes half a second apart: how long each took to redraw, and what it drew."""
        redraws = []
        for size in ((30, 100), (24, 80)) * 2 + ((30, 100),):
            before, asked = len(launch.output), time.monotonic()
            launch.resize(*size)
            if wait_until(lambda: len(launch.output) > before, 2):
                time.sleep(0.1)  # the rest of the drawing
                drawn = b"".join(d for _, d in launch.output[before:]).decode("utf-8", "replace")
                redraws.append((launch.output[before][0] - asked, drawn))
            else:
                redraws.append((None, ""))
            time.sleep(0.4)
        print("redraws during the lookup (s):", [round(s, 3) for s, _ in redraws if s is not None])
        return redraws

    @classmethod
    def dismiss(cls, launch):
        os.write(launch.terminal, b"\x1b")


if __name__ == "__main__":
    main()
