#!/usr/bin/env bash
# Runs a command in a network namespace of its own with only the loopback interface up: its servers on
# 127.0.0.1, the chat server's default port among them, meet nobody else's, and nothing leaves the machine.
# Root gets the namespace directly, anyone else through a user namespace of their own.
set -euo pipefail
if [[ ${1:-} == --inside ]]; then
    shift
    ip link set lo up
    exec "$@"
fi
user=()
if [[ $(id -u) -ne 0 ]]; then user=(--map-root-user); fi
exec unshare "${user[@]}" --net "$0" --inside "$@"
