"""Harness for the end-to-end tests: runs the built launcher in a scratch directory and reads
what it left behind.

* CTest runs each tests/e2e/test_*.py in its own network namespace (scripts/netns-run.sh), so
  fixed ports never collide. test_*_win*.py files drive the Windows program under Wine (MinGW
  build, one at a time; scripts/test.sh sets WINEPREFIX and DISPLAY); the others drive the Linux
  program. From CTest: ZYN_BIN_DIR (zynLaunch[.exe], zynStub[.exe], probe.exe), ZYN_PLATFORM.
* The stub component appends "name TAB command line TAB current directory (UTF-8)" to
  zynStub.log in its current directory. The command line is, on Windows, the raw
  GetCommandLineA() text, followed after the directory by TAB and the words the C runtime made
  of it; on Linux, the argv words. Words are joined with the byte 0x1f (StubStart.words).
* The launcher's window reports in lines: "status TEXT", "progress N", "picture N",
  "message TEXT" (Linux: on standard output when it is not a terminal; both programs: appended
  to the file named by ZYN_LAUNCH_TRACE). Exit status 0 normal end, 1 ended through an error
  message, 2 dismissed by the user.
* Waits are generous and end at the awaited event, so a loaded machine only makes them slower.
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

# Components a launch needs present and complete before it starts anything.
COMPONENTS = ("zynEngine.exe", "zynConfig.exe", "zynUI.exe", "pssdk_dll.dll")

INITIAL_STATUS = "zyn is initialising.."
ENGINE_RUNNING = ("A running zynEngine was detected on this computer already. Please close the "
                  "existing zyn engine by right clicking it on the taskbar.")
DOWNLOAD_FAILED = ("Zyn failed to download one or more components - please restart Zyn to "
                   "download these components.")
NO_STATE_FILE_PREFIX = "Zyn could not locate its system state file - please visit "
NO_STATE_FILE_SUFFIX = " for help."

# The engine's options from the default user configuration, its words and the trace of a whole
# launch from local files (system_state()'s defaults).
DEFAULT_OPTIONS = ["-username", "!", "-password", "!", "-port", "0", "-accept", "LOCAL",
                   "-timeout", "NOUI", "-nic", "0"]
ENGINE_WORDS = ["-mode", "engine", "-orbitals", "orb1.example.net:4000Oorb2.example.net:4000O"
                ] + DEFAULT_OPTIONS
WHOLE_LAUNCH = [
    "status " + INITIAL_STATUS, "progress 10", "status evaluating local ip conditions..",
    "progress 20", "status downloading system state..", "progress 40",
    "status processing system directives..", "progress 60", "status evaluating zyn dependencies",
    "progress 80", "status scanning 1 deep resolution servers..", "progress 90",
    "status starting zynEngine..", "progress 100", "status starting zynUI",
    "status closing zynLaunch..",
]


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


def wait_until(condition, timeout=10.0):
    """Polls CONDITION until it holds or TIMEOUT passes; its last answer."""
    deadline = time.monotonic() + timeout
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.05)
    return condition()


def expected_engine_words(orbitals, options):
    """The engine's argument words for the given orbital servers and user options."""
    return ["-mode", "engine", "-orbitals", "".join(o + "O" for o in orbitals)] + options


class StubStart:
    """One line of zynStub.log."""

    def __init__(self, line):
        fields = line.split("\t")
        self.name, self.command_line = fields[:2]
        self.cwd = fields[2].encode("latin-1").decode("utf-8", "replace")
        self.words = fields[-1 if len(fields) > 3 else 1].split("\x1f")

    @property
    def args(self):
        return self.words[1:]


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

    def __init__(self, test=None, name="run"):
        self.root = tempfile.mkdtemp(prefix="zyn-e2e-")
        self.dir = os.path.join(self.root, name)
        os.mkdir(self.dir)
        self.trace = os.path.join(self.root, "trace.txt")
        self.ended = None  # when the last launch in it ended (time.monotonic())
        if test is not None:
            test.addCleanup(self.remove)

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        """Writes bytes as given, or lines each ended by CR LF."""
        if not isinstance(data, bytes):
            data = "".join(line + "\r\n" for line in data).encode("latin-1")
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def exists(self, name):
        return os.path.exists(self.path(name))

    def install_program(self, name, program="zynStub" + EXE, folder=None):
        """Copies the build's PROGRAM in under NAME (into FOLDER, by default the run folder)."""
        path = os.path.join(folder or self.dir, name)
        shutil.copyfile(os.path.join(BIN_DIR, program), path)
        os.chmod(path, 0o755)

    def install_components(self, names=COMPONENTS):
        for name in names:
            self.install_program(name)

    def prepare_launch(self, state=None, user_config=None):
        """The usual set-up: stubs, a system state file, optionally a user configuration."""
        self.install_components()
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
        run detached, so their line may come a moment after the launcher has ended). With none
        expected it waits the whole TIMEOUT, from the launch's end when known, so that a start
        made by mistake shows."""
        deadline = (self.ended or time.monotonic()) + timeout
        while True:
            try:
                with open(self.path("zynStub.log"), "rb") as f:
                    text = f.read().decode("latin-1")
            except FileNotFoundError:
                text = ""
            starts = [StubStart(l) for l in text.splitlines() if l]
            if (expected and len(starts) >= expected) or time.monotonic() > deadline:
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
        PROGRAM: the build's program installed under NAME (None: the one installed there)."""
        self.scratch = scratch
        if program:
            scratch.install_program(name, program, launcher_dir)
        environment = dict(os.environ)
        environment["ZYN_LAUNCH_TRACE"] = scratch.trace
        environment.pop("ZYN_IN_NETNS", None)
        environment.update(env or {})
        command = [os.path.join(launcher_dir or ".", name)] + list(args)
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

    def wait_for_line(self, line, timeout=30.0):
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
        self.scratch.ended = time.monotonic()
        duration = self.scratch.ended - self.started
        return Result(rc, self.scratch.trace_lines(), list(self.stdout_lines), list(self.times),
                      duration)


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


def probe(*args, timeout=60.0):
    """Runs the UI probe (tools/probe) under Wine; returns (exit status, output text). A Wine
    start takes seconds on a loaded machine: give the probe's own wait time on top."""
    proc = subprocess.run(["wine", os.path.join(BIN_DIR, "probe.exe")] + list(args),
                          env=wine_environment(), stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout)
    return proc.returncode, proc.stdout.decode("latin-1").replace("\r\n", "\n")


WINDOW_CAPTION = "Tarvo Zyn Vantor VII"


class WindowsLaunch:
    """A running Windows launcher under Wine, started from a copy in the scratch directory."""

    def __init__(self, scratch, args=(), name="zynLaunch.exe"):
        self.scratch = scratch
        if not scratch.exists(name):
            scratch.install_program(name, "zynLaunch.exe")
        env = wine_environment()
        env["ZYN_LAUNCH_TRACE"] = scratch.windows_path(scratch.trace)
        self.started = time.monotonic()
        self.proc = subprocess.Popen(["wine", name] + list(args), cwd=scratch.dir, env=env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)

    def wait_for_line(self, line, timeout=60.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if line in self.scratch.trace_lines():
                return True
            if self.proc.poll() is not None:
                return line in self.scratch.trace_lines()
            time.sleep(0.05)
        return False

    def wait(self, timeout=60.0, answer_messages=True, caption="zynLaunch"):
        """Waits for the end; every message box the trace reports is answered with OK by the
        probe, which also reads the box's own text (Result.box_texts). The trace line comes
        just before the box opens, so the probe's wait starts from there, not from the start
        of Wine. Launches side by side share the caption, so a probe may answer another's box: a
        launch whose last line stays a message for a few seconds is asked again."""
        deadline = time.monotonic() + timeout
        box_texts, last, since = [], None, time.monotonic()
        while self.proc.poll() is None and time.monotonic() < deadline:
            lines = self.scratch.trace_lines()
            if lines != last:
                last, since = lines, time.monotonic()
            messages = [l for l in lines if l.startswith("message ")]
            waiting = lines[-1:] != [] and lines[-1].startswith("message ")
            if answer_messages and (len(messages) > len(box_texts) or
                                    (waiting and time.monotonic() - since > 3)):
                status, text = probe("answer", caption, "20000")
                since = time.monotonic()
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
        self.scratch.ended = time.monotonic()
        result = Result(rc, self.scratch.trace_lines(), [], [], self.scratch.ended - self.started)
        result.box_texts = box_texts
        return result


# ---- the network ---------------------------------------------------------------------------


@contextlib.contextmanager
def hold_udp_port(port):
    """Holds a UDP port the way a running engine would."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("0.0.0.0", port))
    try:
        yield s
    finally:
        s.close()


# ---- test files ----------------------------------------------------------------------------


class LaunchTestCase(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        # A missing build is a failure, never a skip that would count as passed.
        launcher = os.path.join(BIN_DIR, "zynLaunch" + EXE)
        if not BIN_DIR or not os.path.isfile(launcher):
            raise AssertionError("no built launcher at %r: set ZYN_BIN_DIR" % launcher)
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


