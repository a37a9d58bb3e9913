"""The Linux program killed (SIGKILL) at random instants of a state rewrite, a large download and
each run of a self-update; a launch offline after each kill must start the engine and the user
interface it finds whole, then one plain launch must leave the served components whole, one
launcher and no temporary file. Each round
(own namespace and nginx) waits for its phase's anchor, then a delay drawn from its seed. 8
rounds, 50 with ZYN_SOAK=1; ZYN_KILL_SEED=N replays a printed seed."""

import ctypes
import hashlib
import json
import os
import random
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

from netcases import (FETCH_FAILED, NEW_LAUNCHER, OLD_LAUNCHER, STUB_NEW, installed_state, read,
                      serve_state)
from zynnet import Network, Nginx
from zyntest import (BIN_DIR, COMPONENTS, INITIAL_STATUS, NETNS_RUN, LaunchTestCase,
                     LinuxLaunch, Scratch, main, wait_until)

ROUNDS = 50 if os.environ.get("ZYN_SOAK") == "1" else 8
TRANSFER_SECONDS = 2.0  # what each rate-limited download takes

# phase: (launcher installed, state served, run killed, the file whose temporary file anchors
# the kill (None: the run's first line), delay range in seconds)
PHASES = {
    "state": (NEW_LAUNCHER, "state", 1, "zynSystemConfig.txt", (0, 0.01)),
    "download": (NEW_LAUNCHER, "download", 1, "zynEngine.exe", (0, TRANSFER_SECONDS)),
    "run1": (OLD_LAUNCHER, "selfupdate", 1, "zynLaunchTemp.exe", (0, TRANSFER_SECONDS)),
    "run2": (OLD_LAUNCHER, "selfupdate", 2, "zynLaunch.exe", (0, 0.05)),
    "run3": (OLD_LAUNCHER, "selfupdate", 3, None, (0, 5.0)),
}
RUN_ARGUMENT = {2: "-stage1", 3: "-stage2"}
SERVED = {"zynEngine.exe": ("fast", STUB_NEW), "zynLaunchTemp.exe": ("slow", NEW_LAUNCHER)}
AFTER = sorted(COMPONENTS + ("zynLaunch.exe", "zynStub.log", "zynSystemConfig.txt",
                             "zynUserConfig.txt"))
LIBC = ctypes.CDLL(None, use_errno=True)


class Watch:
    """The names created or written in folders, through inotify: a file that lives for a
    millisecond is seen all the same."""

    def __init__(self, *folders):
        self.fd, self.seen = LIBC.inotify_init1(os.O_CLOEXEC), set()
        if self.fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        for folder in folders:  # IN_CREATE | IN_MOVED_TO | IN_MODIFY
            LIBC.inotify_add_watch(self.fd, folder.encode(), 0x100 | 0x80 | 0x2)

    def until(self, condition, timeout):
        deadline = time.monotonic() + timeout
        while not condition():
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([self.fd], [], [], remaining)[0]:
                return False
            data = os.read(self.fd, 65536)
            while data:
                length = int.from_bytes(data[12:16], sys.byteorder)
                self.seen.add(data[16:16 + length].rstrip(b"\0").decode())
                data = data[16 + length:]
        return True


def launchers(folder):
    """{pid: argument words} of the launchers running in FOLDER."""
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink("/proc/%s/cwd" % pid) == folder:
                words = read("/proc/%s/cmdline" % pid).decode("latin-1").split("\0")[:-1]
                if words and os.path.basename(words[0]).startswith("zynLaunch"):
                    found[int(pid)] = words
        except OSError:  # ended meanwhile
            pass
    return found


def wait_quiet(scratch, timeout):
    quiet = wait_until(lambda: not launchers(scratch.dir), timeout)
    scratch.ended = time.monotonic()
    return quiet


def digest(path):
    """The file's SHA-256, None when there is no file."""
    if os.path.exists(path):
        with open(path, "rb") as f:
            return hashlib.file_digest(f, "sha256").hexdigest()


def served_state(nginx, served):
    lines = [l for l in installed_state(nginx, served) if not l.startswith("ZynDownloadURL=")]
    lines.append("ZynDownloadURL=%s;" % nginx.url("slow/" if served == "selfupdate" else "fast/"))
    if served == "download":
        lines = [l.replace("Engine;7.0.2.5", "Engine;7.0.2.6") for l in lines]
    if served == "state":  # lines the reader skips, up to just under the limit of a reply
        pad = "[pad %s]" % ("z" * 90)
        lines += [pad] * ((1000000 - len("\n".join(lines))) // (len(pad) + 1))
    return lines


def landing(written, scratch, files, killed):
    """Where the kill landed, from what it left on disk."""
    if not killed:
        return "after the run's end"
    if not written:
        return ("before" if scratch.exists("zynLaunchTemp.exe") else "after") + " removing the copy"
    part = scratch.path(written + ".zynpart")
    if os.path.exists(part) and written in SERVED:
        total = os.path.getsize(os.path.join(files, SERVED[written][0], written))
        return "transfer at %d%%" % (os.path.getsize(part) * 4 // total * 25)
    if os.path.exists(part):
        return "in the write"
    later = len(launchers(scratch.dir)) > (killed in launchers(scratch.dir))
    return "after the rename" + ("; next run started" if later else "")


def launch_again(scratch):
    """A plain launch from the launcher in place: its result and the programs it started."""
    for leftover in (scratch.trace, scratch.path("zynStub.log")):
        if os.path.exists(leftover):
            os.remove(leftover)
    result = LinuxLaunch(scratch, program=None).wait(90)
    wait_quiet(scratch, 90)
    return result, sorted(s.name for s in scratch.stub_starts(expected=2))


def run_round(phase, seed, files):
    installed, served, run, written, (low, high) = PHASES[phase]
    delay = random.Random(seed).uniform(low, high)
    net, scratch = Network(), Scratch()
    try:
        www = os.path.join(net.folder, "www")
        os.makedirs(os.path.join(www, served))
        rates = "".join("location /%s/ { root %s; limit_rate %d; }" % (
            folder, files, os.path.getsize(os.path.join(files, folder, name)) / TRANSFER_SECONDS)
            for name, (folder, _) in SERVED.items())
        nginx = net.start(Nginx, www, locations=rates)
        state = hashlib.sha256(serve_state(os.path.join(www, served), served_state(nginx, served)))
        scratch.prepare_launch(state=installed_state(nginx, served))
        stub, launcher = (digest(os.path.join(BIN_DIR, p)) for p in ("zynStub", NEW_LAUNCHER))
        engine = (digest(os.path.join(files, "fast", "zynEngine.exe")) if served == "download"
                  else stub)
        # What each file may be at any instant: as installed or as served, never cut.
        whole = {"zynSystemConfig.txt": {digest(scratch.path("zynSystemConfig.txt")),
                                         state.hexdigest()},
                 "zynLaunch.exe": {digest(os.path.join(BIN_DIR, installed)), launcher},
                 "zynEngine.exe": {stub, engine, None}}

        watch = Watch(scratch.dir, scratch.root)
        first = LinuxLaunch(scratch, program=installed)
        runs = lambda: scratch.trace_lines().count("status " + INITIAL_STATUS)
        if not watch.until(lambda: runs() >= run, 60):
            sys.exit("run %d never started" % run)
        pid = first.proc.pid if run == 1 else next(
            p for p, words in launchers(scratch.dir).items() if RUN_ARGUMENT[run] in words)
        if not watch.until(lambda: not written or written + ".zynpart" in watch.seen, 60):
            sys.exit("%s was never written" % written)
        os.close(watch.fd)
        time.sleep(delay)
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pid = None
        landed = landing(written, scratch, files, pid)
        cut = ["%s cut by the kill" % n for n, ok in whole.items()
               if digest(scratch.path(n)) not in ok]
        first.wait(60)
        if not wait_quiet(scratch, 60):
            sys.exit("the runs after the kill did not end")
        # What a run that outlived the kill started logs itself a moment after that run's end.
        starts = sum(l.startswith("status starting zyn") for l in scratch.trace_lines())
        if starts:
            scratch.stub_starts(expected=starts)

        # Offline, then the plain launch, each from the launcher as the run before left it.
        nginx.stop()
        offline, started_offline = launch_again(scratch)
        cut += ["%s cut offline" % n for n, ok in whole.items()
                if n != "zynSystemConfig.txt" and digest(scratch.path(n)) not in ok - {None}]
        nginx.start()
        result, started = launch_again(scratch)
        quiet = wait_quiet(scratch, 90)
        served_files = dict({n: {stub} for n in COMPONENTS}, **{
            "zynLaunch.exe": {launcher}, "zynEngine.exe": {engine},
            "zynSystemConfig.txt": {state.hexdigest()}})
        checks = {"offline: ended with %s %s" % (offline.returncode, offline.messages()):
                      offline.returncode in (0, 1) and set(offline.messages()) <= {FETCH_FAILED},
                  "offline: started %s" % started_offline:
                      started_offline == ["zynEngine.exe", "zynUI.exe"],
                  "its runs did not end": quiet,
                  "ended with %s %s" % (result.returncode, result.messages()):
                      (result.returncode, result.messages()) == (0, []),
                  "started %s" % started: started == ["zynEngine.exe", "zynUI.exe"],
                  "files %s" % scratch.files(): scratch.files() == AFTER}
        problems = cut + [problem for problem, ok in checks.items() if not ok] + [
            "%s differs from the one served" % n for n, ok in served_files.items()
            if digest(scratch.path(n)) not in ok]
        return dict(landed=landed, problems=problems)
    finally:
        net.stop()
        scratch.remove()


class KillMatrix(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.files = tempfile.mkdtemp(prefix="zyn-kill-")
        cls.addClassCleanup(shutil.rmtree, cls.files, True)
        for name, (folder, built) in SERVED.items():
            os.mkdir(os.path.join(cls.files, folder))
            shutil.copyfile(os.path.join(BIN_DIR, built), os.path.join(cls.files, folder, name))
        # The new engine made 64 MiB: the bytes after its end change nothing of the program.
        os.truncate(os.path.join(cls.files, "fast", "zynEngine.exe"), 64 << 20)

    def play(self, phase, seed):
        """One round in a network namespace of its own."""
        proc = subprocess.run([NETNS_RUN, sys.executable, os.path.abspath(__file__), "--round",
                               phase, str(seed), self.files], env=dict(os.environ, ZYN_IN_NETNS=""),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=400)
        try:
            result = json.loads(proc.stdout.decode().splitlines()[-1])
        except (IndexError, ValueError):  # an early end's reason is the end of its stderr
            result = dict(landed="?", problems=["round failed: %s" % proc.stderr.decode()[-2000:]])
        print("  %-8s seed %d: kill %s -> %s" % (phase, seed, result["landed"],
                                                 "; ".join(result["problems"]) or "ok"), flush=True)
        return not result["problems"]

    def test_a_launch_killed_at_any_instant_is_mended_by_the_next_plain_launch(self):
        seed = int(os.environ.get("ZYN_KILL_SEED") or random.SystemRandom().randrange(1 << 30))
        print("kill matrix: %d rounds, seed %d" % (ROUNDS, seed), flush=True)
        started = time.monotonic()
        with ThreadPoolExecutor(4) as pool:
            passed = sum(pool.map(lambda i: self.play(list(PHASES)[i % len(PHASES)], seed + i),
                                  range(ROUNDS)))
        print("kill matrix: %d of %d rounds passed in %.0f s" % (
            passed, ROUNDS, time.monotonic() - started), flush=True)
        self.assertEqual(passed, ROUNDS)


if __name__ == "__main__":
    if sys.argv[1:2] == ["--round"]:
        print(json.dumps(run_round(sys.argv[2], int(sys.argv[3]), sys.argv[4])))
    else:
        main()
