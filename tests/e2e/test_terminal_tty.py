"""The Linux program in a terminal (tmux): its panel and picture in each colour setting, the picture
swapped and the panel redrawn on a resize, keys and signals that end it, message boxes, a start in
the background, and the terminal given back as it was on every way out."""

import fcntl
import os
import re
import signal
import termios
import subprocess
import time

from zynnet import DeepResolver, Network, deep_answer
from zyntest import (INITIAL_STATUS, NO_STATE_FILE, WINDOW_CAPTION, LaunchTestCase, Scratch,
                     cpu_seconds, launchers, main, system_state, wait_until)

BLOCK = "\u2580"  # a cell of the picture: its upper pixel on its lower one
CANCELLED = "cancelled by the user"
FAILED = "ended: " + NO_STATE_FILE.strip()
BAR = r"\[[#.]+\] \d+%"


class Terminal:
    """A tmux pane of SIZE whose bash (INTERACTIVE: with job control) runs COMMAND in SCRATCH, the
    launcher as NAME, between two records of the terminal's settings (NO_COLOR, COLORTERM unset);
    sent.raw keeps what the pane is sent."""

    def __init__(self, test, scratch, command="./zynLaunch.exe", name="zynLaunch.exe",
                 interactive=False, size=(100, 20)):
        self.scratch, self.socket = scratch, os.path.join(scratch.root, "tmux")
        scratch.install(name, "zynLaunch")
        script = ("until [ -e go ]; do sleep 0.02; done; unset NO_COLOR COLORTERM; "
                  "stty -g > before.txt; export ZYN_LAUNCH_TRACE='%s'; %s; echo $? > rc; "
                  "stty -g > after.txt; mv rc rc.txt; exec sleep 600" % (scratch.trace, command))
        self.tmux("new-session", "-d", "-x", str(size[0]), "-y", str(size[1]), "-c", scratch.dir,
                  "bash", "--norc", "--noprofile", *(["-i"] if interactive else []), "-c", script)
        test.addCleanup(self.tmux, "kill-server")
        self.tmux("pipe-pane", "-t", "0", "cat > '%s'" % scratch.path("sent.raw"))
        open(scratch.path("go"), "w").close()
        self.tty = self.tmux("display", "-p", "-t", "0", "#{pane_tty}").strip()

    def tmux(self, *args):
        return subprocess.run(["tmux", "-S", self.socket, "-f", "/dev/null", *args],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=10).stdout.decode("utf-8", "replace")

    def keys(self, *keys):
        self.tmux("send-keys", "-t", "0", *keys)

    def type_apart(self, *pieces):
        """Each piece into the pane's input as soon as the program has read the one before: read
        separately, and well within the time a sequence's bytes are awaited, even under load."""
        fd = os.open(self.tty, os.O_RDWR | os.O_NOCTTY)
        for piece in pieces:
            deadline = time.monotonic() + 2
            while int.from_bytes(fcntl.ioctl(fd, termios.FIONREAD, bytes(4)), "little") and \
                    time.monotonic() < deadline:
                pass
            for byte in piece:
                fcntl.ioctl(fd, termios.TIOCSTI, bytes([byte]))
        os.close(fd)

    def lines(self, *options):
        return [l.strip() for l in self.tmux("capture-pane", "-p", *options, "-t", "0")
                .splitlines() if l.strip()]

    def picture(self):
        """The picture's rows and columns in cells (columns None when its rows differ)."""
        rows = [l.count(BLOCK) for l in self.lines() if BLOCK in l]
        return len(rows), (rows[0] if len(set(rows)) == 1 else None)

    def sent(self):
        return self.scratch.read("sent.raw")

    def wait_for(self, *texts, timeout=10.0):
        wait_until(lambda: all(t in "\n".join(self.lines()) for t in texts), timeout)
        return self.lines()

    def stty(self, option="-g"):
        return subprocess.run(["stty", option, "-F", self.tty], stdout=subprocess.PIPE,
                              timeout=5).stdout.decode().strip()

    def is_raw(self):  # keys reach the program unechoed
        return "-echo" in self.stty("-a").split()

    def settings(self, when):  # "before" or "after" the command
        return self.scratch.read(when + ".txt").decode().strip()

    def pid(self):
        return next(iter(launchers(self.scratch)))

    def exit_status(self, timeout=10.0):
        if wait_until(lambda: self.scratch.exists("rc.txt"), timeout):
            return int(self.scratch.read("rc.txt"))


class TerminalMode(LaunchTestCase):
    def terminal(self, prepared=True, **kwargs):
        scratch = Scratch(self.addCleanup)
        if prepared:
            scratch.prepare_launch()
        return scratch, Terminal(self, scratch, **kwargs)

    def assertTerminalRestored(self, term):
        self.assertEqual(term.settings("after"), term.settings("before"))
        self.assertEqual(term.tmux("display", "-p", "-t", "0", "#{cursor_flag}").strip(), "1")

    def test_picture_in_the_colours_the_terminal_announces_or_a_caption_without_colours(self):
        # environment: the colour kind (38;2 / 48;2 24 bits, 38;5 / 48;5 palette), or a caption
        for env, colours in {"COLORTERM=truecolor": b"2", "TERM=xterm-256color": b"5",
                             "NO_COLOR=1 COLORTERM=truecolor": None,
                             "TERM=dumb COLORTERM=truecolor": None}.items():
            with self.subTest(env):
                _, term = self.terminal(command="env %s ./zynLaunch.exe" % env, size=(80, 24))
                lines = term.wait_for(WINDOW_CAPTION, INITIAL_STATUS)
                self.assertEqual(lines[0], WINDOW_CAPTION)
                self.assertRegex(lines[-2], "^%s$" % BAR)
                # 14 rows leave a 24-line terminal room for a message box and the shell.
                self.assertEqual(term.picture() if colours else lines[1],
                                 (14, 68) if colours else "ZYN VANTOR VII")
                term.keys("Escape")
                self.assertEqual(term.exit_status(), 2)
                sent = term.sent()
                if colours:
                    self.assertEqual(set(re.findall(rb"\x1b\[[34]8;([0-9]+);", sent)), {colours})
                    # Every line of the picture gives the terminal its colours back.
                    self.assertEqual(sent.count(b"\x1b[0m"), 14)
                else:
                    self.assertEqual(re.findall(rb"\x1b\[[0-9;]*m", sent), [])
                    self.assertNotIn(BLOCK.encode(), sent)

    def test_a_deep_answer_swaps_the_picture_in_place(self):
        deep = Network(self).start(DeepResolver, [deep_answer("10.0.0.9", 4000)])
        for env, before, after in (("COLORTERM=truecolor", None, None),
                                   ("NO_COLOR=1", "ZYN VANTOR VII",
                                    "ZYN VANTOR VII - DEEP LINK")):
            with self.subTest(env):
                scratch = Scratch(self.addCleanup)
                scratch.prepare_launch(system_state(deep=(deep.address,)))
                term = Terminal(self, scratch, "env %s ./zynLaunch.exe" % env, size=(80, 24))
                screen = term.wait_for(WINDOW_CAPTION, INITIAL_STATUS)
                initial = 0 if before else 14 * 68
                self.assertTrue(wait_until(lambda: term.sent().count(BLOCK.encode()) == initial))
                sent = len(term.sent())
                self.assertTrue(wait_until(lambda: term.lines()[1] == after if before else
                                           BLOCK.encode() in term.sent()[sent:], 15))
                self.assertEqual(len(term.lines()), len(screen))
                self.assertEqual(term.exit_status(), 0)
                self.assertIn("picture 131", scratch.trace_lines())
                # Whole rows of the new picture, from the first that differs, once.
                blocks = term.sent()[sent:].decode().count(BLOCK)
                self.assertTrue(0 < blocks <= initial and blocks % 68 == 0 or blocks == initial,
                                blocks)

    def test_resizes_mid_launch_redraw_the_whole_panel_without_stray_lines(self):
        # Below a few lines of the shell's, as a panel usually is.
        _, term = self.terminal(command="seq 5; env COLORTERM=truecolor ./zynLaunch.exe",
                                size=(80, 24))
        self.assertTrue(wait_until(lambda: term.picture() == (14, 68)))
        # Narrowed (each picture line broken in two, the panel's top past the shell's lines),
        # too narrow for a picture, wider than the picture can be high.
        for columns, cells in ((50, (10, 48)), (30, (0, None)), (100, (14, 68))):
            term.tmux("resize-window", "-t", "0", "-x", str(columns))
            self.assertTrue(wait_until(lambda: term.picture() == cells), (columns, cells))
            self.assertEqual(term.lines()[0], WINDOW_CAPTION, columns)
            self.assertEqual(len([l for l in term.lines() if re.match(BAR + "$", l)]), 1)
        self.assertEqual(term.exit_status(timeout=15), 0)
        self.assertEqual((term.lines()[-1], len(term.lines())), ("finished", 1 + 14 + 2))
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
                scratch, term = self.terminal()
                self.assertRegex("\n".join(term.wait_for(WINDOW_CAPTION, INITIAL_STATUS)),
                                 r"\[\.+\] 0%")
                self.assertTrue(term.is_raw())
                # Alt+key, cursor and function keys are no Escape, also split across reads.
                term.keys("M-x")
                term.type_apart(b"\x1b", b"[A")
                term.keys("F5", "x")
                self.assertIsNone(term.exit_status(timeout=0.3))
                end(term)
                self.assertEqual(term.exit_status(), status)
                self.assertTerminalRestored(term)
                self.assertEqual(scratch.stub_starts(), [])
                if status == 2:
                    self.assertEqual(term.lines()[-1], CANCELLED)

    def test_a_message_box_waits_idle_for_enter_unless_input_has_ended(self):
        # No system state file: stage 1 ends in a message box.
        scratch, term = self.terminal(False, command="./zynLaunchTemp", name="zynLaunchTemp")
        screen = "\n".join(term.wait_for("[ OK ]", timeout=5))
        # Framed under the picture, the text broken between words to fit.
        self.assertRegex(screen, BLOCK + r"\n\[#*\.*\] \d+%\n" + INITIAL_STATUS +
                         r"\n\+-- zynLaunchTemp -+\+\n\| Zyn could not locate .* ?\|\n"
                         r"\| for help\. +\|\n\| +\[ OK \] +\|\n\+-+\+$")
        used = cpu_seconds(term.pid())
        time.sleep(1)  # a loop that spun would burn all of it
        self.assertLess(cpu_seconds(term.pid()) - used, 0.05)
        self.assertIsNone(term.exit_status(timeout=0.1))
        term.keys("Enter")
        self.assertEqual(term.exit_status(), 1)
        self.assertTerminalRestored(term)
        self.assertNotIn("[ OK ]", "\n".join(term.lines()))
        self.assertIn(FAILED, "\n".join(term.lines()[-2:]))
        self.assertEqual(len([l for l in scratch.trace_lines() if l.startswith("message ")]), 1)
        # Once input has ended, boxes are answered at once.
        term = self.terminal(False, command="./zynLaunch.exe < /dev/null")[1]
        self.assertEqual((term.exit_status(), FAILED in "\n".join(term.lines()[-2:])), (1, True))

    def test_started_in_the_background_it_leaves_the_terminal_to_the_shell(self):
        # The shell waits for a line: "fg" brings the launcher to the foreground, else its end.
        command = './zynLaunch.exe & read a; if [ "$a" = fg ]; then fg %1; else wait $!; fi'
        for left_behind in (True, False):
            with self.subTest("left in the background" if left_behind else "brought back"):
                scratch, term = self.terminal(command=command, interactive=True)
                term.wait_for(WINDOW_CAPTION)
                self.assertEqual(term.stty(), term.settings("before"))
                if left_behind:
                    self.assertTrue(wait_until(lambda: "finished" in term.lines(), 20))
                    self.assertEqual(term.stty(), term.settings("before"))
                    self.assertEqual(len(scratch.stub_starts(expected=2)), 2)
                    term.keys("done", "Enter")
                    self.assertEqual(term.exit_status(), 0)
                else:
                    term.keys("fg", "Enter")
                    self.assertTrue(wait_until(term.is_raw, 5))
                    term.keys("Escape")
                    self.assertEqual((term.exit_status(), term.lines()[-1]), (2, CANCELLED))
                self.assertTerminalRestored(term)


if __name__ == "__main__":
    main()
