#!/usr/bin/env bash
# Runs a command inside a private, headless desktop: an Xvfb display with the openbox window manager and a
# tray (trayer), a D-Bus session bus of its own, and a PulseAudio server of its own whose default input is a
# virtual microphone. Speech played into the sink "murmuro_speaker" arrives at the source "murmuro_mic".
# Everything is stopped when the command ends; the machine's own display, bus and sound server are never
# touched.
set -euo pipefail

workdir=$(mktemp -d /tmp/murmuro-desktop.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$workdir"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR="$workdir/run"
export XDG_CONFIG_HOME="$workdir/config"
export XDG_CACHE_HOME="$workdir/cache"
export XDG_DATA_HOME="$workdir/data"
mkdir -p -m 0700 "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"

# Xvfb picks a free display number itself and writes it to the descriptor.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp >"$workdir/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 10 display <&"$displayfd" || { echo "Xvfb did not start" >&2; cat "$workdir/xvfb.log" >&2; exit 1; }
exec {displayfd}>&-
export DISPLAY=":$display"
unset WAYLAND_DISPLAY

openbox >"$workdir/openbox.log" 2>&1 &
pids+=($!)
trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 28 \
    >"$workdir/trayer.log" 2>&1 &
pids+=($!)

dbus-daemon --config-file="$(dirname "$0")/test-session-bus.conf" --address="unix:path=$XDG_RUNTIME_DIR/bus" \
    --nofork --nopidfile >"$workdir/dbus.log" 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"

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

for _ in $(seq 100); do
    if xdpyinfo >/dev/null 2>&1 && pactl info >/dev/null 2>&1 && [ -S "$XDG_RUNTIME_DIR/bus" ]; then break; fi
    sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "the X server is not answering" >&2; exit 1; }
# Windows mapped before the window manager manages the screen may never get the focus.
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
pactl info >/dev/null 2>&1 || { echo "PulseAudio did not start" >&2; cat "$workdir/pulse.log" >&2; exit 1; }

set +e
"$@"
status=$?
set -e
exit $status
