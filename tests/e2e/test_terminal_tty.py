"""The Linux program in a terminal (tmux): the live panel, Escape, Ctrl-C and SIGTERM as the
close box, a message box that waits for Enter without using the processor, and the terminal
given back as it was on every way out."""

import itertools
import os
import shlex
import signal
import subprocess
import time

from zyntest import BIN_DIR, INITIAL_STATUS, LaunchTestCase, Scratch, main

CAPTION = "Tarvo Zyn Vantor VII"
NO_STATE_FILE = "Zyn could not locate its system state file - please visit"
_sessions = itertools.count()


class Terminal:
    """A tmux server of its own with one 100 x 20 pane that runs the launcher copy NAME in
    SCRATCH, then records its exit status and the terminal settings, then idles."""

    def __init__(self, test, scratch, name="zynLaunch"):
        self.scratch = scratch
        self.name = name
        self.socket = "zyn-e2e-%d-%d" % (os.getpid(), next(_sessions))
        program = scratch.path(name)
        with open(os.path.join(BIN_DIR, "zynLaunch"), "rb") as src, open(program, "wb") as dst:
            dst.write(src.read())
        os.chmod(program, 0o755)
        script = ("ZYN_LAUNCH_TRACE=%s ./%s; echo $? > rc.txt; stty -a > stty.txt; exec sleep 600"
                  % (shlex.quote(scratch.trace), name))
        self.tmux("new-session", "-d", "-x", "100", "-y", "20", "-c", scratch.dir, script)
        test.addCleanup(self.tmux, "kill-server")

    def tmux(self, *args):
        return subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null"] + list(args),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=10).stdout.decode("utf-8", "replace")

    def screen(self):
        return self.tmux("capture-pane", "-p", "-t", "0")

    def wait_for(self, *texts, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            screen = self.screen()
            if all(t in screen for t in texts):
                return screen
            time.sleep(0.05)
        return self.screen()

    def pane_settings(self):
        tty = self.tmux("display", "-p", "-t", "0", "#{pane_tty}").strip()
        return subprocess.run(["stty", "-a", "-F", tty], stdout=subprocess.PIPE,
                              timeout=5).stdout.decode()

    def cursor_visible(self):
        return self.tmux("display", "-p", "-t", "0", "#{cursor_flag}").strip() == "1"

    def pid(self):
        program = self.scratch.path(self.name)
        for entry in os.listdir("/proc"):
            try:
                if entry.isdigit() and os.readlink("/proc/%s/exe" % entry) == program:
                    return int(entry)
            except OSError:
                pass
        return None

    def exit_status(self, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.scratch.exists("rc.txt") and self.scratch.exists("stty.txt"):
                time.sleep(0.1)
                return int(self.scratch.read("rc.txt"))
            time.sleep(0.05)
        return None

    def settings_after(self):
        return self.scratch.read("stty.txt").decode().split()


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class TerminalMode(LaunchTestCase):
    def assertTerminalRestored(self, term):
        settings = term.settings_after()
        for flag in ("icanon", "echo", "isig", "icrnl"):
            self.assertIn(flag, settings)
        self.assertTrue(term.cursor_visible())

    def test_panel_shows_the_window_and_each_close_ends_with_status_2(self):
        closes = {
            "Escape": lambda term: term.tmux("send-keys", "-t", "0", "Escape"),
            "Ctrl-C": lambda term: term.tmux("send-keys", "-t", "0", "C-c"),
            "SIGTERM": lambda term: os.kill(term.pid(), signal.SIGTERM),
        }
        for how, close in closes.items():
            with self.subTest(how):
                scratch = Scratch(self)
                scratch.prepare_launch()
                term = Terminal(self, scratch)
                screen = term.wait_for(CAPTION, INITIAL_STATUS)
                self.assertIn(CAPTION, screen)
                self.assertIn("picture 130", screen)
                self.assertRegex(screen, r"\[\.+\] 0%")
                self.assertIn(INITIAL_STATUS, screen)
                # Keys reach the program unechoed while the panel is up.
                self.assertIn("-echo", term.pane_settings().split())
                # Cursor and function keys begin with the Escape byte but are not Escape.
                term.tmux("send-keys", "-t", "0", "Up", "F5", "x")
                self.assertIsNone(term.exit_status(timeout=0.3))
                close(term)
                self.assertEqual(term.exit_status(), 2)
                self.assertTerminalRestored(term)
                self.assertEqual(scratch.stub_starts(timeout=0.2), [])
                # The panel stays on the screen as it was last drawn.
                self.assertIn(CAPTION, term.screen())

    def test_message_box_waits_for_enter_idle_and_carries_the_program_name(self):
        scratch = Scratch(self)  # no system state file: stage 1 ends in a message box
        term = Terminal(self, scratch, name="zynLaunchTemp")
        screen = term.wait_for("[ OK ]", timeout=5)
        self.assertIn("-- zynLaunchTemp --", screen)
        self.assertIn(NO_STATE_FILE, screen)
        self.assertIn("help.", screen)  # the end of the text, broken over lines
        pid = term.pid()
        used = cpu_seconds(pid)
        time.sleep(3)
        self.assertLess(cpu_seconds(pid) - used, 0.05)
        self.assertIsNone(term.exit_status(timeout=0.1))
        term.tmux("send-keys", "-t", "0", "Enter")
        self.assertEqual(term.exit_status(), 1)
        self.assertTerminalRestored(term)
        self.assertNotIn("[ OK ]", term.screen())
        messages = [l for l in scratch.trace_lines() if l.startswith("message ")]
        self.assertEqual(len(messages), 1)
        self.assertIn(NO_STATE_FILE, messages[0])


if __name__ == "__main__":
    main()
