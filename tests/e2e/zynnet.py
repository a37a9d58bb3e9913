"""The local Zyn network of the tests, the demo and the benches: nginx, squid and the servers of
tools/, each in a folder of its own, awaited until it answers and stopped with its process group.
In a test's network namespace each has its own loopback address and usual port; else free ports."""

import contextlib
import datetime
import json
import os
import pwd
import secrets
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
CA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tls", "ca")  # .pem, .key
SIGNING = """[ca]
default_ca = signer
[signer]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = anything
[anything]
commonName = supplied
[leaf]
basicConstraints = critical, CA:FALSE
extendedKeyUsage = serverAuth
subjectAltName = DNS:$ENV::ZYN_SAN
"""
NGINX_CONF = """daemon off; worker_processes 1; %s pid %s; events { worker_connections 64; }
http { log_format zyn '$remote_addr - $remote_user [$time_local] "$request" $status '
                      '$body_bytes_sent "$http_referer" "$http_user_agent" "$http_range"';
       access_log %s zyn; default_type application/octet-stream; %s
       server { listen %s:%d %s; root %s; %s } }
"""


def wait_until(condition, timeout=10.0):
    """Polls CONDITION until it holds or TIMEOUT passes; its last answer."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return condition()
        time.sleep(0.02)
    return True


def isolated():
    """True in a network namespace of our own, where fixed ports and addresses are free."""
    return os.environ.get("ZYN_IN_NETNS") == "1"


def free_port(address):
    with socket.socket() as s:
        s.bind((address, 0))
        return s.getsockname()[1]


def make_certificates(folder, good="localhost"):
    """Certificates named as nginx looks them up ($ssl_server_name.crt), of one key (leaf.key):
    GOOD's, wrong.test's (for other.test) and expired.test's by the tests' CA, stranger.test's by
    stranger.pem, and selfsigned.test's."""
    def openssl(*args, san=""):
        subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True,
                       env=dict(os.environ, ZYN_SAN=san))
    os.makedirs(folder, exist_ok=True)
    for name, text in (("signing.cnf", SIGNING), ("index.txt", ""), ("serial", "1000\n")):
        with open(os.path.join(folder, name), "w") as f:
            f.write(text)
    openssl("genpkey", "-algorithm", "RSA", "-out", "leaf.key")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "stranger.key", "-out",
            "stranger.pem", "-days", "2", "-subj", "/CN=Stranger CA")
    openssl("req", "-x509", "-key", "leaf.key", "-out", "selfsigned.test.crt", "-days", "2",
            "-subj", "/CN=selfsigned.test", "-addext", "subjectAltName=DNS:selfsigned.test")
    day = datetime.timedelta(days=1)
    now = datetime.datetime.now(datetime.timezone.utc)
    for sni, name, signer, start, end in [
            (good, good, CA, now - day, now + day),
            ("wrong.test", "other.test", CA, now - day, now + day),
            ("expired.test", "expired.test", CA, now - 10 * day, now - day),
            ("stranger.test", "stranger.test", "stranger", now - day, now + day)]:
        openssl("req", "-new", "-key", "leaf.key", "-subj", "/CN=" + name, "-out", sni + ".csr")
        openssl("ca", "-batch", "-notext", "-config", "signing.cnf", "-extensions", "leaf",
                "-cert", signer + ".pem", "-keyfile", signer + ".key", "-in", sni + ".csr",
                "-out", sni + ".crt", "-startdate", start.strftime("%Y%m%d%H%M%SZ"), "-enddate",
                end.strftime("%Y%m%d%H%M%SZ"), san=name)


def deep_answer(ip, port):
    return "ZYN_DEEP_RESOLVER_DISCOVER;%s;%s;" % (ip, port)


def group_alive(pgid):
    try:
        os.killpg(pgid, 0)
        return True
    except ProcessLookupError:
        return False


class Server:
    """One server process; subclasses give its command (and its readiness test)."""

    name, user, pipe = "server", [], None  # PIPE: its "ready" line comes on standard output

    def __init__(self, folder, address, port):
        # A folder per instance: a test may run two servers of a kind.
        self.folder = tempfile.mkdtemp(prefix=self.name + "-", dir=folder)
        self.address, self.port, self.proc = address, port, None

    def path(self, name):
        return os.path.join(self.folder, name)

    def start(self):
        # The parent-death signal ends it should the test die without stopping it.
        command = ["setpriv", *self.user, "--pdeathsig", "TERM", "--", *self.command()]
        with open(self.path("output.txt"), "ab") as output:
            self.proc = subprocess.Popen(command, cwd=self.folder, stdin=subprocess.DEVNULL,
                                         stdout=self.pipe or output, stderr=output,
                                         process_group=0)
        if not wait_until(lambda: self.proc.poll() is not None or self.ready()) or \
                self.proc.poll() is not None:
            self.stop()
            raise RuntimeError("%s did not start on %s:%s; its output:\n%s" % (
                self.name, self.address, self.port, self.output()))
        return self

    def stop(self):
        """Ends its process group, by force after 10 s."""
        if self.proc is not None:
            for signum in (signal.SIGTERM, signal.SIGKILL):
                with contextlib.suppress(ProcessLookupError):
                    os.killpg(self.proc.pid, signum)
                if wait_until(lambda: self.proc.poll() is not None and
                              not group_alive(self.proc.pid)):
                    break
            if self.proc.stdout:
                self.proc.stdout.close()
            self.proc = None

    def text(self, name):
        """A file of its folder, "" while there is none."""
        with contextlib.suppress(FileNotFoundError), open(self.path(name), "rb") as f:
            return f.read().decode("latin-1")
        return ""

    def output(self):
        return self.text("output.txt")

    def ready(self):
        with socket.socket() as s:
            s.settimeout(0.5)
            return s.connect_ex((self.address, self.port)) == 0

    def url(self, path=""):
        return "http://%s%s/%s" % (self.address, "" if self.port == 80 else ":%d" % self.port,
                                   path)


class Nginx(Server):
    """nginx with its own defaults (keep-alive, ranges) serving ROOT; LOCATIONS: directives added
    to its server, LISTEN: options of its listen directive."""

    name = "nginx"

    def __init__(self, folder, root, address=None, port=None, locations="", listen=""):
        address = address or ("127.0.0.2" if isolated() else "127.0.0.1")
        super().__init__(folder, address, port or (80 if isolated() else free_port(address)))
        self.root, self.locations, self.listen = root, locations, listen

    def command(self):
        temp = " ".join("%s_temp_path %s;" % (kind, self.path("temp"))
                        for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        # Run as root, the workers would switch to a user that cannot read the scratch folder.
        with open(self.path("nginx.conf"), "w") as f:
            f.write(NGINX_CONF % ("user root;" if os.geteuid() == 0 else "",
                                  self.path("nginx.pid"), self.path("access.log"), temp,
                                  self.address, self.port, self.listen, self.root, self.locations))
        return ["nginx", "-p", self.folder, "-c", self.path("nginx.conf"), "-e",
                self.path("output.txt")]

    def etag(self, path):
        """The ETag that nginx gives the file at PATH now: its time and size."""
        stat = os.stat(os.path.join(self.root, path))
        return '"%x-%x"' % (int(stat.st_mtime), stat.st_size)

    def requests(self):
        """Each request: (request line, status, body bytes, Range or "-", User-Agent, client)."""
        fields = [l.split('"') for l in self.text("access.log").splitlines()]
        return [(f[1], int(f[2].split()[0]), int(f[2].split()[1]), f[7], f[5], f[0].split()[0])
                for f in fields]


class Squid(Server):
    """squid as a forward proxy without caches; with CREDENTIALS ("name:password") for them only."""

    name = "squid"

    def __init__(self, folder, address=None, port=None, credentials=None):
        address = address or ("127.0.0.3" if isolated() else "127.0.0.1")
        super().__init__(folder, address, port or (3128 if isolated() else free_port(address)))
        self.credentials = credentials
        # Its shared memory segments in /dev/shm are named after it: one name per instance.
        self.service = "zyn" + secrets.token_hex(6)

    def command(self):
        lines = ["http_port %s:%d" % (self.address, self.port), "http_access allow all",
                 "cache deny all", "cache_mem 8 MB", "shutdown_lifetime 0 seconds",
                 "pid_filename " + self.path("squid.pid"), "cache_log " + self.path("cache.log"),
                 "access_log stdio:" + self.path("access.log"), "cache_store_log none",
                 "coredump_dir " + self.folder, "netdb_filename none", "pinger_enable off",
                 "icp_port 0", "htcp_port 0", "visible_hostname zyn-proxy"]
        if self.credentials:
            name, password = self.credentials.split(":", 1)
            with open(self.path("users"), "w") as f:
                f.write("%s:%s\n" % (name, subprocess.run(
                    ["openssl", "passwd", "-apr1", password], check=True, capture_output=True,
                    text=True).stdout.strip()))
            lines[1:2] = ["auth_param basic program /usr/lib/squid/basic_ncsa_auth " +
                          self.path("users"), "acl users proxy_auth REQUIRED",
                          "http_access allow users", "http_access deny all"]
        if os.geteuid() == 0:  # squid refuses to run as root
            self.user = ["--reuid", "proxy", "--regid", "proxy", "--init-groups"]
            entry = pwd.getpwnam("proxy")
            os.chown(self.folder, entry.pw_uid, entry.pw_gid)
            for folder in (os.path.dirname(self.folder), self.folder):
                os.chmod(folder, 0o755)
        with open(self.path("squid.conf"), "w") as f:
            f.write("\n".join(lines) + "\n")
        return ["squid", "-N", "-n", self.service, "-f", self.path("squid.conf")]

    def start(self):
        super().start()
        # squid loses the parent-death signal with its user: a guard in its group carries it.
        pgid = self.proc.pid
        subprocess.Popen(["setpriv", "--pdeathsig", "TERM", "--", "sh", "-c",
                          "trap 'kill -TERM -%d; exit' TERM; sleep infinity & wait" % pgid],
                         process_group=pgid)
        return self

    def stop(self):
        super().stop()
        for name in os.listdir("/dev/shm"):
            if name.startswith(self.service + "-"):
                os.unlink(os.path.join("/dev/shm", name))


class ToolServer(Server):
    """A server of tools/ (ARGS its options) that prints "ready PORT" once it listens."""

    pipe = subprocess.PIPE

    def __init__(self, folder, address, port, script, *args):
        super().__init__(folder, address, port)
        self.script, self.args = script, [str(a) for a in args]

    def command(self):
        return [sys.executable, os.path.join(TOOLS, self.script), "--address", self.address,
                "--port", str(self.port), "--log", self.path("log"), *self.args]

    def ready(self):
        if not select.select([self.proc.stdout], [], [], 0.1)[0]:
            return False
        words = self.proc.stdout.readline().split()
        self.port = int(words[1]) if words[:1] == [b"ready"] else self.port
        return words[:1] == [b"ready"]

    def log(self):
        return self.text("log").splitlines()


class DeepResolver(ToolServer):
    """Answers each probe with ANSWERS (or never); FLOOD: (a second, seconds), STRAYS among them."""

    name = "deep"

    def __init__(self, folder, answers=(), address=None, port=34523, flood=(0, 0), strays=()):
        super().__init__(folder, address or ("127.0.0.5" if isolated() else "127.0.0.1"), port,
                         "deepresolver/deep_resolver.py", "--flood", flood[0], "--flood-seconds",
                         flood[1], *sum((["--answer", a] for a in answers), []),
                         *sum((["--stray", a] for a in strays), []))

    def probes(self):
        """(sender address, sender port) of each probe received so far."""
        return [(l[0], int(l[1])) for l in map(str.split, self.log()) if l[2] == "probe"]


class HostileServer(ToolServer):
    """tools/hostile: the first path segment picks the misdeed, ROOT holds the files."""

    name = "hostile"

    def __init__(self, folder, root=None, address=None, port=None):
        address = address or ("127.0.0.4" if isolated() else "127.0.0.1")
        super().__init__(folder, address, port or (80 if isolated() else 0),
                         "hostile/hostile_server.py", *(["--root", root] if root else []))

    def requests(self):
        """Each request received so far: {"scenario": ..., "request": header text}."""
        return [json.loads(l) for l in self.log()]


class NameServer(ToolServer):
    """tools/nameserver answering for NAMES ({name: (addresses in order, seconds it takes)})."""

    name = "names"

    def __init__(self, folder, names):
        super().__init__(folder, "127.0.0.53", 53, "nameserver/name_server.py", *[
            "--name=%s=%s@%s" % (n, ",".join(a), s) for n, (a, s) in names.items()])


class Network:
    """Servers started in one scratch folder, all stopped by stop() (or the test's cleanup)."""

    def __init__(self, test=None):
        self.folder, self.servers = tempfile.mkdtemp(prefix="zyn-net-"), []
        if test is not None:
            test.addCleanup(self.stop)

    def start(self, server_class, *args, **kwargs):
        self.servers.append(server_class(self.folder, *args, **kwargs).start())
        return self.servers[-1]

    def stop(self):
        while self.servers:
            self.servers.pop().stop()
        shutil.rmtree(self.folder, ignore_errors=True)
