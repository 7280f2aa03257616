#include "speech/whisper/WhisperModel.h"

#include "speech/Vocabulary.h"
#include "speech/whisper/WhisperModelFile.h"
#include "speech/whisper/WhisperRuntime.h"

#include <whisper.h>

#include <malloc.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

// Whisper hears in windows of 30 s, 1500 encoder positions, 50 per second. A short clip needs only the
// positions its audio covers, which makes the encoder several times faster; a little room beyond the speech
// and a floor keep short clips from being cut off.
int audioContext(std::size_t samples) {
    const auto positions = static_cast<int>(samples * 50 / whisperSampleRate) + 32;
    return std::clamp((positions + 63) / 64 * 64, 256, 1500);
}

// Whisper hears a clip of under a second badly and one of under 100 ms not at all.
std::vector<float> paddedToOneSecond(std::span<const float> clip) {
    std::vector<float> padded(clip.begin(), clip.end());
    padded.resize(std::max<std::size_t>(padded.size(), whisperSampleRate), 0.0f);
    return padded;
}

bool abortRequested(void* cancelled) {
    return static_cast<const std::atomic<bool>*>(cancelled)->load();
}

} // namespace

int defaultWhisperThreads() {
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()) - 1, 1, 4);
}

WhisperModel::Loaded WhisperModel::load(const QString& path, int threads) {
    if (const std::optional<QString> problem = prepareWhisperRuntime()) {
        return {nullptr, *problem};
    }
    if (const std::optional<QString> problem = whisperModelFileProblem(path)) {
        return {nullptr, QStringLiteral("The Whisper model %1 cannot be used: %2.").arg(path, *problem)};
    }
    whisper_context_params parameters = whisper_context_default_params();
    parameters.use_gpu = false;
    whisper_context* context = whisper_init_from_file_with_params(path.toLocal8Bit().constData(), parameters);
    if (!context) {
        return {nullptr, QStringLiteral("The Whisper model %1 could not be loaded.").arg(path)};
    }
    return {std::unique_ptr<WhisperModel>(new WhisperModel(context, std::max(threads, 1))), QString()};
}

WhisperModel::WhisperModel(whisper_context* context, int threads)
    : m_context(context)
    , m_threads(threads) {}

WhisperModel::~WhisperModel() {
    whisper_free(m_context);
    // The vocabulary is many small allocations that the allocator would otherwise keep for the life of the
    // process.
    malloc_trim(0);
}

bool WhisperModel::isMultilingual() const {
    return whisper_is_multilingual(m_context) != 0;
}

QString WhisperModel::decodingLanguage(const QString& language) const {
    const QString english = QStringLiteral("en");
    if (!isMultilingual()) {
        return english;
    }
    if (language == QLatin1String("auto")) {
        return language;
    }
    return whisper_lang_id(language.toLatin1().constData()) >= 0 ? language : english;
}

QString WhisperModel::initialPrompt(const QStringList& vocabulary) const {
    return vocabularyPrompt(vocabulary,
                            [this](const QString& text) {
                                return whisper_token_count(m_context, text.toUtf8().constData());
                            })
        .text;
}

std::optional<QString> WhisperModel::transcribe(std::span<const float> clip, const QString& language,
                                                const std::atomic<bool>& cancelled,
                                                const QStringList& vocabulary) {
    std::lock_guard lock(m_decoding);
    const QByteArray code = decodingLanguage(language).toLatin1();
    const QByteArray prompt = initialPrompt(vocabulary).toUtf8();
    const std::vector<float> samples = paddedToOneSecond(clip);

    whisper_full_params parameters = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    parameters.n_threads = m_threads;
    parameters.greedy.best_of = 1;
    parameters.audio_ctx = audioContext(samples.size());
    parameters.no_context = true;
    parameters.no_timestamps = true;
    parameters.suppress_blank = true;
    parameters.suppress_nst = true;
    parameters.language = code.constData();
    if (!prompt.isEmpty()) {
        parameters.initial_prompt = prompt.constData();
    }
    parameters.print_progress = false;
    parameters.print_realtime = false;
    parameters.print_timestamps = false;
    parameters.abort_callback = abortRequested;
    parameters.abort_callback_user_data = const_cast<std::atomic<bool>*>(&cancelled);

    if (whisper_full(m_context, parameters, samples.data(), static_cast<int>(samples.size())) != 0 ||
        cancelled) {
        return std::nullopt;
    }
    QString text;
    const int segments = whisper_full_n_segments(m_context);
    for (int i = 0; i < segments; ++i) {
        text += QString::fromUtf8(whisper_full_get_segment_text(m_context, i));
    }
    return text.simplified();
}
