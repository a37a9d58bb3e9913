"""The local Zyn network for end-to-end tests and the demo: nginx as update and download server,
squid as a forward proxy, and the deep resolution and hostile HTTP servers of tools/. Each runs
from a scratch folder (configuration, pid, logs), is waited for until it really answers, and is
stopped by its PID with nothing left behind.

Inside a network namespace of the test's own (scripts/netns-run.sh) every server gets a
loopback address of its own and its usual port (nginx 127.0.0.2:80, squid 127.0.0.3:3128,
hostile 127.0.0.4:80, deep resolution 127.0.0.5:34523); elsewhere, as for the demo, they share
127.0.0.1 on free ports, except the deep resolution server, whose port the launcher fixes.
"""

import http.client
import json
import os
import pwd
import secrets
import selectors
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
DEEP_PORT = 34523
READY_TIMEOUT = 10.0


def isolated():
    """True in a network namespace of our own, where fixed ports and addresses are free."""
    return os.environ.get("ZYN_IN_NETNS") == "1"


def in_hosts_namespace(hosts):
    """Runs this program again in a mount namespace of its own whose /etc/hosts also names HOSTS
    ({name: address}), as glibc, Wine and squid read it; returns only there (needs root)."""
    if os.environ.get("ZYN_IN_HOSTS") == "1":
        return
    with open("/etc/hosts") as f:
        text = f.read() + "".join("%s %s\n" % (a, n) for n, a in hosts.items())
    with tempfile.NamedTemporaryFile("w", prefix="zyn-hosts-", delete=False) as f:
        f.write(text)
    os.chmod(f.name, 0o644)
    os.execvpe("unshare", ["unshare", "-m", "sh", "-c",
                           'mount --bind "$0" /etc/hosts && rm "$0" && exec "$@"', f.name,
                           sys.executable] + sys.argv, dict(os.environ, ZYN_IN_HOSTS="1"))


def free_port(address):
    with socket.socket() as s:
        s.bind((address, 0))
        return s.getsockname()[1]


def deep_answer(ip, port):
    """A deep resolution server's answer carrying IP and PORT."""
    return "ZYN_DEEP_RESOLVER_DISCOVER;%s;%s;" % (ip, port)


def _children(pid):
    found = []
    try:
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/children" % (pid, task)) as f:
                found += [int(child) for child in f.read().split()]
    except FileNotFoundError:  # it has just ended
        pass
    return found


def _alive(pid):
    """True while PID runs (a zombie has ended)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


class Server:
    """One server process of the network. Subclasses give the command and the readiness test."""

    name = "server"

    def __init__(self, folder, address, port):
        # A folder per instance: a test may run two servers of a kind (a dead and a live mirror).
        self.folder = tempfile.mkdtemp(prefix=self.name + "-", dir=folder)
        self.address = address
        self.port = port
        self.proc = None
        self.setpriv_options = []

    def path(self, name):
        return os.path.join(self.folder, name)

    def start(self):
        # The server also ends should the test die without stopping it (set after any change
        # of user, which would clear it).
        command = (["setpriv"] + self.setpriv_options + ["--pdeathsig", "TERM", "--"] +
                   self.command())
        with open(self.path("output.txt"), "ab") as output:
            self.proc = subprocess.Popen(command, cwd=self.folder, stdin=subprocess.DEVNULL,
                                         stdout=self.ready_pipe() or output, stderr=output)
        deadline = time.monotonic() + READY_TIMEOUT
        while not self.ready(deadline):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("%s did not start on %s:%s; its output:\n%s" % (
                    self.name, self.address, self.port, self.output()))
            time.sleep(0.02)
        return self

    def stop(self):
        if self.proc is None:
            return
        left = _children(self.proc.pid)
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.proc.stdout:
            self.proc.stdout.close()
        self.proc = None
        deadline = time.monotonic() + 5
        while any(_alive(pid) for pid in left) and time.monotonic() < deadline:
            time.sleep(0.02)
        stray = [pid for pid in left if _alive(pid)]
        for pid in stray:
            os.kill(pid, signal.SIGKILL)
        if stray:
            raise RuntimeError("%s left processes %s behind" % (self.name, stray))

    def output(self):
        with open(self.path("output.txt"), "rb") as f:
            return f.read().decode("latin-1")

    def ready_pipe(self):
        return None

    def ready(self, deadline):
        with socket.socket() as s:
            s.settimeout(max(0.01, deadline - time.monotonic()))
            return s.connect_ex((self.address, self.port)) == 0

    def url(self, path=""):
        port = "" if self.port == 80 else ":%d" % self.port
        return "http://%s%s/%s" % (self.address, port, path)


class Nginx(Server):
    """nginx with its own defaults (HTTP/1.1, keep-alive, ranges) serving the files of ROOT; its
    access log is the combined format with the Range header added."""

    name = "nginx"

    def __init__(self, folder, root, address=None, port=None, locations="", listen=""):
        """LOCATIONS: nginx directives added to the server (such as a location's rate limit);
        LISTEN: options of its listen directive (such as "ssl")."""
        address = address or ("127.0.0.2" if isolated() else "127.0.0.1")
        super().__init__(folder, address, port or (80 if isolated() else free_port(address)))
        self.root, self.locations, self.listen = root, locations, listen

    def command(self):
        temp = self.path("temp")
        # Run as root, the workers would switch to a user that cannot read the scratch folder.
        user = "user root;" if os.geteuid() == 0 else ""
        with open(self.path("nginx.conf"), "w") as f:
            f.write("""daemon off; worker_processes 1; %s pid %s; error_log %s;
events { worker_connections 64; }
http {
    log_format zyn '$remote_addr - $remote_user [$time_local] "$request" $status '
                   '$body_bytes_sent "$http_referer" "$http_user_agent" "$http_range"';
    access_log %s zyn; default_type application/octet-stream;
    client_body_temp_path %s; proxy_temp_path %s; fastcgi_temp_path %s;
    uwsgi_temp_path %s; scgi_temp_path %s;
    server { listen %s:%d %s; root %s; %s }
}
""" % (user, self.path("nginx.pid"), self.path("error.log"), self.path("access.log"),
            temp, temp, temp, temp, temp, self.address, self.port, self.listen, self.root,
            self.locations))
        return ["nginx", "-p", self.folder, "-c", self.path("nginx.conf"), "-e",
                self.path("error.log")]

    def output(self):
        with open(self.path("error.log"), "rb") as f:
            return super().output() + f.read().decode("latin-1")

    def etag(self, path):
        """The ETag that nginx gives the file at PATH now."""
        connection = http.client.HTTPConnection(self.address, self.port, timeout=10)
        try:
            connection.request("HEAD", "/" + path)
            return connection.getresponse().getheader("ETag")
        finally:
            connection.close()

    def requests(self):
        """Each request answered so far: (request line, status, body bytes sent, Range header
        or "-")."""
        with open(self.path("access.log"), encoding="latin-1") as f:
            fields = [l.split('"') for l in f]
        return [(f[1], int(f[2].split()[0]), int(f[2].split()[1]), f[7]) for f in fields]


_GUARD = """import os, signal, sys
def end(*_):
    try:
        os.kill(int(sys.argv[1]), signal.SIGTERM)
    finally:
        sys.exit(0)
signal.signal(signal.SIGTERM, end)
signal.pause()
"""


class Squid(Server):
    """squid as a forward proxy without cache folders; logs and pid in its folder. With USER
    ("name:password") it asks for Basic authentication and serves that user only."""

    name = "squid"

    def __init__(self, folder, address=None, port=None, user=None):
        address = address or ("127.0.0.3" if isolated() else "127.0.0.1")
        super().__init__(folder, address, port or (3128 if isolated() else free_port(address)))
        self.user = user
        # Its shared memory segments in /dev/shm are named after it: one name per instance.
        self.service = "zyn" + secrets.token_hex(6)

    def command(self):
        lines = ["http_port %s:%d" % (self.address, self.port), "http_access allow all",
                 "cache deny all", "cache_mem 8 MB", "shutdown_lifetime 0 seconds",
                 "pid_filename " + self.path("squid.pid"),
                 "cache_log " + self.path("cache.log"),
                 "access_log stdio:" + self.path("access.log"), "cache_store_log none",
                 "coredump_dir " + self.folder, "netdb_filename none", "pinger_enable off",
                 "icp_port 0", "htcp_port 0", "visible_hostname zyn-proxy"]
        if self.user:
            name, password = self.user.split(":", 1)
            with open(self.path("users"), "w") as f:
                f.write("%s:%s\n" % (name, subprocess.run(
                    ["openssl", "passwd", "-apr1", password], check=True, capture_output=True,
                    text=True).stdout.strip()))
            lines[1:2] = ["auth_param basic program /usr/lib/squid/basic_ncsa_auth " +
                          self.path("users"), "acl users proxy_auth REQUIRED",
                          "http_access allow users", "http_access deny all"]
        if os.geteuid() == 0:
            # squid refuses to run as root; its user must reach and write its folder.
            self.setpriv_options = ["--reuid", "proxy", "--regid", "proxy", "--init-groups"]
            entry = pwd.getpwnam("proxy")
            try:
                os.chown(self.folder, entry.pw_uid, entry.pw_gid)
            except OSError as error:
                raise RuntimeError("squid needs a user other than root, and this user "
                                   "namespace maps none: %s" % error)
            for parent in (os.path.dirname(self.folder), self.folder):
                os.chmod(parent, 0o755)
        with open(self.path("squid.conf"), "w") as f:
            f.write("\n".join(lines) + "\n")
        return ["squid", "-N", "-n", self.service, "-f", self.path("squid.conf")]

    def start(self):
        super().start()
        # squid loses the parent-death signal as it settles its user; a guard carries it instead.
        self.guard = subprocess.Popen(["setpriv", "--pdeathsig", "TERM", "--", sys.executable,
                                       "-c", _GUARD, str(self.proc.pid)])
        return self

    def stop(self):
        super().stop()
        if getattr(self, "guard", None):
            self.guard.kill()
            self.guard.wait()
            self.guard = None
        for name in os.listdir("/dev/shm"):
            if name.startswith(self.service + "-"):
                os.unlink(os.path.join("/dev/shm", name))

    @property
    def proxy_url(self):
        return "http://%s:%d" % (self.address, self.port)


class _ToolServer(Server):
    """A server of tools/ that prints "ready PORT" once it listens."""

    def ready_pipe(self):
        return subprocess.PIPE

    def ready(self, deadline):
        selector = selectors.DefaultSelector()
        selector.register(self.proc.stdout, selectors.EVENT_READ)
        if not selector.select(max(0, deadline - time.monotonic())):
            return False
        words = self.proc.stdout.readline().split()
        if len(words) != 2 or words[0] != b"ready":
            return False
        self.port = int(words[1])
        return True


class DeepResolver(_ToolServer):
    """The deep resolution server: answers each probe with ANSWERS, or never; with FLOOD
    (answers a second, seconds), with a flood of them, STRAYS among them from an address that
    nobody lists."""

    name = "deep"

    def __init__(self, folder, answers=(), address=None, port=DEEP_PORT, flood=(0, 0), strays=()):
        address = address or ("127.0.0.5" if isolated() else "127.0.0.1")
        super().__init__(folder, address, port)
        self.answers, self.flood, self.strays = list(answers), flood, list(strays)

    def command(self):
        command = [sys.executable, os.path.join(TOOLS, "deepresolver", "deep_resolver.py"),
                   "--address", self.address, "--port", str(self.port), "--log",
                   self.path("probes.log")]
        for answer in self.answers:
            command += ["--answer", answer]
        for answer in self.strays:
            command += ["--stray", answer]
        return command + ["--flood", str(self.flood[0]), "--flood-seconds", str(self.flood[1])]

    def probes(self):
        """The probes received so far, as (sender address, sender port) pairs."""
        try:
            with open(self.path("probes.log")) as f:
                lines = [l.split() for l in f]
        except FileNotFoundError:
            return []
        return [(l[0], int(l[1])) for l in lines if l[2] == "probe"]


class HostileServer(_ToolServer):
    """The scripted HTTP server of tools/hostile: the first path segment picks the misdeed."""

    name = "hostile"

    def __init__(self, folder, root=None, size=60000, address=None, port=None):
        address = address or ("127.0.0.4" if isolated() else "127.0.0.1")
        super().__init__(folder, address, port or (80 if isolated() else 0))
        self.root, self.size = root, size

    def command(self):
        command = [sys.executable, os.path.join(TOOLS, "hostile", "hostile_server.py"),
                   "--address", self.address, "--port", str(self.port), "--size",
                   str(self.size), "--log", self.path("requests.log")]
        return command + (["--root", self.root] if self.root else [])

    def requests(self):
        """Each request received so far: {"scenario": ..., "request": header text}."""
        try:
            with open(self.path("requests.log")) as f:
                return [json.loads(l) for l in f]
        except FileNotFoundError:
            return []


class Network:
    """Servers started in one scratch folder, all stopped by stop() (or the test's cleanup)."""

    def __init__(self, test=None):
        self.folder = tempfile.mkdtemp(prefix="zyn-net-")
        self.servers = []
        if test is not None:
            test.addCleanup(self.stop)

    def start(self, server_class, *args, **kwargs):
        server = server_class(self.folder, *args, **kwargs).start()
        self.servers.append(server)
        return server

    def stop(self):
        errors = []
        while self.servers:
            try:
                self.servers.pop().stop()
            except Exception as error:  # the others are still to be stopped
                errors.append(str(error))
        shutil.rmtree(self.folder, ignore_errors=True)
        if errors:
            raise RuntimeError("; ".join(errors))
