#!/usr/bin/env bash
# Measures Murmuro's speed and memory on this machine and prints one table. Builds a release build into
# build-bench/ when needed and runs every measurement in one go inside a private test desktop (see
# scripts/with-test-desktop.sh). Takes about nine minutes.
#
#     bench/run.sh [--short]      --short leaves out the 120 s recording of the recogniser's figures
set -euo pipefail
cd "$(dirname "$0")/.."
lengths=(5 30 120)
if [[ ${1:-} == --short ]]; then lengths=(5 30); fi

build="build-bench"
if [[ ! -f $build/build.ninja ]]; then
    mapfile -t whisper_source < <(scripts/whisper-source.sh)
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMURMURO_BUILD_TESTS=OFF "${whisper_source[@]}" >/dev/null
fi
cmake --build "$build" >/dev/null

results=$(scripts/with-test-desktop.sh bench/measure.sh "$build" "${lengths[@]}")
declare -A figure
while read -r name value; do figure[$name]=$value; done <<<"$results"
get() { echo "${figure[$1]:-?}"; }

ratio=$(awk -v m="$(get murmuro_VmRSS_kb)" -v b="$(get bare_VmRSS_kb)" 'BEGIN { printf "%.2f", m / b }')
# Anonymous, file-backed (mostly shared libraries) and shared memory, in MB.
rss_parts() {
    awk -v a="$(get "$1_RssAnon_kb")" -v f="$(get "$1_RssFile_kb")" -v s="$(get "$1_RssShmem_kb")" \
        'BEGIN { printf "%.1f / %.1f / %.1f", a / 1024, f / 1024, s / 1024 }'
}
mb() { awk -v kb="$(get "$1")" 'BEGIN { printf "%.1f MB", kb / 1024 }'; }

echo "Murmuro benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores," \
    "$(free -g | awk '/^Mem:/ { print $2 }') GB, Debian $(cat /etc/debian_version)," \
    "Qt $(dpkg-query -W -f '${Version}' libqt6core6 | cut -d+ -f1)," \
    "GStreamer $(dpkg-query -W -f '${Version}' libgstreamer1.0-0 | cut -d- -f1)"
echo
row() { printf '| %-46s | %-20s | %-20s | %-10s |\n' "$@"; }
row "Figure" "murmuro" "bare Qt tray app" "goal"
row "----------------------------------------------" "--------------------" "--------------------" "----------"
row "Stop to clipboard, own time (10 s dictation)" "$(get stop_to_clipboard_own_ms) ms" "" "<= 30 ms"
row "  not counted: recogniser / chat" "$(get stop_to_clipboard_recogniser_ms) / $(get stop_to_clipboard_chat_ms) ms" "" ""
row "Idle memory (RSS, About closed)" "$(mb murmuro_VmRSS_kb)" "$(mb bare_VmRSS_kb)" "<= 1.3 x"
row "  ratio to the bare app" "$ratio x" "1 x" ""
row "  anonymous / file-backed / shared" "$(rss_parts murmuro) MB" "$(rss_parts bare) MB" ""
row "Wake-ups in 60 s idle (all threads)" "$(get murmuro_wakeups)" "$(get bare_wakeups)" "0"
row "Threads when idle" "$(get murmuro_threads)" "$(get bare_threads)" ""
row "Launch to tray icon (median of 5)" "$(get murmuro_launch_to_tray_ms) ms" "$(get bare_launch_to_tray_ms) ms" ""
row "Lost at press, first dictation (new / cached)" \
    "$(get press_loss_first_fresh_ms) / $(get press_loss_first_cached_ms) ms" "" "<= 50 ms"
row "Lost at press, later dictation" "$(get press_loss_later_cached_ms) ms" "" "<= 50 ms"
row "CPU while recording (30 s, one core)" "$(get recording_cpu_percent) %" "" ""
row "Recogniser model load / held" "$(get model_load_ms) ms / $(get model_held_mb) MB" "" ""
for seconds in "${lengths[@]}"; do
    row "Wait after stop, ${seconds} s recording (cold)" \
        "$(get "wait_after_stop_${seconds}_s") s ($(get "cold_wait_after_stop_${seconds}_s") s)" "" ""
    row "Real-time factor, ${seconds} s recording" "$(get "real_time_factor_${seconds}_s")" "" ""
done
row "Word accuracy (espeak-ng, 10 sentences)" "$(get word_accuracy_percent) %" "" ""
row "Overlay tick with repaint" "$(get overlay_tick_ms) ms" "" ""
row "Tray menu description" "$(get menu_description_us) us" "" ""
echo
echo "Threads that woke up while idle, murmuro: $(get murmuro_wakeups_by_thread);" \
    "bare Qt tray app: $(get bare_wakeups_by_thread)"
