#!/usr/bin/env bash
# Made ca.pem and ca.key once: the CA that signs the certificates the tests make for their HTTPS
# servers on each run, pinned in zynLaunchTestCa and the unit tests. Run again only to replace it.
set -euo pipefail
cd "$(dirname "$0")"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 7300 -sha256 \
    -subj "/CN=Zyn test CA" -addext "keyUsage=critical,keyCertSign,cRLSign"
