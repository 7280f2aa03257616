#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

struct whisper_context;

/// The sample rate Whisper listens at; every sample span of the engine is 16 kHz mono float.
inline constexpr int whisperSampleRate = 16000;

/// How many threads decoding uses when nobody says otherwise: one core fewer than the machine has, since
/// decoding runs while the recording does and ggml's threads spin while they wait for each other, which
/// slows them badly when they share a core; and no more than four, beyond which the models gain little.
int defaultWhisperThreads();

/// A Whisper model in memory. Loading takes from a fraction of a second to a few seconds and as much memory
/// as the file is large, so it happens on a worker and the model is kept only while dictations need it.
/// Decoding is serialised: one clip at a time, from any thread.
class WhisperModel {
public:
    struct Loaded {
        std::unique_ptr<WhisperModel> model;
        QString error; ///< Why the file could not be loaded, when model is empty.
    };

    /// Checks the file before whisper.cpp reads it, so a damaged file is an error rather than a crash.
    static Loaded load(const QString& path, int threads);

    ~WhisperModel();
    WhisperModel(const WhisperModel&) = delete;
    WhisperModel& operator=(const WhisperModel&) = delete;

    /// False for the English-only (.en) models.
    bool isMultilingual() const;

    /// The language the model will be told to expect when asked for language (a Whisper code, or "auto" to
    /// let it detect the language of each clip): English for English-only models and for codes it does not
    /// know.
    QString decodingLanguage(const QString& language) const;

    /// The words spoken in the clip, trimmed; empty when it holds none. Nothing when decoding failed or
    /// cancelled became true, which stops it within a fraction of a second. The vocabulary is the decoder's
    /// initial prompt, so that it spells those words as they are written.
    std::optional<QString> transcribe(std::span<const float> clip, const QString& language,
                                      const std::atomic<bool>& cancelled, const QStringList& vocabulary = {});

    /// The leading entries of the vocabulary that fit in a prompt, as this model's tokenizer counts them.
    QString initialPrompt(const QStringList& vocabulary) const;

private:
    WhisperModel(whisper_context* context, int threads);

    whisper_context* m_context;
    int m_threads;
    std::mutex m_decoding;
};
