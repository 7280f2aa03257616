#!/bin/sh
# Runs a test in a network namespace of its own with only loopback up: its fake servers can take any port,
# and nothing it starts can reach a server of the machine, such as a chat server on 127.0.0.1:11434. X11 and
# PulseAudio are reached over unix sockets in the file system, which work across network namespaces.
set -eu
# Without root, a user namespace of its own lets the caller make the network namespace.
user_namespace=""
[ "$(id -u)" -eq 0 ] || user_namespace="--map-root-user"
# shellcheck disable=SC2086 # the option is one word or none
if ! unshare --net $user_namespace true 2>/dev/null; then
    echo "$0: cannot make a private network namespace (needs root or unprivileged user namespaces)" >&2
    exit 1
fi
# shellcheck disable=SC2086
exec unshare --net $user_namespace sh -c 'ip link set lo up && exec "$@"' private-network "$@"
