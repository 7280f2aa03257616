#pragma once

#include "speech/whisper/WhisperModels.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

class QObject;

/// The recognition of one dictation with Whisper, done while the user speaks. The recording's audio comes in
/// as it is captured; a worker thread of its own finds the speech in it and decodes every stretch that a
/// pause has ended, so that once the recording is over only its last stretch is left to decode. Silence is
/// never decoded, so a recording without speech gives an empty transcript.
class WhisperTranscription {
public:
    struct Result {
        std::optional<QString> text; ///< The transcript, empty when nobody spoke; nothing after a failure.
        QString error;               ///< Why there is no text.
        double secondsDecodedBeforeFinish = 0; ///< Speech decoded while the recording went on.
        double secondsDecodedAfterFinish = 0;  ///< Speech left for after it.
    };
    using ResultHandler = std::function<void(const Result&)>;

    /// language is a Whisper code or "auto"; the vocabulary primes the decoder. mainThread must outlive the
    /// transcription.
    WhisperTranscription(PendingWhisperModels models, QString language, QObject& mainThread,
                         QStringList vocabulary = {});
    /// Stops decoding, which takes at most a fraction of a second, and reports nothing.
    ~WhisperTranscription();
    WhisperTranscription(const WhisperTranscription&) = delete;
    WhisperTranscription& operator=(const WhisperTranscription&) = delete;

    /// The next samples of the recording, 16 kHz mono. From any thread; never waits for decoding.
    void addAudio(std::span<const float> samples);

    /// Ends the recording: done runs once on the thread of mainThread when the rest is decoded, unless the
    /// transcription is destroyed first. Called once.
    void finish(ResultHandler done);

    /// Seconds of speech decoded so far.
    double secondsDecoded() const { return m_secondsDecoded; }
    /// Samples of the recording that have come in so far.
    std::size_t samplesHeard() const { return m_samplesHeard; }

private:
    void run();
    void report(const Result& result);

    PendingWhisperModels m_models;
    QString m_language;
    QStringList m_vocabulary;
    QObject& m_mainThread;
    std::shared_ptr<ResultHandler> m_done;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<float> m_inbox;
    bool m_finishing = false;
    std::atomic<bool> m_cancelled = false;
    std::atomic<double> m_secondsDecoded = 0;
    std::atomic<std::size_t> m_samplesHeard = 0;
    std::thread m_worker;
};
