#!/usr/bin/env bash
# Runs every benchmark once, one after the other, inside the test desktop that bench/run.sh starts, and
# prints their "name value" lines (murmuro's idle figures prefixed "murmuro_", the bare tray app's "bare_").
# Details go to stderr. Arguments: the build directory, then the recording lengths for the recogniser.
set -euo pipefail
build=$1
shift

# An idle null sink hands its monitor audio on in bursts; a steady stream keeps the microphone flowing.
pacat --playback --device=murmuro_speaker --latency-msec=20 </dev/zero &
silence=$!
trap 'kill $silence' EXIT

# Each run gets a settings directory of its own, so that murmuro starts from its defaults.
idle() {
    local prefix=$1
    shift
    XDG_CONFIG_HOME=$(mktemp -d "$XDG_RUNTIME_DIR/config.XXXXXX") QT_QPA_PLATFORM=xcb \
        "$build/bench/bench_tray_app" "$@" | sed "s/^/${prefix}_/"
}

echo "stop to clipboard..." >&2
"$build/bench/bench_stop_to_clipboard" 5 | grep '^stop_to_clipboard_'
echo "murmuro idle..." >&2
idle murmuro --close "About Murmuro" "$build/src/murmuro"
echo "bare tray app idle..." >&2
idle bare "$build/bench/bare_tray"
echo "loss at the press..." >&2
"$build/bench/bench_press_loss" 5
echo "recording CPU..." >&2
"$build/bench/bench_recording_cpu" 30
echo "recogniser..." >&2
"$build/bench/bench_transcription" "$@"
echo "overlay and menu..." >&2
QT_QPA_PLATFORM=offscreen "$build/bench/bench_ui"
