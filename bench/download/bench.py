#!/usr/bin/env python3
"""The download benchmark: nginx on loopback serves files of 64 MiB and 1 GiB, each fetched 5
times, in turn by the launcher's own download client (zynFetch of the native build), by the same
client held to the file's digest as a system state lists it ("zynFetch+digest": size and SHA-256
computed as the bytes arrive, checked before the file is put in place) and by curl. It prints
the median wall time, CPU time (user + system) and peak RSS of each client, and the ratio of the
walls.

The launcher's client puts a file on disk (fsync) before it renames it into place; curl leaves
it in the page cache for the system to write later. So curl is measured twice: alone, and
followed by an fsync of its file ("curl+sync"), the like-for-like comparison. Before each fetch
the previous file is deleted and the disk settled, outside the timing.

With --rate MB, nginx sends at most MB megabytes per second, as a network link would: on
loopback the transfer runs as fast as the processors allow, so the digest's processor time adds
to it, while on a slower link it fits into the waits between blocks.

Usage: bench/download/bench.py [--sizes 64,1024] [--runs 5] [--rate MB] [--bin build/native/bin]
"""

import argparse
import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from zynnet import Network, Nginx  # noqa: E402


def run(command, cwd):
    """Wall seconds, CPU seconds and peak RSS (KiB) of one command, which must succeed. GNU
    time measures the last two: a child of this Python process would count the interpreter's
    memory as its own, from before its exec."""
    with tempfile.NamedTemporaryFile("r") as report:
        started = time.monotonic()
        subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report.name] + command,
                       cwd=cwd, stdout=subprocess.DEVNULL, check=True)
        wall = time.monotonic() - started
        user, system, rss = report.read().split()
    return wall, float(user) + float(system), int(rss)


def fsync(path):
    started = time.monotonic()
    fd = os.open(path, os.O_RDONLY)
    try:
        os.fsync(fd)
    finally:
        os.close(fd)
    return time.monotonic() - started


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sizes", default="64,1024", help="file sizes in MiB")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--rate", type=int, default=0, help="nginx's send limit in MB/s")
    parser.add_argument("--bin", default=os.path.join(ROOT, "build", "native", "bin"))
    args = parser.parse_args()
    fetch = os.path.join(os.path.abspath(args.bin), "zynFetch")
    if not os.path.exists(fetch):
        sys.exit("bench: %s is missing; build the native preset first" % fetch)

    net = Network()
    work = tempfile.mkdtemp(prefix="zyn-bench-", dir=os.environ.get("TMPDIR", "/var/tmp"))
    try:
        www = os.path.join(work, "www")
        os.makedirs(www)
        rate = "limit_rate %dm;" % args.rate if args.rate else ""
        nginx = net.start(Nginx, www, locations=rate)
        print("%-10s %-16s %8s %8s %9s  %s" % ("size", "client", "wall s", "cpu s", "rss KiB",
                                             "wall / curl+sync (/ curl)"))
        for mib in (int(s) for s in args.sizes.split(",")):
            name = "payload-%d" % mib
            digest = hashlib.sha256()
            with open(os.path.join(www, name), "wb") as f:
                block = os.urandom(1 << 20)
                for _ in range(mib):
                    f.write(block)
                    digest.update(block)
            listed = "ZynDigest=%s;%d;%s;" % (name, mib << 20, digest.hexdigest())
            url = nginx.url(name)
            out = os.path.join(work, "out")
            os.makedirs(out, exist_ok=True)
            target = os.path.join(out, name)
            samples = {"zynFetch": [], "zynFetch+digest": [], "curl": [], "curl+sync": []}
            # One unmeasured fetch puts the served file in the page cache.
            for round_ in range(args.runs + 1):
                for client in ("zynFetch", "zynFetch+digest", "curl"):
                    if os.path.exists(target):
                        os.unlink(target)
                    os.sync()
                    if client == "zynFetch":
                        sample = run([fetch, url], out)
                    elif client == "zynFetch+digest":
                        sample = run([fetch, url, listed], out)
                    else:
                        sample = run(["curl", "-sS", "-o", name, url], out)
                    if os.path.getsize(target) != mib << 20:
                        raise RuntimeError("%s fetched a file of the wrong size" % client)
                    if round_ == 0:
                        continue
                    samples[client].append(sample)
                    if client == "curl":
                        wall, cpu, rss = sample
                        samples["curl+sync"].append((wall + fsync(target), cpu, rss))
            medians = {c: [statistics.median(s[i] for s in v) for i in range(3)]
                       for c, v in samples.items()}
            for client, (wall, cpu, rss) in medians.items():
                ratio = ""
                if client.startswith("zynFetch"):
                    ratio = "%.3f (%.3f)" % (wall / medians["curl+sync"][0],
                                             wall / medians["curl"][0])
                print("%-10s %-16s %8.3f %8.3f %9d  %s" % ("%d MiB" % mib, client, wall, cpu,
                                                           rss, ratio))
            os.unlink(os.path.join(www, name))
            sys.stdout.flush()
    finally:
        net.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
