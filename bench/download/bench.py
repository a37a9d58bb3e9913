#!/usr/bin/env python3
"""The download benchmark: nginx on loopback serves files of 64 MiB and 1 GiB, each fetched 5
times, in turn by the launcher's own download client (zynFetch of the native build), by the same
client held to the file's digest as a system state lists it ("zynFetch+digest": size and SHA-256
computed as the bytes arrive, checked before the file is put in place) and by curl, over HTTP and
over HTTPS (nginx's certificate for "localhost" made for the run with the TLS tests' CA, which
zynFetch is built to take and curl is given). It prints the median wall time, CPU time (user +
system) and peak RSS of each client, and the ratio of the walls. Last, 10 MB arrive in chunks of
one byte each from the hostile server of tools/: the cost of many small pieces.

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
import itertools
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from zynnet import HostileServer, Network, Nginx, free_port, make_certificates  # noqa: E402

CA = os.path.join(ROOT, "tests", "tls", "ca.pem")


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


def measure(clients, work, name, size, runs, label):
    """Runs each client's command RUNS times in turn (after one unmeasured round that puts the
    served file in the page cache) and prints its medians; each curl is also measured with an
    fsync of its file ("+sync")."""
    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)
    target = os.path.join(out, name)
    samples = {}
    for round_, (client, command) in itertools.product(range(runs + 1), clients.items()):
        if os.path.exists(target):
            os.unlink(target)
        os.sync()
        sample = run(command, out)
        if os.path.getsize(target) != size:
            raise RuntimeError("%s fetched a file of the wrong size" % client)
        if round_ == 0:
            continue
        samples.setdefault(client, []).append(sample)
        if client.startswith("curl"):
            wall, cpu, rss = sample
            samples.setdefault(client.replace("curl", "curl+sync"), []).append(
                (wall + fsync(target), cpu, rss))
    medians = {c: [statistics.median(s[i] for s in v) for i in range(3)]
               for c, v in samples.items()}
    for client, (wall, cpu, rss) in medians.items():
        ratio = ""
        if client.startswith("zynFetch"):
            curl = client.replace("zynFetch+digest", "curl").replace("zynFetch", "curl")
            ratio = "%.3f (%.3f)" % (wall / medians[curl.replace("curl", "curl+sync")][0],
                                     wall / medians[curl][0])
        print("%-10s %-16s %8.3f %8.3f %9d  %s" % (label, client, wall, cpu, rss, ratio))
    sys.stdout.flush()


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
        make_certificates(work)
        plain = free_port("127.0.0.1")
        nginx = net.start(Nginx, www, "127.0.0.1", listen="ssl", locations=(
            "listen 127.0.0.1:%d; ssl_certificate %s/localhost.crt; ssl_certificate_key "
            "%s/leaf.key; %s" % (plain, work, work, rate)))
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
            urls = {"": "http://127.0.0.1:%d/%s" % (plain, name),
                    " https": "https://localhost:%d/%s" % (nginx.port, name)}
            clients = {}
            for scheme, url in urls.items():
                clients["zynFetch" + scheme] = [fetch, url]
                if not scheme:
                    clients["zynFetch+digest"] = [fetch, url, listed]
                clients["curl" + scheme] = ["curl", "-sS", "--cacert", CA, "-o", name, url]
            measure(clients, work, name, mib << 20, args.runs, "%d MiB" % mib)
            os.unlink(os.path.join(www, name))
        # Each byte its own chunk, from the hostile server.
        with open(os.path.join(www, "chunks"), "wb") as f:
            f.write(os.urandom(10 ** 7))
        hostile = net.start(HostileServer, www)
        url = hostile.url("bytechunks/chunks")
        measure({"zynFetch": [fetch, url], "curl": ["curl", "-sS", "-o", "chunks", url]}, work,
                "chunks", 10 ** 7, args.runs, "10 MB/1 B")
    finally:
        net.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
