#!/usr/bin/env python3
"""The launch benchmark: one whole launch of the Linux program from local files (no server
answers, nothing to download), with today's stub components and again with the engine padded
to 200 MB, 3 times each. It prints the median processor time (user + system) and peak RSS of
the launch: the version check reads each program's headers and version, so neither may grow
with the size of the components.

Usage: bench/launch/bench.py [--runs 3] [--engine-mb 200] [--bin build/native/bin]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
STATE = ("ZynOrbitalServer=orb.example.net:4000;\r\nZynVersion=Engine;7.0.2.5;\r\n"
         "ZynVersion=Config;7.0.2.5;\r\nZynVersion=UI;7.0.2.5;\r\nZynVersion=Launch;1.0.0.0;\r\n")


def launch(folder):
    """CPU seconds and peak RSS (KiB) of one launch, measured by GNU time."""
    report = os.path.join(folder, "time.txt")
    subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report, "./zynLaunch.exe"],
                   cwd=folder, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True)
    with open(report) as f:
        user, system, rss = f.read().split()
    return float(user) + float(system), int(rss)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--engine-mb", type=int, default=200)
    parser.add_argument("--bin", default=os.path.join(ROOT, "build", "native", "bin"))
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="zyn-launch-bench-")
    try:
        for name in ("zynEngine.exe", "zynConfig.exe", "zynUI.exe", "pssdk_dll.dll"):
            shutil.copy(os.path.join(args.bin, "zynStub"), os.path.join(folder, name))
        shutil.copy(os.path.join(args.bin, "zynLaunch"), os.path.join(folder, "zynLaunch.exe"))
        with open(os.path.join(folder, "zynSystemConfig.txt"), "w", newline="") as f:
            f.write(STATE)
        print("%-22s %8s %9s" % ("engine", "cpu ms", "rss KiB"))
        for padded in (False, True):
            engine = os.path.join(folder, "zynEngine.exe")
            if padded:  # bytes after the program's end change nothing of it
                os.truncate(engine, args.engine_mb << 20)
            samples = [launch(folder) for _ in range(args.runs)]
            label = "%d MB" % (os.path.getsize(engine) >> 20) if padded else "stub (%d KB)" % (
                os.path.getsize(engine) >> 10)
            print("%-22s %8.0f %9d" % (label, 1000 * statistics.median(s[0] for s in samples),
                                       statistics.median(s[1] for s in samples)))
            sys.stdout.flush()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
