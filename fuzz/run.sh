#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and the address and undefined-behaviour sanitizers, then runs
# each one for a bounded time on its seed corpus (fuzz/corpus/<target>/) plus the inputs it finds on the way.
# Fails at the first crash, leak, sanitizer report or broken promise; libFuzzer leaves the input that did it
# in the build directory as <target>-crash-*, -leak-* or -timeout-*.
#
#     fuzz/run.sh [seconds per target] [build directory]        defaults: 30, build-fuzz
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=${2:-build-fuzz}

cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 \
    $(scripts/whisper-source.sh) >/dev/null
cmake --build "$build" --parallel 2

# New inputs go to a scratch directory, so the seed corpus in the repository changes only by hand.
found=$(mktemp -d /tmp/murmuro-fuzz.XXXXXX)
trap 'rm -rf "$found"' EXIT
# No input needs more than 512 MB at once. A damaged "@Variant" in a settings file makes Qt's loader reserve
# room for as many entries as the damage says, up to billions, and cope when it does not get it: such a
# request is refused, as glibc's malloc refuses what the machine cannot give, instead of counted as a crash.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:max_allocation_size_mb=512
export UBSAN_OPTIONS=print_stacktrace=1
for corpus in fuzz/corpus/*/; do
    target=$(basename "$corpus")
    log="$build/$target.log"
    mkdir "$found/$target"
    if ! "$build/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/$target-" "$found/$target" "$corpus" >"$log" 2>&1; then
        cat "$log"
        echo "fuzz target $target failed; the input is in $build/" >&2
        exit 1
    fi
    echo "$target: $(grep -m1 -o 'Done [0-9]* runs in [0-9]* second(s)' "$log");" \
        "$(ls "$corpus" | wc -l) seeds, $(ls "$found/$target" | wc -l) new inputs"
done
