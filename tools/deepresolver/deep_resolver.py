#!/usr/bin/env python3
"""A deep resolution server for tests and the demo: answers every discovery probe with the
configured answers (as given, in order), or never when none is configured.

With --flood N each probe is answered N times a second for --flood-seconds instead, going
round the answers; --stray answers join them, sent from --stray-address, a sender nobody lists.

Prints "ready PORT" on standard output once it listens (port 0 takes any free one). With --log,
appends one line per datagram received: "SENDER-ADDRESS SENDER-PORT probe|other LENGTH".
"""

import argparse
import socket
import sys
import time

PROBE = b"ZYN_DEEP_RESOLVER_DISCOVER;"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=34523)
    parser.add_argument("--answer", action="append", default=[],
                        help="datagram text sent back for each probe (repeatable)")
    parser.add_argument("--log", help="file that gets one line per datagram received")
    parser.add_argument("--stray", action="append", default=[],
                        help="datagram text sent from --stray-address (repeatable)")
    parser.add_argument("--stray-address", default="127.0.0.6")
    parser.add_argument("--flood", type=int, default=0,
                        help="answers a second sent for each probe")
    parser.add_argument("--flood-seconds", type=float, default=1.0)
    args = parser.parse_args()

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((args.address, args.port))
    stray = None
    if args.stray:
        stray = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        stray.bind((args.stray_address, 0))
    answers = [(sock, a.encode("latin-1")) for a in args.answer]
    answers += [(stray, a.encode("latin-1")) for a in args.stray]
    log = open(args.log, "a", buffering=1) if args.log else None
    print("ready", sock.getsockname()[1], flush=True)
    while True:
        data, (host, port) = sock.recvfrom(65536)
        is_probe = data == PROBE
        if log:
            log.write("%s %d %s %d\n" % (host, port, "probe" if is_probe else "other", len(data)))
        if is_probe and args.flood:
            flood(answers, args.flood, args.flood_seconds, (host, port))
        elif is_probe:
            for sender, answer in answers:
                sender.sendto(answer, (host, port))


def flood(answers, rate, seconds, destination):
    """RATE answers a second for SECONDS, going round ANSWERS, in a burst each millisecond."""
    start, sent, count = time.monotonic(), 0, int(rate * seconds)
    while sent < count:
        due = min(count, int((time.monotonic() - start) * rate) + 1)
        for i in range(sent, due):
            sender, answer = answers[i % len(answers)]
            try:
                sender.sendto(answer, destination)
            except OSError:  # a full buffer drops the datagram, as a network would
                pass
        sent = due
        time.sleep(0.001)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
