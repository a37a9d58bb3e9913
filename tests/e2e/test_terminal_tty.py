"""The Linux program in a terminal (tmux): the live panel, the keys and signals that end it,
message boxes, a start in the background, and the terminal given back as it was on every way
out, with a last line that says how the launch ended."""

import fcntl
import os
import shutil
import signal
import subprocess
import termios
import time

from zyntest import (BIN_DIR, INITIAL_STATUS, NO_STATE_FILE_PREFIX, LaunchTestCase, Scratch,
                     main)

CAPTION = "Tarvo Zyn Vantor VII"
CANCELLED = "cancelled by the user"
FAILED = "ended: " + NO_STATE_FILE_PREFIX.strip()


def wait_until(condition, timeout=10.0):
    deadline = time.monotonic() + timeout
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.05)
    return condition()


class Terminal:
    """A tmux server of its own (its socket in the scratch folder) with one 100 x 20 pane whose
    bash records the terminal settings, runs COMMAND in SCRATCH with the launcher copy NAME,
    records the settings again and the exit status, then idles. An interactive bash has job
    control, as a user's shell does."""

    def __init__(self, test, scratch, command="./zynLaunch.exe", name="zynLaunch.exe",
                 interactive=False):
        self.scratch, self.name = scratch, name
        self.socket = os.path.join(scratch.root, "tmux")
        shutil.copyfile(os.path.join(BIN_DIR, "zynLaunch"), scratch.path(name))
        os.chmod(scratch.path(name), 0o755)
        script = ("stty -g > before.txt; export ZYN_LAUNCH_TRACE='%s'; %s; echo $? > rc; "
                  "stty -g > after.txt; mv rc rc.txt; exec sleep 600" % (scratch.trace, command))
        bash = ["bash", "--norc", "--noprofile"] + (["-i"] if interactive else [])
        self.tmux("new-session", "-d", "-x", "100", "-y", "20", "-c", scratch.dir,
                  *bash, "-c", script)
        test.addCleanup(self.tmux, "kill-server")
        self.tty = self.tmux("display", "-p", "-t", "0", "#{pane_tty}").strip()

    def tmux(self, *args):
        return subprocess.run(["tmux", "-S", self.socket, "-f", "/dev/null"] + list(args),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=10).stdout.decode("utf-8", "replace")

    def keys(self, *keys):
        self.tmux("send-keys", "-t", "0", *keys)

    def type_apart(self, *pieces):
        """Puts each piece into the pane's input on its own, 10 ms apart, so that the program
        reads them separately."""
        fd = os.open(self.tty, os.O_RDWR | os.O_NOCTTY)
        try:
            for piece in pieces:
                for byte in piece:
                    fcntl.ioctl(fd, termios.TIOCSTI, bytes([byte]))
                time.sleep(0.01)
        finally:
            os.close(fd)

    def lines(self):
        return [l.strip() for l in self.tmux("capture-pane", "-p", "-t", "0").splitlines()
                if l.strip()]

    def wait_for(self, *texts, timeout=10.0):
        wait_until(lambda: all(t in "\n".join(self.lines()) for t in texts), timeout)
        return "\n".join(self.lines())

    def stty(self, option):
        return subprocess.run(["stty", option, "-F", self.tty], stdout=subprocess.PIPE,
                              timeout=5).stdout.decode().strip()

    def is_raw(self):
        return "-echo" in self.stty("-a").split()

    def settings(self, when):
        """The settings that bash recorded "before" or "after" the command."""
        return self.scratch.read(when + ".txt").decode().strip()

    def pid(self):
        program = self.scratch.path(self.name)
        for entry in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.readlink("/proc/%s/exe" % entry) == program:
                    return int(entry)
            except OSError:
                pass
        return None

    def exit_status(self, timeout=10.0):
        if wait_until(lambda: self.scratch.exists("rc.txt"), timeout):
            return int(self.scratch.read("rc.txt"))
        return None


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class TerminalMode(LaunchTestCase):
    def assertTerminalRestored(self, term):
        self.assertEqual(term.settings("after"), term.settings("before"))
        self.assertEqual(term.tmux("display", "-p", "-t", "0", "#{cursor_flag}").strip(), "1")

    def test_keys_and_signals_that_end_the_program_give_the_terminal_back(self):
        kill = lambda signum: lambda term: os.kill(term.pid(), signum)
        ends = {"Escape": (lambda term: term.keys("Escape"), 2),
                "Ctrl-C": (lambda term: term.keys("C-c"), 2),
                "SIGUSR1": (kill(signal.SIGUSR1), 128 + signal.SIGUSR1),
                "SIGALRM": (kill(signal.SIGALRM), 128 + signal.SIGALRM)}
        for how, (end, status) in ends.items():
            with self.subTest(how):
                scratch = Scratch(self)
                scratch.prepare_launch()
                term = Terminal(self, scratch)
                screen = term.wait_for(CAPTION, INITIAL_STATUS)
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
                    self.assertEqual(term.lines()[-1], CANCELLED)

    def test_message_box_waits_for_enter_idle_and_carries_the_program_name(self):
        scratch = Scratch(self)  # no system state file: stage 1 ends in a message box
        term = Terminal(self, scratch, command="./zynLaunchTemp", name="zynLaunchTemp")
        screen = term.wait_for("[ OK ]", timeout=5)
        self.assertIn("-- zynLaunchTemp --", screen)
        self.assertIn(NO_STATE_FILE_PREFIX.strip(), screen)
        used = cpu_seconds(term.pid())
        time.sleep(3)
        self.assertLess(cpu_seconds(term.pid()) - used, 0.05)
        self.assertIsNone(term.exit_status(timeout=0.1))
        term.keys("Enter")
        self.assertEqual(term.exit_status(), 1)
        self.assertTerminalRestored(term)
        self.assertNotIn("[ OK ]", term.lines())
        self.assertIn(FAILED, "\n".join(term.lines()[-2:]))
        self.assertEqual(len([l for l in scratch.trace_lines() if l.startswith("message ")]), 1)

    def test_boxes_are_answered_at_once_once_input_has_ended(self):
        term = Terminal(self, Scratch(self), command="./zynLaunch.exe < /dev/null")
        self.assertEqual(term.exit_status(), 1)
        self.assertIn(FAILED, "\n".join(term.lines()[-2:]))

    def test_started_in_the_background_it_leaves_the_terminal_to_the_shell(self):
        # The shell waits for a line: "fg" brings the launcher to the foreground, anything
        # else waits for its end.
        command = './zynLaunch.exe & read a; if [ "$a" = fg ]; then fg %1; else wait $!; fi'
        for left_behind in (True, False):
            with self.subTest("left in the background" if left_behind else "brought back"):
                scratch = Scratch(self)
                scratch.prepare_launch()
                term = Terminal(self, scratch, command=command, interactive=True)
                term.wait_for(CAPTION)
                self.assertEqual(term.stty("-g"), term.settings("before"))
                if left_behind:
                    self.assertTrue(wait_until(lambda: "finished" in term.lines(), 20))
                    self.assertEqual(term.stty("-g"), term.settings("before"))
                    self.assertEqual(len(scratch.stub_starts(expected=2)), 2)
                    term.keys("done", "Enter")
                    self.assertEqual(term.exit_status(), 0)
                else:
                    term.keys("fg", "Enter")
                    self.assertTrue(wait_until(term.is_raw, 5))
                    term.keys("Escape")
                    self.assertEqual(term.exit_status(), 2)
                    self.assertEqual(term.lines()[-1], CANCELLED)
                self.assertTerminalRestored(term)


if __name__ == "__main__":
    main()
