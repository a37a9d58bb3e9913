#!/usr/bin/env python3
"""A deep resolution server for tests and the demo: answers every discovery probe with the
configured answers (as given, in order), or never when none is configured.

Prints "ready PORT" on standard output once it listens (port 0 takes any free one). With --log,
appends one line per datagram received: "SENDER-ADDRESS SENDER-PORT probe|other LENGTH".
"""

import argparse
import socket
import sys

PROBE = b"ZYN_DEEP_RESOLVER_DISCOVER;"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=34523)
    parser.add_argument("--answer", action="append", default=[],
                        help="datagram text sent back for each probe (repeatable)")
    parser.add_argument("--log", help="file that gets one line per datagram received")
    args = parser.parse_args()

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((args.address, args.port))
    log = open(args.log, "a", buffering=1) if args.log else None
    print("ready", sock.getsockname()[1], flush=True)
    while True:
        data, (host, port) = sock.recvfrom(65536)
        is_probe = data == PROBE
        if log:
            log.write("%s %d %s %d\n" % (host, port, "probe" if is_probe else "other", len(data)))
        if is_probe:
            for answer in args.answer:
                sock.sendto(answer.encode("latin-1"), (host, port))


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
