#include "speech/whisper/SpeechDetector.h"

#include "speech/whisper/WhisperModel.h"
#include "speech/whisper/WhisperRuntime.h"

#include <QFileInfo>

#include <whisper.h>

#include <algorithm>
#include <cmath>

namespace {

// The model's file is known and small: a sanity check of its size is enough to keep a wrong file from
// whisper.cpp, which trusts whatever a file states.
constexpr qint64 minimumModelBytes = 100'000;
constexpr qint64 maximumModelBytes = 10'000'000;

std::size_t samplePosition(float centiseconds, std::size_t clipLength) {
    const auto position =
        static_cast<std::size_t>(std::lround(std::max(centiseconds, 0.0f) * whisperSampleRate / 100));
    return std::min(position, clipLength);
}

} // namespace

SpeechDetector::Loaded SpeechDetector::load(const QString& path) {
    if (const std::optional<QString> problem = prepareWhisperRuntime()) {
        return {nullptr, *problem};
    }
    const QFileInfo file(path);
    if (!file.isFile() || file.size() < minimumModelBytes || file.size() > maximumModelBytes) {
        return {nullptr, QStringLiteral("The voice activity model %1 is missing or damaged.").arg(path)};
    }
    whisper_vad_context_params parameters = whisper_vad_default_context_params();
    // The network is small: a second thread costs more in synchronisation than it saves.
    parameters.n_threads = 1;
    parameters.use_gpu = false;
    whisper_vad_context* context =
        whisper_vad_init_from_file_with_params(path.toLocal8Bit().constData(), parameters);
    if (!context) {
        return {nullptr, QStringLiteral("The voice activity model %1 could not be loaded.").arg(path)};
    }
    return {std::unique_ptr<SpeechDetector>(new SpeechDetector(context)), QString()};
}

SpeechDetector::SpeechDetector(whisper_vad_context* context)
    : m_context(context) {}

SpeechDetector::~SpeechDetector() {
    whisper_vad_free(m_context);
}

std::optional<std::vector<SpeechStretch>> SpeechDetector::speech(std::span<const float> clip) {
    if (clip.empty()) {
        return std::vector<SpeechStretch>();
    }
    std::lock_guard lock(m_inUse);
    whisper_vad_params parameters = whisper_vad_default_params();
    parameters.min_silence_duration_ms = minimumPauseMs;
    parameters.max_speech_duration_s = maximumStretchSeconds;
    parameters.speech_pad_ms = 200;
    whisper_vad_segments* segments =
        whisper_vad_segments_from_samples(m_context, parameters, clip.data(), static_cast<int>(clip.size()));
    if (!segments) {
        return std::nullopt;
    }
    std::vector<SpeechStretch> stretches;
    for (int i = 0; i < whisper_vad_segments_n_segments(segments); ++i) {
        const SpeechStretch stretch{
            samplePosition(whisper_vad_segments_get_segment_t0(segments, i), clip.size()),
            samplePosition(whisper_vad_segments_get_segment_t1(segments, i), clip.size())};
        if (stretch.end > stretch.begin) {
            stretches.push_back(stretch);
        }
    }
    whisper_vad_free_segments(segments);
    return stretches;
}
