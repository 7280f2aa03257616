#!/usr/bin/env bash
# Measures the CPU cost of a recording (default 30 s) on the test desktop's virtual microphone, kept flowing
# by a steady silent stream as a real microphone would be.
set -euo pipefail
cd "$(dirname "$0")/.."
exec scripts/with-test-desktop.sh bash -c '
    pacat --playback --device=murmuro_speaker --latency-msec=20 </dev/zero &
    silence=$!
    build/bench/bench_recording_cpu "$@"
    status=$?
    kill $silence
    exit $status' bench "$@"
