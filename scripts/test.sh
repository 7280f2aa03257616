#!/usr/bin/env bash
# Builds the suite twice, as shipped and with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer, and
# runs it inside a private headless X11 desktop each time, then its Wayland tests inside a headless sway, then
# runs the fuzz targets. Fails on any failed test, on any sanitizer report and on any crash the fuzzers find.
#
#   scripts/test.sh                both builds and the fuzz targets, as CI runs them
#   scripts/test.sh sanitized      one of them: release, sanitized or fuzz
set -euo pipefail
cd "$(dirname "$0")/.."

# Leaks inside system libraries are listed in scripts/lsan.supp; every other report stops the test. Stacks are
# unwound in full: the system libraries have no frame pointers, and the suppressions need to see past them.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0:malloc_context_size=8
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

jobs=$(nproc)
mapfile -t whisper_source < <(scripts/whisper-source.sh)
builds=("$@")
((${#builds[@]})) || builds=(release sanitized fuzz)
summary=()
failed=0

stage() { printf '\n==> %s\n' "$*"; }

elapsed() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

# run_suite NAME: configures and builds build-test/NAME, runs its tests, and adds a line to the summary.
run_suite() {
    local name=$1 dir=build-test/$1 flags=() kind=RelWithDebInfo
    if [[ $name == sanitized ]]; then
        flags=(-DMURMURO_SANITIZE=ON)
        kind="RelWithDebInfo with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer; leak suppressions in"
        kind+=" scripts/lsan.supp"
    fi
    local log=$dir/ctest.log started=$SECONDS

    stage "$name build: configuring and building $dir ($kind, $jobs jobs)"
    # The test builds run only here, so whisper.cpp's CPU backend is built for this machine alone.
    if ! { cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMURMURO_WHISPER_CPU_VARIANTS=OFF \
        "${whisper_source[@]}" "${flags[@]}" >/dev/null &&
        cmake --build "$dir" --parallel "$jobs"; }; then
        summary+=("$(printf '%-10s FAILED to build (see the output above)' "$name")")
        failed=1
        return 1
    fi

    local count
    count=$(ctest --test-dir "$dir" -N | sed -n 's/^Total Tests: //p')
    stage "$name suite: running $count tests inside a private desktop (scripts/with-test-desktop.sh), log $log"
    run_pass "$name" "$dir" "$log" "$started" scripts/with-test-desktop.sh
    # The tests labelled wayland skip on X11; they run again in a headless sway.
    count=$(ctest --test-dir "$dir" -N -L wayland | sed -n 's/^Total Tests: //p')
    log=$dir/ctest-wayland.log
    stage "$name Wayland: running $count tests inside a headless sway (scripts/with-test-wayland.sh), log $log"
    run_pass "$name (wl)" "$dir" "$log" "$SECONDS" scripts/with-test-wayland.sh -L wayland
}

# run_pass NAME DIR LOG STARTED DESKTOP [CTEST OPTIONS]: runs the tests of DIR inside the desktop script and
# adds a line to the summary.
run_pass() {
    local name=$1 dir=$2 log=$3 started=$4 desktop=$5
    shift 5
    set +e
    "$desktop" ctest --test-dir "$dir" --output-on-failure --timeout 300 "$@" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    set -e

    local result counts
    counts=$(grep -oE '[0-9]+ tests failed out of [0-9]+' "$log" | awk '{print $6 - $1 " of " $6}')
    if grep -q -E 'ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer' "$log"; then
        result="FAILED with a sanitizer report:"
        status=1
    elif ((status)); then
        result="FAILED:"
    else
        result="ok:"
    fi
    summary+=("$(printf '%-10s %s %s tests passed in %s, log %s' "$name" "$result" "${counts:-? of ?}" \
        "$(elapsed $((SECONDS - started)))" "$log")")
    ((status == 0)) || failed=1
}

# run_fuzz: builds the fuzz targets in build-test/fuzz with clang and runs each for 30 s (fuzz/run.sh).
run_fuzz() {
    local started=$SECONDS result="ok: no crash in 30 s per target"
    stage "fuzz targets: building build-test/fuzz (clang, libFuzzer, ASan/UBSan) and running each for 30 s"
    if ! fuzz/run.sh 30 build-test/fuzz; then
        result="FAILED (see the output above)"
        failed=1
    fi
    summary+=("$(printf '%-10s %s, %s' fuzz "$result" "$(elapsed $((SECONDS - started)))")")
}

for build in "${builds[@]}"; do
    if [[ $build != release && $build != sanitized && $build != fuzz ]]; then
        echo "unknown build '$build': use release, sanitized or fuzz" >&2
        exit 2
    fi
done
names="${builds[*]}"
stage "testing ${names// / and } in build-test/"
for build in "${builds[@]}"; do
    # A build that does not compile stops the run: the next one would fail the same way.
    if [[ $build == fuzz ]]; then run_fuzz; else run_suite "$build" || break; fi
done

stage "summary"
printf '    %s\n' "${summary[@]}"
if ((failed)); then
    echo "    rerun one test: scripts/with-test-desktop.sh ctest --test-dir build-test/<build> -R <test> --output-on-failure"
    echo "    (for the sanitized build with ASAN_OPTIONS, LSAN_OPTIONS and UBSAN_OPTIONS as exported in scripts/test.sh)"
fi
exit "$failed"
