"""Harness of the end-to-end tests: the built programs (ZYN_BIN_DIR) in scratch folders, one launch
class for the Linux program and for the Windows one under Wine (ZYN_PLATFORM=win32), whose window
lines ZYN_LAUNCH_TRACE collects; the state builder, the case runner; stubs log to zynStub.log."""

import contextlib
import fcntl
import os
import re
import shutil
import subprocess
import struct
import tempfile
import termios
import threading
import time
import unittest

from zynnet import Network, wait_until

BIN_DIR = os.environ.get("ZYN_BIN_DIR", "")
WINDOWS = os.environ.get("ZYN_PLATFORM") == "win32"
EXE = ".exe" if WINDOWS else ""
NETNS_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                         "netns-run.sh")
COMPONENTS = ("zynEngine.exe", "zynConfig.exe", "zynUI.exe", "pssdk_dll.dll")
STUB, STUB_NEW = "zynStub" + EXE, "zynStub-7.0.2.6" + EXE  # installed and served components
NEW_LAUNCHER, OLD_LAUNCHER = "zynLaunch", "zynLaunchOld"
DEAD = "http://127.0.0.1:9/"  # where nobody listens
KEYS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "unit", "data")
SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
# A launch takes no proxy from the test's environment unless the test gives it one.
NO_PROXY = dict.fromkeys(["http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "no_proxy",
                          "NO_PROXY"], "")

INITIAL_STATUS = "zyn is initialising.."
ENGINE_RUNNING = ("A running zynEngine was detected on this computer already. Please close the "
                  "existing zyn engine by right clicking it on the taskbar.")
DOWNLOAD_FAILED = ("Zyn failed to download one or more components - please restart Zyn to "
                   "download these components.")
FETCH_FAILED = "The download failed"
NO_STATE_FILE = "Zyn could not locate its system state file - please visit "
WINDOW_CAPTION = "Tarvo Zyn Vantor VII"
PAST_GUARD = "status downloading system state.."
CLOSING = "status closing zynLaunch.."

ORBITALS = ("orb1.example.net:4000", "orb2.example.net:4000")
VERSIONS = dict(Engine="7.0.2.5", Config="7.0.2.5", Launch="1.0.0.0", UI="7.0.2.5",
                NetworkServices="7.0.2.5")
# The engine's words for system_state()'s defaults and the default user configuration.
ENGINE_WORDS = ["-mode", "engine", "-orbitals", "orb1.example.net:4000Oorb2.example.net:4000O",
                "-username", "!", "-password", "!", "-port", "0", "-accept", "LOCAL",
                "-timeout", "NOUI", "-nic", "0"]
WHOLE_LAUNCH = [
    "status " + INITIAL_STATUS, "progress 10", "status evaluating local ip conditions..",
    "progress 20", PAST_GUARD, "progress 40", "status processing system directives..",
    "progress 60", "status evaluating zyn dependencies", "progress 80",
    "status scanning 1 deep resolution servers..", "progress 90", "status starting zynEngine..",
    "progress 100", "status starting zynUI", CLOSING]


def system_state(update="http://update.example.net/zyn/",
                 mirrors=("http://download.example.net/zyn/",), versions=None, orbitals=ORBITALS,
                 deep=("deep.example.net",), extra=()):
    """A system state's lines; VERSIONS changes listed ones."""
    return (["[ZynSystemConfig]", "ZynUpdateURL=%s;" % update] +
            ["ZynDownloadURL=%s;" % m for m in mirrors] +
            ["ZynOrbitalServer=%s;" % o for o in orbitals] +
            ["ZynDeepResolutionServer=%s;" % d for d in deep] +
            ["ZynVersion=%s;%s;" % v for v in dict(VERSIONS, **(versions or {})).items()] +
            ["ZynUI=Default;UI;zynUI.exe;"] + list(extra))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def text(path):
    """The file's text, "" while there is none."""
    with contextlib.suppress(FileNotFoundError):
        return read(path).decode("latin-1")
    return ""


def program(name):
    return read(os.path.join(BIN_DIR, name))


def installed(served):
    """A served state as a launcher writes it into its folder."""
    return served.split(b"\n", 1)[1].replace(b"\n", b"\r\n")


def serve_state(folder, lines):
    """Serves LINES as the state in FOLDER; the state file a launcher makes of it."""
    write(os.path.join(folder, "clientgetconfig.php"),
          ("ZYN_XSERVER_CONFIG;\n" + "\n".join(lines) + "\n").encode("latin-1"))
    return installed(read(os.path.join(folder, "clientgetconfig.php")))


def make_release(folder, description, programs):
    """A release: zynRelease.txt (bytes, or lines) and PROGRAMS ({name: build program})."""
    for name, built in programs.items():
        write(os.path.join(folder, name), program(built))
    write(os.path.join(folder, "zynRelease.txt"), description if isinstance(description, bytes)
          else "".join(l + "\n" for l in description).encode("latin-1"))
    return folder


def sign_tool(*args, cwd=None, env=None):
    """zynSign (the Windows tests take the native build's), in a session of its own so that no
    terminal is asked."""
    return subprocess.run([os.path.join(os.environ.get("ZYN_NATIVE_BIN_DIR") or BIN_DIR,
                                        "zynSign"), *args], cwd=cwd, capture_output=True,
                          timeout=60, start_new_session=True, env=dict(os.environ, **dict(
                              NO_PROXY, **(env or {}))))


def urls(names, nginx, hostile=None):
    """Each name's URL: "hostile:PATH" that path of HOSTILE, a URL itself, else NGINX's folder."""
    return [hostile.url(n[8:] + "/") if n.startswith("hostile:") else n if "://" in n else
            nginx.url(n + "/") for n in names]


class StubStart:
    """A line of zynStub.log: name, command line, folder (UTF-8), words (0x1f between them)."""

    def __init__(self, line):
        self.name, self.command_line, cwd, *words = line.split("\t")
        self.cwd = cwd.encode("latin-1").decode("utf-8", "replace")
        self.words = (words or [self.command_line])[0].split("\x1f")
        self.args = self.words[1:]


class Scratch:
    """A scratch folder: the launcher's current folder NAME, and its trace file beside it."""

    def __init__(self, cleanup=None, name="run"):
        self.root = tempfile.mkdtemp(prefix="zyn-e2e-")
        self.dir = os.path.join(self.root, name)
        os.mkdir(self.dir)
        self.trace = os.path.join(self.root, "trace.txt")
        if cleanup:
            cleanup(shutil.rmtree, self.root, True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        """Bytes as given, or lines each ended by CR LF."""
        if not isinstance(data, bytes):
            data = "".join(line + "\r\n" for line in data).encode("latin-1")
        write(self.path(name), data)

    def read(self, name):
        return read(self.path(name))

    def exists(self, name):
        return os.path.exists(self.path(name))

    def files(self):
        return sorted(os.listdir(self.dir))

    def partial_files(self):
        return [f for f in self.files() if ".zynpart" in f]

    def install(self, name, built=STUB):
        # cp, not a copy here: a launch forked meanwhile by another thread would inherit the
        # writing descriptor and the program could not be started (Text file busy).
        subprocess.run(["cp", os.path.join(BIN_DIR, built), self.path(name)], check=True)
        os.chmod(self.path(name), 0o755)

    def prepare_launch(self, state=None, user_config=None):
        """Stubs, a system state file and optionally a user configuration."""
        for name in COMPONENTS:
            self.install(name)
        self.write("zynSystemConfig.txt", system_state() if state is None else state)
        if user_config is not None:
            self.write("zynUserConfig.txt", user_config)

    def trace_lines(self):
        return text(self.trace).splitlines()

    def stub_starts(self, expected=0, timeout=30):
        """The stub log's entries once there are EXPECTED (children run detached)."""
        wait_until(lambda: text(self.path("zynStub.log")).count("\n") >= expected, timeout)
        return [StubStart(l) for l in text(self.path("zynStub.log")).splitlines() if l]

    def started(self, expected=2):
        return [s.name for s in self.stub_starts(expected)]

    def windows_path(self, path=None):
        return "Z:" + (path or self.dir).replace("/", "\\")


def wine_env():
    return dict(os.environ, WINEDEBUG="-all")


def wineserver_restart():
    """The next Wine start makes a wineserver in this network namespace: Wine's sockets are its."""
    for option in ("-k", "-w"):
        subprocess.run(["wineserver", option], env=wine_env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


def wine_reg(*args):
    subprocess.run(["wine", "reg", *args, "/f"], env=wine_env(), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=120)


def set_proxy(server=None, bypass=None):
    """The Wine prefix's proxy setting, with the hosts reached directly; None turns it off."""
    wine_reg("add", SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "1" if server else "0")
    if server:
        wine_reg("add", SETTINGS, "/v", "ProxyServer", "/t", "REG_SZ", "/d", server)
    wine_reg(*(["add", SETTINGS, "/v", "ProxyOverride", "/t", "REG_SZ", "/d", bypass] if bypass
               else ["delete", SETTINGS, "/v", "ProxyOverride"]))


def probe(*args):
    """The UI probe (tools/probe) run under Wine: (exit status, output)."""
    proc = subprocess.run(["wine", os.path.join(BIN_DIR, "probe.exe"), *args], env=wine_env(),
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
    return proc.returncode, proc.stdout.decode("latin-1").replace("\r\n", "\n")


def read_window():
    """The probe's view of the launch window as a dict; {} when it found none."""
    rc, out = probe("read", WINDOW_CAPTION, "20000")
    return dict(line.split(" ", 1) for line in out.splitlines() if " " in line) if rc == 0 else {}


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def launchers(scratch):
    """{pid: argument words} of the launchers that write SCRATCH's trace."""
    mark, found = ("ZYN_LAUNCH_TRACE=" + Launch.trace_name(scratch)).encode(), {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError):
            words = read("/proc/%s/cmdline" % pid).split(b"\0")[:-1]
            if words and re.search(rb"zynLaunch[^/\\]*$", words[0]) and \
                    mark in read("/proc/%s/environ" % pid).split(b"\0"):
                found[int(pid)] = [w.decode("latin-1") for w in words]
    return found


class Launch:
    """The launcher started in SCRATCH, PROGRAM first installed as NAME (None: the one there). On
    Linux (ISOLATED: in a network namespace of its own) its output lines are timed, or its panel's
    bytes kept (output) with a TERMINAL; on Windows REGISTRY is set_proxy's while it opens."""

    def __init__(self, scratch, args=(), program=NEW_LAUNCHER, name="zynLaunch.exe", env=None,
                 isolated=False, terminal=False, registry=None):
        self.scratch, self.stdout_lines, self.times, self.output = scratch, [], [], []
        if program:
            scratch.install(name, program + EXE)
        env = dict(wine_env(), ZYN_LAUNCH_TRACE=self.trace_name(scratch),
                   **dict(NO_PROXY, **(env or {})))
        env.pop("ZYN_IN_NETNS", None)
        command = ["wine", name] if WINDOWS else ["./" + name]
        streams = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL if WINDOWS else
                       subprocess.PIPE, stderr=subprocess.DEVNULL if WINDOWS else None)
        self.terminal = terminal and not WINDOWS and os.openpty()
        if self.terminal:
            self.resize(24, 80)
            streams = dict(dict.fromkeys(["stdin", "stdout", "stderr"], self.terminal[1]),
                           start_new_session=True,
                           preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        if WINDOWS and registry:
            set_proxy(*registry)
        self.started = time.monotonic()
        self.proc = subprocess.Popen(([NETNS_RUN] if isolated else []) + command + list(args),
                                     cwd=scratch.dir, env=env, **streams)
        if self.terminal:
            os.close(self.terminal[1])
        if not WINDOWS:
            self.reader = threading.Thread(target=self._read, daemon=True)
            self.reader.start()
        elif registry:  # the window has read it: later launches must not find it
            self.wait_for_line(PAST_GUARD, 30)
            set_proxy()

    def resize(self, rows, columns):
        fcntl.ioctl(self.terminal[0], termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))

    @staticmethod
    def trace_name(scratch):
        return scratch.windows_path(scratch.trace) if WINDOWS else scratch.trace

    def _read(self):
        if self.terminal:
            with contextlib.suppress(OSError):  # EIO once the program has ended
                for data in iter(lambda: os.read(self.terminal[0], 65536), b""):
                    self.output.append(data)
            return
        for raw in self.proc.stdout:
            self.times.append(time.monotonic() - self.started)
            self.stdout_lines.append(raw.decode("latin-1").rstrip("\n"))

    def wait_for_line(self, line, timeout=60):
        """Whether the trace holds LINE before the launch ends or TIMEOUT passes."""
        wait_until(lambda: line in self.scratch.trace_lines() or self.proc.poll() is not None,
                   timeout)
        return line in self.scratch.trace_lines()

    def wait(self, timeout=90, runs=1, answer_boxes=True, caption="zynLaunch"):
        """Waits for the end and the RUNS a self-update hands over to; the probe answers boxes."""
        deadline = time.monotonic() + timeout
        self.box_texts = self._answer_boxes(deadline, caption) if WINDOWS and answer_boxes else []
        try:
            self.returncode = self.proc.wait(max(0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            self.returncode = "timeout"
        if runs > 1:
            lines = self.scratch.trace_lines
            wait_until(lambda: lines().count("status " + INITIAL_STATUS) >= runs and
                       lines()[-1:] == [CLOSING] and not launchers(self.scratch),
                       max(0, deadline - time.monotonic()))
        if not WINDOWS:
            self.reader.join(5)
            if self.proc.stdout:
                self.proc.stdout.close()
        self.duration, self.lines = time.monotonic() - self.started, self.scratch.trace_lines()
        return self

    def _answer_boxes(self, deadline, caption):
        # A box whose line stays the last for 3 s is asked again: launches side by side share
        # the caption, so a probe may have answered another's.
        texts, seen = [], [None, 0]

        def box_waiting():
            lines = self.scratch.trace_lines()
            if lines != seen[0]:
                seen[:] = lines, time.monotonic()
            return (sum(l.startswith("message ") for l in lines) > len(texts) or
                    lines[-1:] != [] and lines[-1].startswith("message ") and
                    time.monotonic() - seen[1] > 3)
        while wait_until(lambda: self.proc.poll() is not None or box_waiting(),
                         deadline - time.monotonic()) and self.proc.poll() is None:
            status, text = probe("answer", caption, "20000")
            seen[1] = time.monotonic()
            if status == 0:
                texts.append(text.rstrip("\n"))
        return texts

    def messages(self):
        return [l[len("message "):] for l in self.lines if l.startswith("message ")]

    def outcome(self):
        return self.returncode, self.messages()


def run_cases(names, start, runs=None, timeout=90):
    """Starts each start(name) once the one before is past its engine guard (one port for all);
    their results, each after its RUNS[name] runs."""
    launches = {}
    for name in names:
        launches[name] = start(name)
        launches[name].wait_for_line(PAST_GUARD, 30)
    return {name: launch.wait(timeout, (runs or {}).get(name, 1))
            for name, launch in launches.items()}


class LaunchTestCase(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        # A missing build is a failure, never a skip that would count as passed.
        if not os.path.isfile(os.path.join(BIN_DIR, NEW_LAUNCHER + EXE)):
            raise AssertionError("no built launcher in %r: set ZYN_BIN_DIR" % BIN_DIR)
        if WINDOWS:
            wineserver_restart()

    @classmethod
    def open_network(cls, files):
        """The class's network; its www folder, zyn/ holding FILES ({name: build program})."""
        cls.net = Network()
        cls.addClassCleanup(cls.net.stop)
        www = os.path.join(cls.net.folder, "www")
        for name, built in files.items():
            write(os.path.join(www, "zyn", name), program(built))
        return www


def main():
    unittest.main(verbosity=2)
