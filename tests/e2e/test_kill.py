"""The Linux program killed (SIGKILL) at random instants of a state rewrite, a large download and
each run of a self-update; then an offline launch must start what it finds whole, and a plain one
leave the served files whole. 8 rounds (ZYN_SOAK=1: 50); ZYN_KILL_SEED=N replays a seed."""

import ctypes
import hashlib
import os
import random
import select
import shutil
import signal
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor

from zynnet import Network, Nginx, wait_until
from zyntest import (COMPONENTS, FETCH_FAILED, INITIAL_STATUS, NEW_LAUNCHER, OLD_LAUNCHER, STUB,
                     STUB_NEW, Launch, LaunchTestCase, Scratch, launchers, main, program, read,
                     serve_state, system_state, write)

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
SERVED = {"zynEngine.exe": ("fast", STUB_NEW), "zynLaunchTemp.exe": ("slow", NEW_LAUNCHER)}
AFTER = sorted(COMPONENTS + ("zynLaunch.exe", "zynStub.log", "zynSystemConfig.txt",
                             "zynUserConfig.txt"))
LIBC = ctypes.CDLL(None, use_errno=True)


class Watch:
    """The names created or written in FOLDERS (inotify: a file of a millisecond shows too)."""

    def __init__(self, *folders):
        self.fd, self.seen = LIBC.inotify_init1(os.O_CLOEXEC), set()
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


def sha(data):
    return hashlib.sha256(data).hexdigest()


def digest(path):
    """The file's SHA-256, None when there is no file."""
    return sha(read(path)) if os.path.exists(path) else None


def launch_again(scratch):
    """A plain launch: its result, whether its hand-overs ended, and the programs started."""
    for leftover in (scratch.trace, scratch.path("zynStub.log")):
        if os.path.exists(leftover):
            os.remove(leftover)
    result = Launch(scratch, program=None).wait(90)
    quiet = wait_until(lambda: not launchers(scratch), 90)
    return result, quiet, sorted(scratch.started())


def run_round(phase, seed, files):
    installed, served, run, written, (low, high) = PHASES[phase]
    delay = random.Random(seed).uniform(low, high)
    net, scratch = Network(), Scratch()
    try:
        www = os.path.join(net.folder, "www")
        rates = "".join("location /%s/ { root %s; limit_rate %d; }" % (
            folder, files, os.path.getsize(os.path.join(files, folder, name)) / TRANSFER_SECONDS)
            for name, (folder, _) in SERVED.items())
        nginx = net.start(Nginx, www, locations=rates)
        update = nginx.url(served + "/")
        # The state phase's lines that the reader skips, up to just under the limit of a reply.
        state = serve_state(os.path.join(www, served), system_state(
            update, [nginx.url("slow/" if served == "selfupdate" else "fast/")],
            dict(Engine="7.0.2.6") if served == "download" else {},
            extra=["[pad %s]" % ("z" * 90)] * (10400 if served == "state" else 0)))
        scratch.prepare_launch(system_state(update))
        stub, launcher, state = sha(program(STUB)), sha(program(NEW_LAUNCHER)), sha(state)
        engine = digest(os.path.join(files, "fast", "zynEngine.exe")) if served == "download" \
            else stub
        # What each file may be at any instant: as installed or as served, never cut.
        whole = {"zynSystemConfig.txt": {digest(scratch.path("zynSystemConfig.txt")), state},
                 "zynLaunch.exe": {sha(program(installed)), launcher},
                 "zynEngine.exe": {stub, engine, None}}

        watch = Watch(scratch.dir, scratch.root)
        first = Launch(scratch, program=installed)
        if not watch.until(lambda: scratch.trace_lines().count("status " + INITIAL_STATUS) >= run,
                           60):
            raise RuntimeError("run %d never started" % run)
        pid = first.proc.pid if run == 1 else next(
            p for p, words in launchers(scratch).items() if "-stage%d" % (run - 1) in words)
        if not watch.until(lambda: not written or written + ".zynpart" in watch.seen, 60):
            raise RuntimeError("%s was never written" % written)
        os.close(watch.fd)
        time.sleep(delay)
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pid = None
        landed = "%s with %s" % ("killed" if pid else "after the run's end", {
            f: os.path.getsize(scratch.path(f)) for f in scratch.files()
            if "zynpart" in f or f == "zynLaunchTemp.exe"})
        cut = ["%s cut by the kill" % n for n, ok in whole.items()
               if digest(scratch.path(n)) not in ok]
        first.wait(60)
        if not wait_until(lambda: not launchers(scratch), 60):
            raise RuntimeError("the runs after the kill did not end")
        # A run that outlived the kill: what it started logs itself after that run's end.
        scratch.stub_starts(sum(l.startswith("status starting zyn") for l in scratch.trace_lines()))

        # Offline, then the plain launch, each from the launcher as the run before left it.
        nginx.stop()
        offline, _, started_offline = launch_again(scratch)
        cut += ["%s cut offline" % n for n, ok in whole.items()
                if n != "zynSystemConfig.txt" and digest(scratch.path(n)) not in ok - {None}]
        nginx.start()
        result, quiet, started = launch_again(scratch)
        served_files = dict({n: {stub} for n in COMPONENTS}, **{
            "zynLaunch.exe": {launcher}, "zynEngine.exe": {engine}, "zynSystemConfig.txt": {state}})
        checks = {"offline: ended with %s %s" % offline.outcome():
                      offline.returncode in (0, 1) and set(offline.messages()) <= {FETCH_FAILED},
                  "offline: started %s" % started_offline:
                      started_offline == ["zynEngine.exe", "zynUI.exe"],
                  "its runs did not end": quiet,
                  "ended with %s %s" % result.outcome(): result.outcome() == (0, []),
                  "started %s" % started: started == ["zynEngine.exe", "zynUI.exe"],
                  "files %s" % scratch.files(): scratch.files() == AFTER}
        problems = cut + [problem for problem, ok in checks.items() if not ok] + [
            "%s differs from the one served" % n for n, ok in served_files.items()
            if digest(scratch.path(n)) not in ok]
        return landed, problems
    finally:
        net.stop()
        shutil.rmtree(scratch.root, ignore_errors=True)


class KillMatrix(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.files = Scratch(cls.addClassCleanup).root
        for name, (folder, built) in SERVED.items():
            write(os.path.join(cls.files, folder, name), program(built))
        # The new engine made 64 MiB: the bytes after its end change nothing of the program.
        os.truncate(os.path.join(cls.files, "fast", "zynEngine.exe"), 64 << 20)

    def play(self, phase, seed):
        """One round, its thread and what that starts in a network namespace of their own."""
        try:
            if LIBC.unshare(0x40000000) != 0:  # CLONE_NEWNET
                raise OSError(ctypes.get_errno(), "unshare")
            subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
            landed, problems = run_round(phase, seed, self.files)
        except Exception as error:  # a round that could not be played
            landed, problems = "?", ["round failed: %r" % error]
        print("  %-8s seed %d: %s -> %s" % (phase, seed, landed, "; ".join(problems) or "ok"),
              flush=True)
        return not problems

    def test_a_launch_killed_at_any_instant_is_mended_by_the_next_plain_launch(self):
        seed = int(os.environ.get("ZYN_KILL_SEED") or random.SystemRandom().randrange(1 << 30))
        print("kill matrix: %d rounds, seed %d" % (ROUNDS, seed), flush=True)
        with ThreadPoolExecutor(4) as pool:
            passed = sum(pool.map(lambda i: self.play(list(PHASES)[i % len(PHASES)], seed + i),
                                  range(ROUNDS)))
        self.assertEqual(passed, ROUNDS)


if __name__ == "__main__":
    main()
