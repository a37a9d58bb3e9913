"""The Linux program in a terminal (tmux): the live panel, the keys and signals that close it,
message boxes, a start in the background, and the terminal given back as it was on every way
out, with a last line that says how the launch ended."""

import fcntl
import os
import signal
import subprocess
import termios
import time

from zyntest import (BIN_DIR, INITIAL_STATUS, NO_STATE_FILE_PREFIX, LaunchTestCase, Scratch,
                     main)

CAPTION = "Tarvo Zyn Vantor VII"
CANCELLED = "cancelled by the user"
FAILED = "ended: " + NO_STATE_FILE_PREFIX.strip()
FINISHED = "finished"


class Terminal:
    """A tmux server of its own (its socket in the scratch folder) with one 100 x 20 pane whose
    bash records the terminal settings, runs COMMAND in SCRATCH with the launcher copy NAME,
    records the exit status and the settings again, then idles. An interactive bash has job
    control, as a user's shell does."""

    def __init__(self, test, scratch, command="./zynLaunch", name="zynLaunch",
                 interactive=False):
        self.scratch = scratch
        self.name = name
        self.socket = os.path.join(scratch.root, "tmux")
        program = scratch.path(name)
        with open(os.path.join(BIN_DIR, "zynLaunch"), "rb") as src, open(program, "wb") as dst:
            dst.write(src.read())
        os.chmod(program, 0o755)
        script = ("stty -g > before.txt; export ZYN_LAUNCH_TRACE='%s'; %s; echo $? > rc.txt; "
                  "stty -g > after.txt; exec sleep 600" % (scratch.trace, command))
        bash = ["bash", "--norc", "--noprofile"] + (["-i"] if interactive else [])
        self.tmux("new-session", "-d", "-x", "100", "-y", "20", "-c", scratch.dir,
                  *bash, "-c", script)
        test.addCleanup(self.tmux, "kill-server")

    def tmux(self, *args):
        return subprocess.run(["tmux", "-S", self.socket, "-f", "/dev/null"] + list(args),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=10).stdout.decode("utf-8", "replace")

    def keys(self, *keys):
        self.tmux("send-keys", "-t", "0", *keys)

    def type_apart(self, *pieces):
        """Puts each piece into the pane's input on its own, 10 ms apart, so that the program
        reads them separately."""
        fd = os.open(self.tmux("display", "-p", "-t", "0", "#{pane_tty}").strip(),
                     os.O_RDWR | os.O_NOCTTY)
        try:
            for piece in pieces:
                for byte in piece:
                    fcntl.ioctl(fd, termios.TIOCSTI, bytes([byte]))
                time.sleep(0.01)
        finally:
            os.close(fd)

    def screen(self):
        return self.tmux("capture-pane", "-p", "-t", "0")

    def last_line(self):
        lines = [l.strip() for l in self.screen().splitlines() if l.strip()]
        return lines[-1] if lines else ""

    def wait_for(self, *texts, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            screen = self.screen()
            if all(t in screen for t in texts):
                return screen
            time.sleep(0.05)
        return self.screen()

    def settings_now(self):
        tty = self.tmux("display", "-p", "-t", "0", "#{pane_tty}").strip()
        return subprocess.run(["stty", "-g", "-F", tty], stdout=subprocess.PIPE,
                              timeout=5).stdout.decode().strip()

    def settings(self, when):
        """The settings that bash recorded "before" or "after" the command."""
        return self.scratch.read(when + ".txt").decode().strip()

    def is_raw(self):
        return "-echo" in subprocess.run(
            ["stty", "-a", "-F", self.tmux("display", "-p", "-t", "0", "#{pane_tty}").strip()],
            stdout=subprocess.PIPE, timeout=5).stdout.decode().split()

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
            if self.scratch.exists("rc.txt") and self.scratch.exists("after.txt"):
                time.sleep(0.1)
                return int(self.scratch.read("rc.txt"))
            time.sleep(0.05)
        return None


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class TerminalMode(LaunchTestCase):
    def assertTerminalRestored(self, term):
        self.assertEqual(term.settings("after"), term.settings("before"))
        self.assertTrue(term.cursor_visible())

    def test_keys_and_signals_that_end_the_program_give_the_terminal_back(self):
        ends = {
            "Escape": (lambda term: term.keys("Escape"), 2),
            "Ctrl-C": (lambda term: term.keys("C-c"), 2),
            "SIGUSR1": (lambda term: os.kill(term.pid(), signal.SIGUSR1), 128 + signal.SIGUSR1),
            "SIGALRM": (lambda term: os.kill(term.pid(), signal.SIGALRM), 128 + signal.SIGALRM),
        }
        for how, (end, status) in ends.items():
            with self.subTest(how):
                scratch = Scratch(self)
                scratch.prepare_launch()
                term = Terminal(self, scratch)
                screen = term.wait_for(CAPTION, INITIAL_STATUS)
                self.assertIn(CAPTION, screen)
                self.assertIn("picture 130", screen)
                self.assertRegex(screen, r"\[\.+\] 0%")
                self.assertTrue(term.is_raw())  # keys reach the program unechoed
                # Alt+key, cursor and function keys begin with the Escape byte but are not
                # Escape, also when a read splits them.
                term.keys("M-x")
                term.type_apart(b"\x1b", b"[A")
                term.keys("F5", "x")
                self.assertIsNone(term.exit_status(timeout=0.3))
                end(term)
                self.assertEqual(term.exit_status(), status)
                self.assertTerminalRestored(term)
                self.assertEqual(scratch.stub_starts(timeout=0.2), [])
                if status == 2:
                    self.assertEqual(term.last_line(), CANCELLED)

    def test_message_box_waits_for_enter_idle_and_carries_the_program_name(self):
        scratch = Scratch(self)  # no system state file: stage 1 ends in a message box
        term = Terminal(self, scratch, command="./zynLaunchTemp", name="zynLaunchTemp")
        screen = term.wait_for("[ OK ]", timeout=5)
        self.assertIn("-- zynLaunchTemp --", screen)
        self.assertIn(NO_STATE_FILE_PREFIX.strip(), screen)
        pid = term.pid()
        used = cpu_seconds(pid)
        time.sleep(3)
        self.assertLess(cpu_seconds(pid) - used, 0.05)
        self.assertIsNone(term.exit_status(timeout=0.1))
        term.keys("Enter")
        self.assertEqual(term.exit_status(), 1)
        self.assertTerminalRestored(term)
        screen = term.screen()
        self.assertNotIn("[ OK ]", screen)
        self.assertIn(FAILED, screen)
        self.assertTrue(term.last_line().endswith("help."))
        messages = [l for l in scratch.trace_lines() if l.startswith("message ")]
        self.assertEqual(len(messages), 1)

    def test_boxes_are_answered_at_once_once_input_has_ended(self):
        scratch = Scratch(self)
        term = Terminal(self, scratch, command="./zynLaunch < /dev/null")
        self.assertEqual(term.exit_status(), 1)
        self.assertIn(FAILED, term.screen())

    def test_started_in_the_background_it_leaves_the_terminal_to_the_shell(self):
        # The shell waits for a line: "fg" brings the launcher to the foreground, anything
        # else waits for its end.
        command = ('./zynLaunch & read answer; '
                   'if [ "$answer" = fg ]; then fg %1; else wait $!; fi')
        for left_behind in (True, False):
            with self.subTest("left in the background" if left_behind else "brought back"):
                scratch = Scratch(self)
                scratch.prepare_launch()
                term = Terminal(self, scratch, command=command, interactive=True)
                term.wait_for(CAPTION)
                self.assertTrue(term.scratch.exists("before.txt"))
                self.assertEqual(term.settings_now(), term.settings("before"))
                if left_behind:
                    screen = term.wait_for(FINISHED, timeout=20)
                    self.assertIn(FINISHED, [l.strip() for l in screen.splitlines()])
                    self.assertEqual(term.settings_now(), term.settings("before"))
                    self.assertEqual(len(scratch.stub_starts(expected=2)), 2)
                    term.keys("done", "Enter")
                    self.assertEqual(term.exit_status(), 0)
                else:
                    term.keys("fg", "Enter")
                    deadline = time.monotonic() + 5
                    while not term.is_raw() and time.monotonic() < deadline:
                        time.sleep(0.05)
                    self.assertTrue(term.is_raw())
                    term.keys("Escape")
                    self.assertEqual(term.exit_status(), 2)
                    self.assertEqual(term.last_line(), CANCELLED)
                self.assertTerminalRestored(term)


if __name__ == "__main__":
    main()
