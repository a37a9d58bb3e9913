"""Harness for the end-to-end tests: runs the built launcher in a scratch directory and reads
what it left behind.

Conventions the tests rely on:

* CTest runs every tests/e2e/test_*.py file in its own network namespace (scripts/netns-run.sh),
  so fixed ports never collide between files. Files whose name matches test_*_win*.py drive the
  Windows program under Wine and belong to the MinGW build (run one at a time); all others drive
  the Linux program and belong to the native builds.
* Environment from CTest: ZYN_BIN_DIR (the build's bin directory: zynLaunch[.exe], zynStub[.exe],
  probe.exe), ZYN_PLATFORM ("posix" or "win32"). The Windows tests also need WINEPREFIX and
  DISPLAY, which scripts/test.sh sets up.
* The stub component appends one line per start to "zynStub.log" in its current directory:
  name TAB command line TAB current directory. The name is the file name of the running
  program. The command line is, on Windows, the raw GetCommandLineA() text; on Linux, the argv
  words joined with the byte 0x1f. StubStart.words gives the words on both (on Windows split as
  the C runtime would, which is all the tests need from it).
* The launcher's window reports in lines: "status TEXT", "progress N", "picture N",
  "message TEXT" (Linux: on standard output when it is not a terminal; both programs: appended to
  the file named by ZYN_LAUNCH_TRACE). Exit status 0 normal end, 1 ended through an error
  message, 2 dismissed by the user.
"""

import contextlib
import os
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import unittest

BIN_DIR = os.environ.get("ZYN_BIN_DIR", "")
PLATFORM = os.environ.get("ZYN_PLATFORM", "posix")
EXE = ".exe" if PLATFORM == "win32" else ""
NETNS_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                         "netns-run.sh")

# The user configuration file the launcher writes when there is none (181 bytes).
DEFAULT_USER_CONFIG = (b"[ZynUserConfig]\r\nzynUsername=!\r\nzynPassword=!\r\nzynPort=0\r\n"
                       b"zynDeepPort=0\r\nzynAccept=LOCAL\r\nzynTimeout=NOUI\r\nzynNIC=0\r\n"
                       b"zynLaunch=BOTH\r\nzynHomeBrew=OFF\r\nzynWireless=\r\n"
                       b"zynUI=Default\r\n\r\n")

# Components a launch needs present and complete before it starts anything.
COMPONENTS = ("zynEngine.exe", "zynConfig.exe", "zynUI.exe", "pssdk_dll.dll")

INITIAL_STATUS = "zyn is initialising.."
ENGINE_RUNNING = ("A running zynEngine was detected on this computer already. Please close the "
                  "existing zyn engine by right clicking it on the taskbar.")
NO_ORBITALS = "No orbital servers are available - please close Zyn and try again later."
DOWNLOAD_FAILED = ("Zyn failed to download one or more components - please restart Zyn to "
                   "download these components.")
NO_STATE_FILE_PREFIX = "Zyn could not locate its system state file - please visit "
NO_STATE_FILE_SUFFIX = " for help."


def system_state(orbitals=("orb1.example.net:4000", "orb2.example.net:4000"),
                 deep=("deep.example.net",), extra=()):
    """A system state file's lines (without line ends) for a launch from local files."""
    lines = ["[ZynSystemConfig]",
             "ZynUpdateURL=http://update.example.net/zyn/;",
             "ZynDownloadURL=http://download.example.net/zyn/;"]
    lines += ["ZynOrbitalServer=%s;" % o for o in orbitals]
    lines += ["ZynDeepResolutionServer=%s;" % d for d in deep]
    lines += ["ZynVersion=Engine;7.0.2.5;", "ZynVersion=Config;7.0.2.5;",
              "ZynVersion=Launch;1.0.0.0;", "ZynVersion=UI;7.0.2.5;",
              "ZynVersion=NetworkServices;7.0.2.5;", "ZynUI=Default;UI;zynUI.exe;"]
    return lines + list(extra)


def expected_engine_words(orbitals, options):
    """The engine's argument words for the given orbital servers and user options."""
    return ["-mode", "engine", "-orbitals", "".join(o + "O" for o in orbitals)] + options


DEFAULT_OPTIONS = ["-username", "!", "-password", "!", "-port", "0", "-accept", "LOCAL",
                   "-timeout", "NOUI", "-nic", "0"]


def split_windows_command_line(text):
    """Splits a command line into words as the Microsoft C runtime does."""
    words, word, in_word, quoted, i = [], "", False, False, 0
    while i < len(text):
        c = text[i]
        if c == "\\":
            n = 0
            while i < len(text) and text[i] == "\\":
                n += 1
                i += 1
            if i < len(text) and text[i] == '"':
                word += "\\" * (n // 2)
                if n % 2:
                    word += '"'
                    i += 1
            else:
                word += "\\" * n
            in_word = True
            continue
        if c == '"':
            if quoted and i + 1 < len(text) and text[i + 1] == '"':
                word += '"'
                i += 2
                continue
            quoted = not quoted
            in_word = True
        elif c in " \t" and not quoted:
            if in_word:
                words.append(word)
                word, in_word = "", False
        else:
            word += c
            in_word = True
        i += 1
    if in_word:
        words.append(word)
    return words


class StubStart:
    """One line of zynStub.log."""

    def __init__(self, line):
        self.name, self.command_line, self.cwd = line.split("\t")
        if PLATFORM == "win32":
            self.words = split_windows_command_line(self.command_line)
        else:
            self.words = self.command_line.split("\x1f")

    @property
    def args(self):
        return self.words[1:]

    def __repr__(self):
        return "StubStart(%r, %r, %r)" % (self.name, self.command_line, self.cwd)


class Result:
    def __init__(self, returncode, lines, stdout_lines, times, duration):
        self.returncode = returncode
        self.lines = lines  # from the trace file
        self.stdout_lines = stdout_lines  # Linux program only
        self.times = times  # seconds since start at which each stdout line arrived
        self.duration = duration

    def messages(self):
        return [l[len("message "):] for l in self.lines if l.startswith("message ")]

    def statuses(self):
        return [l[len("status "):] for l in self.lines if l.startswith("status ")]

    def time_of(self, line):
        return self.times[self.stdout_lines.index(line)]


class Scratch:
    """A scratch directory: the launcher's current directory, plus a trace file beside it."""

    def __init__(self, test=None):
        self.root = tempfile.mkdtemp(prefix="zyn-e2e-")
        self.dir = os.path.join(self.root, "run")
        os.mkdir(self.dir)
        self.trace = os.path.join(self.root, "trace.txt")
        if test is not None:
            test.addCleanup(self.remove)

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, lines_or_bytes, crlf=True, last_line_end=True):
        """Writes bytes as given, or lines joined with CR LF (or LF)."""
        if isinstance(lines_or_bytes, bytes):
            data = lines_or_bytes
        else:
            end = "\r\n" if crlf else "\n"
            data = end.join(lines_or_bytes) + (end if last_line_end else "")
            data = data.encode("latin-1")
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def exists(self, name):
        return os.path.exists(self.path(name))

    def install_stub(self, name, size=None):
        """Copies the stub component in under NAME; SIZE truncates it (to make a short file)."""
        shutil.copyfile(os.path.join(BIN_DIR, "zynStub" + EXE), self.path(name))
        os.chmod(self.path(name), 0o755)
        if size is not None:
            os.truncate(self.path(name), size)

    def install_components(self, names=COMPONENTS):
        for name in names:
            self.install_stub(name)

    def prepare_launch(self, state=None, user_config=None, components=COMPONENTS):
        """The usual set-up: stubs, a system state file, optionally a user configuration."""
        self.install_components(components)
        self.write("zynSystemConfig.txt", state if state is not None else system_state())
        if user_config is not None:
            self.write("zynUserConfig.txt", user_config)

    def trace_lines(self):
        try:
            with open(self.trace, "rb") as f:
                return f.read().decode("latin-1").splitlines()
        except FileNotFoundError:
            return []

    def stub_starts(self, expected=0, timeout=10.0):
        """The stub log's entries; waits up to TIMEOUT for at least EXPECTED of them (children
        run detached, so their line may come a moment after the launcher has ended)."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                with open(self.path("zynStub.log"), "rb") as f:
                    text = f.read().decode("latin-1")
            except FileNotFoundError:
                text = ""
            starts = [StubStart(l) for l in text.splitlines() if l]
            if len(starts) >= expected or time.monotonic() > deadline:
                return starts
            time.sleep(0.05)

    def files(self):
        return sorted(os.listdir(self.dir))

    def windows_path(self, path=None):
        return "Z:" + (path or self.dir).replace("/", "\\")


# ---- the Linux program ---------------------------------------------------------------------


class LinuxLaunch:
    """A running Linux launcher whose standard output lines are collected with arrival times.
    It is installed under NAME, by default the name the launcher has on both platforms (its
    version check reads that file)."""

    def __init__(self, scratch, args=(), isolated=False, env=None, name="zynLaunch.exe",
                 launcher_dir=None, program="zynLaunch"):
        """LAUNCHER_DIR: the folder to start the launcher from (default: its current one);
        PROGRAM: the build's program installed under NAME."""
        self.scratch = scratch
        launcher = os.path.join(launcher_dir or scratch.dir, name)
        shutil.copyfile(os.path.join(BIN_DIR, program), launcher)
        os.chmod(launcher, 0o755)
        environment = dict(os.environ)
        environment["ZYN_LAUNCH_TRACE"] = scratch.trace
        environment.pop("ZYN_IN_NETNS", None)
        environment.update(env or {})
        command = [launcher if launcher_dir else "./" + name] + list(args)
        if isolated:
            # A namespace of its own, so launches of one test can run side by side.
            command = [NETNS_RUN] + command
        self.started = time.monotonic()
        self.proc = subprocess.Popen(command, cwd=scratch.dir, env=environment,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
        self.stdout_lines, self.times = [], []
        self._cond = threading.Condition()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for raw in self.proc.stdout:
            with self._cond:
                self.stdout_lines.append(raw.decode("latin-1").rstrip("\n"))
                self.times.append(time.monotonic() - self.started)
                self._cond.notify_all()
        with self._cond:
            self._cond.notify_all()

    def wait_for_line(self, line, timeout=15.0):
        """Blocks until the launcher printed LINE; false when it did not within TIMEOUT."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while line not in self.stdout_lines:
                remaining = deadline - time.monotonic()
                if remaining <= 0 or (self.proc.poll() is not None and
                                      not self._reader.is_alive()):
                    return line in self.stdout_lines
                self._cond.wait(min(remaining, 0.1))
            return True

    def signal(self, signum):
        self.proc.send_signal(signum)

    def wait(self, timeout=30.0):
        try:
            rc = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            rc = "timeout"
        self._reader.join(5)
        self.proc.stdout.close()
        duration = time.monotonic() - self.started
        return Result(rc, self.scratch.trace_lines(), list(self.stdout_lines), list(self.times),
                      duration)


def run_linux_parallel(jobs, timeout=30.0):
    """Runs several launches at once, each in a network namespace of its own: JOBS is a list of
    (scratch, args) or (scratch, args, LinuxLaunch keywords); returns their results in order."""
    launches = [LinuxLaunch(scratch, args, isolated=True, **(more[0] if more else {}))
                for scratch, args, *more in jobs]
    return [launch.wait(timeout) for launch in launches]


# ---- the Windows program -------------------------------------------------------------------


def wine_environment():
    env = dict(os.environ)
    env["WINEDEBUG"] = "-all"
    return env


def wineserver_restart():
    """Ends any wineserver of the prefix, so the next Wine start makes one in this network
    namespace (Wine's sockets are the wineserver's)."""
    env = wine_environment()
    subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def probe(*args, timeout=20.0):
    """Runs the UI probe (tools/probe) under Wine; returns (exit status, output text)."""
    proc = subprocess.run(["wine", os.path.join(BIN_DIR, "probe.exe")] + list(args),
                          env=wine_environment(), stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout)
    return proc.returncode, proc.stdout.decode("latin-1").replace("\r\n", "\n")


WINDOW_CAPTION = "Tarvo Zyn Vantor VII"


def probe_escape(caption=WINDOW_CAPTION):
    """Presses Escape in the launcher's window."""
    return probe("escape", caption)[0] == 0


class WindowsLaunch:
    """A running Windows launcher under Wine, started from a copy in the scratch directory."""

    def __init__(self, scratch, args=(), name="zynLaunch.exe"):
        self.scratch = scratch
        if not scratch.exists(name):
            shutil.copyfile(os.path.join(BIN_DIR, "zynLaunch.exe"), scratch.path(name))
        env = wine_environment()
        env["ZYN_LAUNCH_TRACE"] = scratch.windows_path(scratch.trace)
        self.started = time.monotonic()
        self.proc = subprocess.Popen(["wine", name] + list(args), cwd=scratch.dir, env=env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)

    def wait_for_line(self, line, timeout=20.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if line in self.scratch.trace_lines():
                return True
            if self.proc.poll() is not None:
                return line in self.scratch.trace_lines()
            time.sleep(0.05)
        return False

    def wait(self, timeout=40.0, answer_messages=True, caption="zynLaunch"):
        """Waits for the end; every message box the trace reports is answered with OK by the
        probe, which also reads the box's own text (Result.box_texts)."""
        deadline = time.monotonic() + timeout
        box_texts = []
        while self.proc.poll() is None and time.monotonic() < deadline:
            messages = [l for l in self.scratch.trace_lines() if l.startswith("message ")]
            if answer_messages and len(messages) > len(box_texts):
                status, text = probe("answer", caption, "10000")
                if status == 0:
                    box_texts.append(text.rstrip("\n"))
                    continue
            time.sleep(0.05)
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
            rc = "timeout"
        else:
            rc = self.proc.returncode
        result = Result(rc, self.scratch.trace_lines(), [], [], time.monotonic() - self.started)
        result.box_texts = box_texts
        return result


# ---- the network ---------------------------------------------------------------------------


@contextlib.contextmanager
def hold_udp_port(port, address="0.0.0.0"):
    """Holds a UDP port the way a running engine would."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((address, port))
    try:
        yield s
    finally:
        s.close()


# ---- test files ----------------------------------------------------------------------------


class LaunchTestCase(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        if not BIN_DIR or not os.path.isdir(BIN_DIR):
            raise unittest.SkipTest("ZYN_BIN_DIR does not name the build's bin directory")
        if PLATFORM == "win32":
            wineserver_restart()

    @classmethod
    def tearDownClass(cls):
        if PLATFORM == "win32":
            wineserver_restart()

    def scratch(self):
        return Scratch(self)


def main():
    unittest.main(verbosity=2)


