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
# A file that stays, so that a namespace made inside this one can mount over it again.
mount --bind "$(dirname "$0")/netns-hosts" /etc/hosts
exec "$@"
