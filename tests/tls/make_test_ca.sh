#!/usr/bin/env bash
# Made ca.pem and ca.key once with the openssl command line: the CA that signs the certificates
# the TLS tests make for their servers on each run, and the CA pinned in the test program. Run
# again only to replace it:
#   tests/tls/make_test_ca.sh
set -euo pipefail
cd "$(dirname "$0")"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 7300 -sha256 \
    -subj "/CN=Zyn test CA" -addext "keyUsage=critical,keyCertSign,cRLSign"
