#!/usr/bin/env python3
"""A deep resolution server for tests and the demo: answers every discovery probe with the --answer
texts in order (never, without one); --flood N answers N a second instead, for --flood-seconds,
--stray ones among them from another sender. Prints "ready PORT"; --log gets a line a datagram."""

import argparse
import socket
import time


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=34523)
    parser.add_argument("--answer", action="append", default=[], help="repeatable")
    parser.add_argument("--log", help='"SENDER-ADDRESS SENDER-PORT probe|other LENGTH" lines')
    parser.add_argument("--stray", action="append", default=[], help="from 127.0.0.6")
    parser.add_argument("--flood", type=int, default=0)
    parser.add_argument("--flood-seconds", type=float, default=1.0)
    args = parser.parse_args()
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((args.address, args.port))
    answers = [(sock, a.encode("latin-1")) for a in args.answer]
    if args.stray:
        stray = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        stray.bind(("127.0.0.6", 0))
        answers += [(stray, a.encode("latin-1")) for a in args.stray]
    log = open(args.log, "a", buffering=1) if args.log else None
    print("ready", sock.getsockname()[1], flush=True)
    while True:
        data, sender = sock.recvfrom(65536)
        probe = data == b"ZYN_DEEP_RESOLVER_DISCOVER;"
        if log:
            log.write("%s %d %s %d\n" % (*sender, "probe" if probe else "other", len(data)))
        if probe and args.flood:
            flood(answers, args.flood, args.flood_seconds, sender)
        elif probe:
            for replier, answer in answers:
                replier.sendto(answer, sender)


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
    main()
