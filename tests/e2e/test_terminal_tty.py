"""The Linux program in a terminal (tmux): the live panel with its picture in each colour
setting, the picture swapped and the panel redrawn on a resize, the keys and signals that end
it, message boxes, a start in the background, and the terminal given back as it was on every way
out, with a last line that says how the launch ended."""

import fcntl
import os
import re
import signal
import subprocess
import termios
import time

from zyntest import INITIAL_STATUS, NO_STATE_FILE_PREFIX, LaunchTestCase, Scratch, main, wait_until

CAPTION = "Tarvo Zyn Vantor VII"
BLOCK = "\u2580"  # a cell of the picture: its upper pixel on its lower one
CANCELLED = "cancelled by the user"
FAILED = "ended: " + NO_STATE_FILE_PREFIX.strip()


class Terminal:
    """A tmux server of its own (its socket in the scratch folder) with one pane of SIZE whose
    bash records the terminal settings, runs COMMAND in SCRATCH with a copy NAME of PROGRAM (from
    the bin directory), records the settings again and the exit status, then idles. An
    interactive bash has job control, as a user's shell does. Whatever the pane is sent is kept
    in sent.raw; the pane starts without NO_COLOR and COLORTERM, so COMMAND sets them."""

    def __init__(self, test, scratch, command="./zynLaunch.exe", name="zynLaunch.exe",
                 interactive=False, size=(100, 20), program="zynLaunch"):
        self.scratch, self.name = scratch, name
        self.socket = os.path.join(scratch.root, "tmux")
        scratch.install_program(name, program)
        script = ("until [ -e go ]; do sleep 0.02; done; unset NO_COLOR COLORTERM; "
                  "stty -g > before.txt; export ZYN_LAUNCH_TRACE='%s'; %s; echo $? > rc; "
                  "stty -g > after.txt; mv rc rc.txt; exec sleep 600" % (scratch.trace, command))
        bash = ["bash", "--norc", "--noprofile"] + (["-i"] if interactive else [])
        self.tmux("new-session", "-d", "-x", str(size[0]), "-y", str(size[1]), "-c",
                  scratch.dir, *bash, "-c", script)
        test.addCleanup(self.tmux, "kill-server")
        self.tmux("pipe-pane", "-t", "0", "cat > '%s'" % scratch.path("sent.raw"))
        open(scratch.path("go"), "w").close()
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

    def picture(self):
        """The picture's rows and columns in cells, as the pane shows it (columns None when
        its rows differ)."""
        widths = {l.count(BLOCK) for l in self.lines() if BLOCK in l}
        rows = len([l for l in self.lines() if BLOCK in l])
        return rows, (widths.pop() if len(widths) == 1 else None)

    def sent(self):
        return self.scratch.read("sent.raw")

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

    def test_picture_in_the_colours_the_terminal_announces_or_a_caption_without_colours(self):
        sgr = re.compile(rb"\x1b\[[0-9;]*m")
        # environment: the picture's colour kind (38;2 / 48;2: 24 bits, 38;5 / 48;5: the
        # palette), or None for the caption alone
        settings = {"COLORTERM=truecolor": b"2", "COLORTERM=24bit": b"2",
                    "TERM=xterm-256color": b"5", "NO_COLOR=1 COLORTERM=truecolor": None,
                    "TERM=dumb COLORTERM=truecolor": None}
        for env, colours in settings.items():
            with self.subTest(env):
                scratch = Scratch(self)
                scratch.prepare_launch()
                term = Terminal(self, scratch, command="env %s ./zynLaunch.exe" % env,
                                size=(80, 24))
                lines = term.wait_for(CAPTION, INITIAL_STATUS).split("\n")
                self.assertEqual(lines[0], CAPTION)
                self.assertRegex(lines[-2], r"^\[[#.]+\] \d+%$")
                if colours:
                    # 14 rows leave a 24-line terminal room for a message box and the shell.
                    self.assertEqual(term.picture(), (14, 68))
                else:
                    self.assertEqual(lines[1], "ZYN VANTOR VII")
                term.keys("Escape")
                self.assertEqual(term.exit_status(), 2)
                sent = term.sent()
                if colours:
                    self.assertEqual(set(re.findall(rb"\x1b\[[34]8;([0-9]+);", sent)), {colours})
                    # Every line of the picture gives the terminal its colours back.
                    self.assertEqual(sent.count(b"\x1b[0m"), 14)
                else:
                    self.assertEqual(sgr.findall(sent), [])
                    self.assertNotIn(BLOCK.encode(), sent)

    def test_a_deep_answer_swaps_the_picture_in_place(self):
        # Enter makes the swap that a deep resolution server's answer makes in a launch.
        for env, before, after in (("COLORTERM=truecolor", None, None),
                                   ("NO_COLOR=1", "ZYN VANTOR VII",
                                    "ZYN VANTOR VII - DEEP LINK")):
            with self.subTest(env):
                scratch = Scratch(self)
                term = Terminal(self, scratch, command="env %s ./zynPictureSwap" % env,
                                name="zynPictureSwap", program="zynPictureSwap", size=(80, 24))
                screen = term.wait_for(CAPTION, INITIAL_STATUS)
                coloured = term.tmux("capture-pane", "-p", "-e", "-t", "0")
                initial = 0 if before else 14 * 68
                self.assertTrue(wait_until(
                    lambda: term.sent().count(BLOCK.encode()) == initial))
                sent = len(term.sent())
                term.keys("Enter")
                self.assertTrue(wait_until(
                    lambda: term.tmux("capture-pane", "-p", "-e", "-t", "0") != coloured, 5))
                if before:
                    self.assertIn(before, screen.split("\n"))
                    self.assertEqual(term.lines()[1], after)
                else:
                    self.assertEqual(term.picture(), (14, 68))
                self.assertEqual(len(term.lines()), len(screen.split("\n")))
                term.keys("Escape")
                self.assertEqual(term.exit_status(), 2)
                self.assertIn("picture 131", scratch.trace_lines())
                # Whole rows of the new picture, from the first that differs, once.
                blocks = term.sent()[sent:].decode().count(BLOCK)
                self.assertTrue(0 < blocks <= initial and blocks % 68 == 0 or blocks == initial,
                                blocks)

    def test_resizes_mid_launch_redraw_the_whole_panel_without_stray_lines(self):
        scratch = Scratch(self)
        scratch.prepare_launch()
        # Below a few lines of the shell's, as a panel usually is.
        term = Terminal(self, scratch, command="seq 5; env COLORTERM=truecolor ./zynLaunch.exe",
                        size=(80, 24))
        self.assertTrue(wait_until(lambda: term.picture() == (14, 68)))
        # Narrowed, the terminal breaks each picture line in two, and the panel's top moves up
        # past the shell's lines; then too narrow for a picture; then wider than the picture
        # can be high.
        for columns, cells in ((50, (10, 48)), (30, (0, None)), (100, (14, 68))):
            term.tmux("resize-window", "-t", "0", "-x", str(columns))
            self.assertTrue(wait_until(lambda: term.picture() == cells), (columns, cells))
            lines = term.lines()
            self.assertEqual(lines[0], CAPTION, columns)
            self.assertEqual(len([l for l in lines if re.match(r"\[[#.]+\] \d+%$", l)]), 1)
        self.assertEqual(term.exit_status(timeout=15), 0)
        self.assertEqual(term.lines()[-1], "finished")
        self.assertEqual(len(term.lines()), 1 + 14 + 2)
        # Each picture drawn once for each size: a progress step sends only what changed.
        self.assertEqual(term.sent().decode().count(BLOCK), 14 * 68 * 2 + 10 * 48)

    def test_keys_and_signals_that_end_the_program_give_the_terminal_back(self):
        ends = {"Escape": (lambda term: term.keys("Escape"), 2),
                "Ctrl-C": (lambda term: term.keys("C-c"), 2),
                # Any other signal that ends a program: the terminal is given back first.
                "SIGUSR1": (lambda term: os.kill(term.pid(), signal.SIGUSR1),
                            128 + signal.SIGUSR1)}
        for how, (end, status) in ends.items():
            with self.subTest(how):
                scratch = Scratch(self)
                scratch.prepare_launch()
                term = Terminal(self, scratch)
                screen = term.wait_for(CAPTION, INITIAL_STATUS)
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
        # Framed under the picture, the text broken between words to fit.
        self.assertRegex(screen, BLOCK + r"\n\[#*\.*\] \d+%\n" + INITIAL_STATUS +
                         r"\n\+-- zynLaunchTemp -+\+\n\| Zyn could not locate .* ?\|\n"
                         r"\| for help\. +\|\n\| +\[ OK \] +\|\n\+-+\+$")
        used = cpu_seconds(term.pid())
        time.sleep(3)
        self.assertLess(cpu_seconds(term.pid()) - used, 0.05)
        self.assertIsNone(term.exit_status(timeout=0.1))
        term.keys("Enter")
        self.assertEqual(term.exit_status(), 1)
        self.assertTerminalRestored(term)
        self.assertNotIn("[ OK ]", "\n".join(term.lines()))
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
