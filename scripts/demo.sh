#!/usr/bin/env bash
# Demo: one launch of the Linux program against a local Zyn network (nginx and the deep
# resolution server, on 127.0.0.1), with stub components standing in for the engine,
# configuration tool, user interface and network services library. Needs no root.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
echo "Building the Linux program (build/native)..."
cmake --preset native >/dev/null
cmake --build --preset native --target zynLaunch zynStub zynStub-7.0.2.6 zynVersion >/dev/null

# nginx lives in /usr/sbin, which a user's PATH may leave out.
export PATH=$PATH:/usr/sbin:/sbin
exec python3 scripts/demo_launch.py build/native/bin
