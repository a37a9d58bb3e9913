#!/usr/bin/env bash
# Runs a command in a fresh network namespace with only loopback up, so tests can use the
# launcher's fixed ports side by side, and with "localhost" on both loopback addresses whatever
# the machine's hosts file says. Needs root (or unprivileged user namespaces).
set -euo pipefail
if [[ "${ZYN_IN_NETNS:-}" != 1 ]]; then
    if [[ $(id -u) == 0 ]]; then
        exec env ZYN_IN_NETNS=1 unshare -n -m -- "$0" "$@"
    fi
    exec env ZYN_IN_NETNS=1 unshare -r -n -m -- "$0" "$@"
fi
ip link set lo up
hosts=$(mktemp)
{ grep -v -w localhost /etc/hosts || true; printf '127.0.0.1 localhost\n::1 localhost\n'; } \
    >"$hosts"
mount --bind "$hosts" /etc/hosts
rm -f "$hosts"
exec "$@"
