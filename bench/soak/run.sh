#!/usr/bin/env bash
# Runs the soak benchmark: the real murmuro binary for 200 dictations in a row (every fifth a failure on
# purpose) in a private test desktop and a network namespace of its own, with a checkpoint every 50. Builds a
# release build into build-bench/ when needed. Takes about half an hour.
#
#     bench/soak/run.sh [DICTATIONS [CHECKPOINT_EVERY]]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="build-bench"
if [[ ! -f $build/build.ninja ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMURMURO_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target bench_soak >/dev/null
exec tests/private-network.sh scripts/with-test-desktop.sh "$build/bench/soak/bench_soak" \
    "$build/src/murmuro" "$@"
