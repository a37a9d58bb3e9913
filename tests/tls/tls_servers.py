#!/usr/bin/env python3
"""Usage: tls_servers.py <command...>: runs the TLS tests beside nginx serving HTTPS on loopback
with certificates made for this run, and names the servers to them through the environment (see
main); as root, in a mount namespace where a CA made for the run is the system's bundle of roots."""

import datetime
import hashlib
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from zynnet import Nginx, free_port, isolated  # noqa: E402

BODY_SIZE = 64 << 20
BUNDLE = "/etc/ssl/certs/ca-certificates.crt"
SIGNING = """[ca]
default_ca = signer
[signer]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = anything
unique_subject = no
[anything]
commonName = supplied
[leaf]
basicConstraints = critical, CA:FALSE
extendedKeyUsage = serverAuth
subjectAltName = DNS:$ENV::ZYN_SAN
"""


def openssl(folder, *args, san=""):
    subprocess.run(["openssl"] + list(args), cwd=folder, check=True, capture_output=True,
                   env=dict(os.environ, ZYN_SAN=san))


def make_certificates(folder, good="localhost"):
    """Server certificates as the module's text names them, the first for GOOD."""
    with open(os.path.join(folder, "signing.cnf"), "w") as f:
        f.write(SIGNING)
    open(os.path.join(folder, "index.txt"), "w").close()
    with open(os.path.join(folder, "serial"), "w") as f:
        f.write("1000\n")
    openssl(folder, "genpkey", "-algorithm", "RSA", "-out", "leaf.key")
    openssl(folder, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "stranger.key",
            "-out", "stranger.pem", "-days", "2", "-subj", "/CN=Stranger CA")
    openssl(folder, "req", "-x509", "-key", "leaf.key", "-out", "selfsigned.test.crt", "-days",
            "2", "-subj", "/CN=selfsigned.test", "-addext", "subjectAltName=DNS:selfsigned.test")
    day = datetime.timedelta(days=1)
    now = datetime.datetime.now(datetime.timezone.utc)
    stamp = lambda t: t.strftime("%Y%m%d%H%M%SZ")  # noqa: E731
    ca = os.path.join(HERE, "ca")
    # Server name, name in the certificate, signer, validity.
    for sni, name, signer, start, end in [
            (good, good, ca, now - day, now + day),
            ("wrong.test", "other.test", ca, now - day, now + day),
            ("expired.test", "expired.test", ca, now - 10 * day, now - day),
            ("stranger.test", "stranger.test", os.path.join(folder, "stranger"), now - day,
             now + day)]:
        openssl(folder, "req", "-new", "-key", "leaf.key", "-subj", "/CN=" + name, "-out",
                sni + ".csr")
        openssl(folder, "ca", "-batch", "-notext", "-config", "signing.cnf", "-extensions",
                "leaf", "-cert", signer + ".pem", "-keyfile", signer + ".key", "-in",
                sni + ".csr", "-out", sni + ".crt", "-startdate", stamp(start), "-enddate",
                stamp(end), san=name)


def main():
    with tempfile.TemporaryDirectory(prefix="zyn-tls-") as folder:
        make_certificates(folder)
        root = os.path.join(folder, "root")
        os.mkdir(root)
        body = os.urandom(BODY_SIZE)
        with open(os.path.join(root, "body"), "wb") as f:
            f.write(body)
        address = "127.0.0.2" if isolated() else "127.0.0.1"
        plain = free_port(address)
        certificate = ("ssl_certificate %s/$ssl_server_name.crt; ssl_certificate_key %s/leaf.key;"
                       % (folder, folder))
        # TLS 1.1 needs the ciphers of security level 0 in OpenSSL 3.
        versions = {"TLS12": "TLSv1.2", "TLS13": "TLSv1.3",
                    "TLS11": "TLSv1.1; ssl_ciphers DEFAULT:@SECLEVEL=0"}
        # nginx picks the certificate by the server name the client sends; the stranger CA
        # stands for the system's trusted roots.
        servers, env = [], dict(os.environ, ZYN_TLS_ADDRESS=address, ZYN_PLAIN_PORT=str(plain),
                                ZYN_TLS_BODY_SIZE=str(BODY_SIZE),
                                ZYN_TLS_BODY_SHA256=hashlib.sha256(body).hexdigest(),
                                SSL_CERT_FILE=os.path.join(folder, "stranger.pem"))
        try:
            for key, protocols in versions.items():
                extra = "listen %s:%d;" % (address, plain) if key == "TLS12" else ""
                server = Nginx(folder, root, address, free_port(address), listen="ssl",
                               locations=certificate + "ssl_protocols %s;" % protocols + extra)
                servers.append(server.start())
                env["ZYN_%s_PORT" % key] = str(server.port)
            # The system's roots on both platforms: OpenSSL reads SSL_CERT_FILE, Wine the
            # system's bundle, which a mount of the test's own shows it.
            return subprocess.run(["unshare", "-m", "sh", "-c",
                                   'mount --bind "$0" %s && exec "$@"' % BUNDLE,
                                   env["SSL_CERT_FILE"]] + sys.argv[1:], env=env).returncode
        finally:
            for server in servers:
                server.stop()


if __name__ == "__main__":
    sys.exit(main())
