#!/bin/sh
# Runs a test in a network namespace of its own with only loopback up: its fake servers can take any port,
# and nothing it starts can reach a server of the machine, such as a chat server on 127.0.0.1:11434. X11 and
# PulseAudio are reached over unix sockets in the file system, which work across network namespaces.
set -eu
as_root=""
[ "$(id -u)" -eq 0 ] || as_root="--map-root-user"
if ! unshare --net $as_root true 2>/dev/null; then
    echo "$0: cannot make a private network namespace (needs root or unprivileged user namespaces)" >&2
    exit 1
fi
exec unshare --net $as_root sh -c 'ip link set lo up && exec "$@"' private-network "$@"
