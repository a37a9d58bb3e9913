#!/usr/bin/env bash
# Runs a command in a fresh network namespace with only loopback up, so tests can use the
# launcher's fixed ports side by side. Needs root (or unprivileged user namespaces).
set -euo pipefail
if [[ "${ZYN_IN_NETNS:-}" != 1 ]]; then
    if [[ $(id -u) == 0 ]]; then
        exec env ZYN_IN_NETNS=1 unshare -n -- "$0" "$@"
    fi
    exec env ZYN_IN_NETNS=1 unshare -r -n -- "$0" "$@"
fi
ip link set lo up
exec "$@"
