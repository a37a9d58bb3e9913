#!/usr/bin/env python3
"""An HTTP server that misbehaves on purpose: a request's first path segment names the misdeed
(SCENARIOS), the body is the --root file at the rest of the path, else the one named by its last
segment, else 60000 bytes of a pattern. Prints "ready PORT"; --log gets a JSON line a request."""

import argparse
import contextlib
import gzip
import json
import os
import socket
import struct
import threading
import time

SCENARIOS = """
  ok          200 with Content-Length, in one send (gzip: the body gzip-coded, as the header
              says; gziplabel: as stored, labelled gzip all the same)
  bytechunks  200 in chunks of one byte each
  folded      200 whose Content-Length has a blank before its colon and its value folded
  stall|reset Content-Length announced, half the body sent, then nothing more | a reset
  endless     200 without a length and a body that never ends (the file's bytes first)
  firstwrong  as ok, but the first time a file name is asked the body's last byte is changed
  trickleS    the header and half the body at once, then one byte every S seconds
  dripS       the whole reply one byte every S seconds, header included
  lengthTEXT  Content-Length: TEXT (negative, huge or no number) and a body that never ends
  overrun     the file's Content-Length, the file, then as much again of other bytes
  bigheader   a header of 10 MB in one field
  badchunkS   chunked, a chunk size line S, then a body that never ends (the file's first)
  loop        302 to itself (schemeX: to the same path on an X:// URL, such as https or ftp)
  statusN     status N with a body that never ends
After a reply it waits for the next request on the connection, as keep-alive servers do."""
LOCK = threading.Lock()
ASKED = set()  # file names that firstwrong has served


def header(status, fields):
    return ("HTTP/1.1 %s\r\n" % status + "".join("%s: %s\r\n" % f for f in fields) +
            "\r\n").encode("latin-1")


def endless(conn, first=b""):
    conn.sendall(first)
    while True:
        conn.sendall(b"z" * 65536)


def drip(conn, seconds, reply):
    # Fast rates go in groups ten times a second: a sleep of a few milliseconds oversleeps.
    group = max(1, int(0.1 / seconds))
    for at in range(0, len(reply), group):
        conn.sendall(reply[at:at + group])
        time.sleep(seconds * group)


def serve(conn, args):
    """Answers one request; true when the connection stays open for the next."""
    request = b""
    while b"\r\n\r\n" not in request and len(request) < 65536:
        block = conn.recv(4096)
        if not block:
            return False
        request += block
    lines = request.split(b"\r\n\r\n")[0].decode("latin-1").split("\r\n")
    target = (lines[0].split(" ") + ["/", ""])[1]
    # A proxy's request line carries the absolute URL, a server's the path alone.
    path = target.split("://", 1)[1].partition("/")[2] if "://" in target else target[1:]
    host = next((l.split(":", 1)[1].strip() for l in lines if l.lower().startswith("host:")), "")
    segments = path.split("/")
    scenario, argument = segments[0], ""
    for prefix in ("trickle", "drip", "length", "badchunk", "scheme", "status"):
        if segments[0].startswith(prefix):
            scenario, argument = prefix, segments[0][len(prefix):]
    if args.log:
        with LOCK, open(args.log, "a") as log:
            log.write(json.dumps({"scenario": segments[0], "request": "\r\n".join(lines) +
                                  "\r\n\r\n"}) + "\n")
    body = (b"zyn hostile body 0123456789\n" * 2143)[:60000]
    for parts in (segments[1:], segments[-1:]):
        if args.root and parts and parts[-1] and os.path.isfile(os.path.join(args.root, *parts)):
            with open(os.path.join(args.root, *parts), "rb") as f:
                body = f.read()
            break
    length, half = [("Content-Length", str(len(body)))], body[:len(body) // 2]
    if scenario == "firstwrong":
        with LOCK:
            if segments[-1] not in ASKED and body:
                body = body[:-1] + bytes([body[-1] ^ 1])
            ASKED.add(segments[-1])
        scenario = "ok"
    if scenario == "ok":
        conn.sendall(header("200 OK", length) + body)
    elif scenario in ("gzip", "gziplabel"):
        coded = gzip.compress(body) if scenario == "gzip" else body
        conn.sendall(header("200 OK", [("Content-Encoding", "gzip"),
                                       ("Content-Length", str(len(coded)))]) + coded)
    elif scenario == "bytechunks":
        coded = bytearray(6 * len(body))
        for at, byte in enumerate(b"1\r\n?\r\n"):
            coded[at::6] = body if byte == ord("?") else bytes([byte]) * len(body)
        conn.sendall(header("200 OK", [("Transfer-Encoding", "chunked")]) + coded + b"0\r\n\r\n")
    elif scenario == "folded":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length :\r\n\t%d\r\n\r\n" % len(body) + body)
    elif scenario in ("stall", "reset"):
        conn.sendall(header("200 OK", length) + half)
        if scenario == "reset":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            return False
        while conn.recv(65536):
            pass
    elif scenario == "endless":
        endless(conn, b"HTTP/1.1 200 OK\r\n\r\n" + body)
    elif scenario == "trickle":
        conn.sendall(header("200 OK", length) + half)
        drip(conn, float(argument), body[len(half):])
    elif scenario == "drip":
        drip(conn, float(argument), header("200 OK", length) + body)
    elif scenario == "length":
        endless(conn, header("200 OK", [("Content-Length", argument)]) + body)
    elif scenario == "overrun":
        conn.sendall(header("200 OK", length) + body + b"x" * len(body))
    elif scenario == "bigheader":
        conn.sendall(b"HTTP/1.1 200 OK\r\nX-Big: " + b"h" * (10 << 20) + b"\r\n" +
                     header("200 OK", length)[17:] + body)
    elif scenario == "badchunk":
        endless(conn, header("200 OK", [("Transfer-Encoding", "chunked")]) +
                argument.encode() + b"\r\n" + body)
    elif scenario in ("loop", "scheme"):
        url = "http://%s/%s" % (host, path)
        location = argument + url[len("http"):] if scenario == "scheme" else url
        conn.sendall(header("302 Found", [("Location", location), ("Content-Length", "0")]))
    elif scenario == "status":
        endless(conn, header("%s Hostile" % argument, []))
    else:
        conn.sendall(header("400 Bad Request", [("Content-Length", "0")]))
    return True


def handle(conn, args):
    with contextlib.suppress(OSError), conn:
        while serve(conn, args):
            pass


def main():
    parser = argparse.ArgumentParser(description=__doc__ + SCENARIOS,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--root", help="folder whose files are served by name")
    parser.add_argument("--log", help="file that gets one JSON line per request")
    args = parser.parse_args()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((args.address, args.port))
    listener.listen(16)
    print("ready", listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=handle, args=(conn, args), daemon=True).start()


if __name__ == "__main__":
    main()
