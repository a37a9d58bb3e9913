#!/usr/bin/env python3
"""A name server for tests: answers A and AAAA questions over UDP for each --name
NAME=ADDRESS[,ADDRESS...][@SECONDS] after its delay, NXDOMAIN for any other name. Prints "ready
PORT"; other options (the harness's --log) are ignored."""

import argparse
import socket
import struct
import threading
import time

FAMILIES = {1: socket.AF_INET, 28: socket.AF_INET6}  # question type: A, AAAA


def answer(query, names):
    """The reply to QUERY (one question), and how long to hold it back."""
    labels, at = [], 12
    while query[at]:
        labels.append(query[at + 1:at + 1 + query[at]].decode("ascii", "replace").lower())
        at += 1 + query[at]
    kind = struct.unpack_from("!H", query, at + 1)[0]
    addresses, delay = names.get(".".join(labels), (None, 0))
    family = FAMILIES.get(kind)
    records = [socket.inet_pton(family, a) for a in addresses or ()
               if family and (":" in a) == (family == socket.AF_INET6)]
    # A response, recursion desired as asked and available; NXDOMAIN for a name it does not know.
    flags = 0x8080 | (struct.unpack_from("!H", query, 2)[0] & 0x0100) | (3 if addresses is None
                                                                          else 0)
    reply = query[:2] + struct.pack("!HHHHH", flags, 1, len(records), 0, 0) + query[12:at + 5]
    for record in records:
        reply += struct.pack("!HHHIH", 0xC00C, kind, 1, 60, len(record)) + record
    return reply, delay


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--address", default="127.0.0.53")
    parser.add_argument("--port", type=int, default=53)
    parser.add_argument("--name", action="append", default=[])
    args = parser.parse_known_args()[0]
    names = {}
    for entry in args.name:
        name, _, rest = entry.partition("=")
        addresses, _, delay = rest.partition("@")
        names[name.lower()] = (addresses.split(","), float(delay or 0))
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((args.address, args.port))
    print("ready %d" % sock.getsockname()[1], flush=True)

    def reply_later(reply, delay, sender):
        time.sleep(delay)
        sock.sendto(reply, sender)

    while True:
        query, sender = sock.recvfrom(4096)
        try:
            reply, delay = answer(query, names)
        except (IndexError, struct.error):
            continue  # not a question this server reads
        threading.Thread(target=reply_later, args=(reply, delay, sender), daemon=True).start()


if __name__ == "__main__":
    main()
