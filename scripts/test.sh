#!/usr/bin/env bash
# Builds the suite twice, as shipped and with AddressSanitizer and UndefinedBehaviorSanitizer, and runs it
# inside a private headless desktop each time. Fails on any failed test and on any sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
mapfile -t whisper_source < <(scripts/whisper-source.sh)

run_suite() {
    local name=$1 dir=build-test/$1
    shift
    echo "=== $name build"
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${whisper_source[@]}" "$@" >/dev/null
    cmake --build "$dir" --parallel "$jobs"
    echo "=== $name tests"
    local log="$dir/ctest.log"
    set +e
    scripts/with-test-desktop.sh ctest --test-dir "$dir" --output-on-failure --timeout 300 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    set -e
    if grep -q -E 'ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer' "$log"; then
        echo "sanitizer report in the $name run" >&2
        return 1
    fi
    return "$status"
}

# GLib and Qt keep process-wide caches that look like leaks; every other report stops the test.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_suite release
run_suite sanitized -DMURMURO_SANITIZE=ON
