#!/usr/bin/env python3
"""An HTTP server that misbehaves on purpose, for the download and state retrieval tests.

The first path segment of a request names what it does; the body is the file of --root at the
path that follows it, else the one named by the last segment, else --size bytes of a fixed
pattern. After its reply it waits for the next
request on the same connection, as a keep-alive server does, unless the scenario closes.

  ok          200 with Content-Length, in one send
  gzip        the same with the body gzip-coded, as Content-Encoding says
  gziplabel   the body as stored, labelled gzip all the same (an object store's metadata)
  split       the same, the header sent byte by byte and its names in odd letter case
  chunked     200 in chunks of uneven sizes, with chunk extensions and a trailer
  bytechunks  200 in chunks of one byte each
  folded      200 whose Content-Length has a blank before its colon and its value on a
              folded line (obs-fold)
  nolength    HTTP/1.0 200 without a length, then the close
  early       Content-Length announced, half the body sent, then the close
  stall       Content-Length announced, half the body sent, then nothing more
  notfound    404 with an error page of --size bytes
  redirectN   302 to /redirect(N-1)/... on the same Host, and /redirect1/ to /ok/...
  endless     200 without a length and a body that never ends (the file's bytes first, so
              that a program's head passes)
  reset       Content-Length announced, half the body sent, then a reset
  firstwrong  as ok, but the first time a file name is asked the body's last byte is changed
  trickleS    the header and half the body at once, then one byte every S seconds (on average)
  dripS       the whole reply one byte every S seconds, header included
  lengthTEXT  Content-Length: TEXT (a negative, huge or non-numeric one) and a body that
              never ends
  overrun     the file's Content-Length, the file, then as much again of other bytes
  bigheader   a header of 10 MB in one field
  badchunkS   chunked, a chunk size line S and then a body that never ends (the file's bytes
              first): a size that is no hex number, too long, or smaller or larger than the
              data that follows
  loop        302 to itself
  schemeX     302 to the same path on an X:// URL (https, ftp)
  statusN     status N with a body that never ends

Prints "ready PORT" on standard output once it listens (port 0 takes any free one). With --log,
appends each request as one JSON line: {"scenario": ..., "request": <the header, latin-1>}.
"""

import argparse
import gzip
import json
import os
import socket
import struct
import sys
import threading
import time

LOG_LOCK = threading.Lock()
ASKED = set()  # file names that firstwrong has served


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data and len(data) < 65536:
        block = conn.recv(4096)
        if not block:
            return None
        data += block
    return data.split(b"\r\n\r\n", 1)[0] + b"\r\n\r\n"


def body_for(args, segments):
    for parts in (segments[1:], segments[-1:]):
        path = os.path.join(args.root, *parts) if args.root and parts and parts[-1] else None
        if path and os.path.isfile(path):
            with open(path, "rb") as f:
                return f.read()
    pattern = b"zyn hostile body 0123456789\n"
    return (pattern * (args.size // len(pattern) + 1))[:args.size]


def header(status, fields):
    return ("HTTP/1.1 %s\r\n" % status + "".join("%s: %s\r\n" % f for f in fields) +
            "\r\n").encode("latin-1")


def serve(conn, args):
    """Answers one request; true when the connection stays open for the next."""
    request = read_request(conn)
    if request is None:
        return False
    lines = request.decode("latin-1").split("\r\n")
    words = lines[0].split(" ")
    target = words[1] if len(words) > 2 else "/"
    # A proxy's request line carries the absolute URL, a server's the path alone.
    path = target.split("://", 1)[1].partition("/")[2] if "://" in target else target[1:]
    host = next((l.split(":", 1)[1].strip() for l in lines[1:] if l.lower().startswith("host:")),
                "")
    segments = path.split("/")
    scenario, name = segments[0], segments[-1]
    if args.log:
        with LOG_LOCK, open(args.log, "a") as log:
            log.write(json.dumps({"scenario": scenario, "request": request.decode("latin-1")}) +
                      "\n")
    body = body_for(args, segments)
    length = [("Content-Length", str(len(body)))]
    half = body[:len(body) // 2]
    if scenario == "firstwrong":
        with LOG_LOCK:
            first = name not in ASKED
            ASKED.add(name)
        if first and body:
            body = body[:-1] + bytes([body[-1] ^ 1])
    if scenario in ("ok", "firstwrong"):
        conn.sendall(header("200 OK", length) + body)
    elif scenario in ("gzip", "gziplabel"):
        coded = gzip.compress(body) if scenario == "gzip" else body
        conn.sendall(header("200 OK", [("Content-Encoding", "gzip"),
                                       ("Content-Length", str(len(coded)))]) + coded)
    elif scenario == "split":
        for byte in header("200 OK", [("CONTENT-length", str(len(body))), ("x-Split", "1")]):
            conn.sendall(bytes([byte]))
            time.sleep(0.002)
        conn.sendall(body)
    elif scenario == "chunked":
        conn.sendall(header("200 OK", [("Transfer-Encoding", "chunked")]))
        at, size = 0, 1
        while at < len(body):
            piece = body[at:at + size]
            conn.sendall(b"%x;piece=%d\r\n%s\r\n" % (len(piece), at, piece))
            at, size = at + len(piece), size * 3 + 1
        conn.sendall(b"0\r\nX-Checked: yes\r\n\r\n")
    elif scenario == "bytechunks":
        coded = bytearray(6 * len(body))
        for at, byte in enumerate(b"1\r\n?\r\n"):
            coded[at::6] = body if byte == ord("?") else bytes([byte]) * len(body)
        conn.sendall(header("200 OK", [("Transfer-Encoding", "chunked")]) + coded + b"0\r\n\r\n")
    elif scenario == "folded":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length :\r\n\t%d\r\n\r\n" % len(body) + body)
    elif scenario == "nolength":
        conn.sendall(b"HTTP/1.0 200 OK\r\n\r\n" + body)
        return False
    elif scenario in ("early", "stall", "reset"):
        conn.sendall(header("200 OK", length) + half)
        if scenario == "reset":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        if scenario != "stall":
            return False
        while conn.recv(65536):
            pass
    elif scenario == "notfound":
        conn.sendall(header("404 Not Found", length) + body)
    elif scenario.startswith("redirect"):
        left = int(scenario[len("redirect"):] or 1)
        step = "redirect%d" % (left - 1) if left > 1 else "ok"
        rest = "/".join(segments[1:])
        conn.sendall(header("302 Found", [("Location", "http://%s/%s/%s" % (host, step, rest)),
                                          ("Content-Length", "0")]))
    elif scenario == "endless":
        conn.sendall(b"HTTP/1.1 200 OK\r\n\r\n" + body)
        block = b"x" * 65536
        while True:
            conn.sendall(block)
    elif any(scenario.startswith(prefix) for prefix in MISDEEDS):
        prefix = next(p for p in MISDEEDS if scenario.startswith(p))
        return MISDEEDS[prefix](conn, scenario[len(prefix):], body, "http://%s/%s" % (host, path))
    else:
        conn.sendall(header("400 Bad Request", [("Content-Length", "0")]))
    # Open for the next request, as a keep-alive server is, whatever the client asked.
    return True


def send_endless(conn):
    block = b"z" * 65536
    while True:
        conn.sendall(block)


def trickle(conn, seconds, body, _):
    conn.sendall(header("200 OK", [("Content-Length", str(len(body)))]) + body[:len(body) // 2])
    return drip(conn, seconds, body[len(body) // 2:], None, sent_header=True)


def drip(conn, seconds, body, _, sent_header=False):
    reply = body if sent_header else header("200 OK", [("Content-Length", str(len(body)))]) + body
    # Fast rates go in groups ten times a second: a sleep of a few milliseconds oversleeps.
    group = max(1, int(0.1 / float(seconds)))
    for at in range(0, len(reply), group):
        conn.sendall(reply[at:at + group])
        time.sleep(float(seconds) * group)
    return True


def bad_length(conn, text, body, _):
    conn.sendall(header("200 OK", [("Content-Length", text)]) + body)
    send_endless(conn)


def overrun(conn, _, body, __):
    conn.sendall(header("200 OK", [("Content-Length", str(len(body)))]) + body + b"x" * len(body))
    return True


def big_header(conn, _, body, __):
    conn.sendall(b"HTTP/1.1 200 OK\r\nX-Big: " + b"h" * (10 << 20) + b"\r\n" +
                 header("200 OK", [("Content-Length", str(len(body)))])[17:] + body)
    return True


def bad_chunk(conn, size, body, __):
    conn.sendall(header("200 OK", [("Transfer-Encoding", "chunked")]) + size.encode() + b"\r\n" +
                 body)
    send_endless(conn)


def loop(conn, _, __, url):
    conn.sendall(header("302 Found", [("Location", url), ("Content-Length", "0")]))
    return True


def other_scheme(conn, scheme, _, url):
    conn.sendall(header("302 Found", [("Location", scheme + url[len("http"):]),
                                      ("Content-Length", "0")]))
    return True


def status(conn, code, _, __):
    conn.sendall(header("%s Hostile" % code, []))
    send_endless(conn)


# Scenarios named by a prefix and an argument: (connection, argument, body, the request's URL)
# -> whether the connection stays open for the next request.
MISDEEDS = {"trickle": trickle, "drip": drip, "length": bad_length, "overrun": overrun,
            "bigheader": big_header, "badchunk": bad_chunk, "loop": loop, "scheme": other_scheme,
            "status": status}


def handle(conn, args):
    try:
        while serve(conn, args):
            pass
    except OSError:
        pass
    finally:
        conn.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--root", help="folder whose files are served by name")
    parser.add_argument("--size", type=int, default=60000,
                        help="length of the pattern body when no file matches")
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
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
