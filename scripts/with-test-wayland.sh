#!/usr/bin/env bash
# Runs a command inside a private, headless Wayland desktop: sway on its headless backend with software
# rendering, a D-Bus session bus of its own (a socket file, so nothing outside the session can reach it by
# name), and a PulseAudio server of its own whose default input is a virtual microphone. Speech played into
# the sink "murmuro_speaker" arrives at the source "murmuro_mic". Everything is stopped when the command ends;
# the machine's own display, bus and sound server are never touched.
#
# sway refuses to run as root. Started as root, the script runs sway alone as the unprivileged user
# murmuro-test (created on first use), in a runtime folder of its own; the command, the bus and the sound
# server stay root's and reach sway through the absolute path of its socket. So the command may run from a
# folder that murmuro-test cannot enter, such as a checkout under /root.
set -euo pipefail

workdir=$(mktemp -d /tmp/murmuro-wayland.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

export HOME="$workdir/home"
export XDG_RUNTIME_DIR="$workdir/run"
export XDG_CONFIG_HOME="$workdir/config"
export XDG_CACHE_HOME="$workdir/cache"
export XDG_DATA_HOME="$workdir/data"
mkdir -p -m 0700 "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
# sway's own runtime folder and home: its user's, if it runs as another one.
sway_dir="$workdir/sway"
mkdir -p -m 0700 "$sway_dir/run" "$sway_dir/home"
as_sway_user=()
if [ "$(id -u)" -eq 0 ]; then
    user=murmuro-test
    if ! id -u "$user" >/dev/null 2>&1; then
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
    fi
    chmod 0711 "$workdir"
    chown -R "$user:" "$sway_dir"
    as_sway_user=(setpriv --reuid="$user" --regid="$user" --init-groups --)
fi
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway

dbus-daemon --config-file="$(dirname "$0")/test-session-bus.conf" --address="unix:path=$XDG_RUNTIME_DIR/bus" \
    --nofork --nopidfile >"$workdir/dbus.log" 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"

cat >"$sway_dir/sway.conf" <<SWAY
output HEADLESS-1 resolution 1280x800 position 0 0
xwayland disable
focus_on_window_activation focus
SWAY
chmod 0644 "$sway_dir/sway.conf"
env HOME="$sway_dir/home" XDG_RUNTIME_DIR="$sway_dir/run" WLR_BACKENDS=headless WLR_RENDERER=pixman \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=1 \
    "${as_sway_user[@]}" sway --config "$sway_dir/sway.conf" >"$workdir/sway.log" 2>&1 &
pids+=($!)

export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse-native"
cat >"$workdir/pulse.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$XDG_RUNTIME_DIR/pulse-native
load-module module-null-sink sink_name=murmuro_speaker sink_properties=device.description=Murmuro_Speaker
load-module module-remap-source master=murmuro_speaker.monitor source_name=murmuro_mic source_properties=device.description=Murmuro_Microphone
set-default-sink murmuro_speaker
set-default-source murmuro_mic
PA
pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no --system=no \
    -n -F "$workdir/pulse.pa" >"$workdir/pulse.log" 2>&1 &
pids+=($!)

socket=""
for _ in $(seq 100); do
    if [ -z "$socket" ]; then
        socket=$(find "$sway_dir/run" -maxdepth 1 -type s -name 'wayland-*' -printf '%p\n' | head -n 1)
    fi
    if [ -n "$socket" ] && [ -S "$XDG_RUNTIME_DIR/bus" ] && pactl info >/dev/null 2>&1; then break; fi
    sleep 0.1
done
[ -n "$socket" ] || { echo "sway did not start" >&2; cat "$workdir/sway.log" >&2; exit 1; }
[ -S "$XDG_RUNTIME_DIR/bus" ] || { echo "the session bus did not start" >&2; cat "$workdir/dbus.log" >&2; exit 1; }
pactl info >/dev/null 2>&1 || { echo "PulseAudio did not start" >&2; cat "$workdir/pulse.log" >&2; exit 1; }
# An absolute path: the socket is not in this user's runtime folder.
export WAYLAND_DISPLAY="$socket"
SWAYSOCK=$(find "$sway_dir/run" -maxdepth 1 -type s -name 'sway-ipc.*' -printf '%p\n' | head -n 1)
export SWAYSOCK

set +e
"$@"
status=$?
set -e
exit $status
