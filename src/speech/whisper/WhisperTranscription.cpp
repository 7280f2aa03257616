#include "speech/whisper/WhisperTranscription.h"

#include "speech/whisper/SpeechSegmenter.h"

#include <QMetaObject>
#include <QObject>

WhisperTranscription::WhisperTranscription(PendingWhisperModels models, QString language, QObject& mainThread,
                                           QStringList vocabulary)
    : m_models(std::move(models))
    , m_language(std::move(language))
    , m_vocabulary(std::move(vocabulary))
    , m_mainThread(mainThread)
    , m_worker([this] { run(); }) {}

WhisperTranscription::~WhisperTranscription() {
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    m_wake.notify_one();
    m_worker.join();
}

void WhisperTranscription::addAudio(std::span<const float> samples) {
    m_samplesHeard += samples.size();
    {
        std::lock_guard lock(m_mutex);
        m_inbox.insert(m_inbox.end(), samples.begin(), samples.end());
    }
    m_wake.notify_one();
}

void WhisperTranscription::finish(ResultHandler done) {
    m_done = std::make_shared<ResultHandler>(std::move(done));
    {
        std::lock_guard lock(m_mutex);
        m_finishing = true;
    }
    m_wake.notify_one();
}

void WhisperTranscription::run() {
    // Audio keeps arriving while the models load; it waits in the inbox.
    const WhisperModels models = m_models.get();
    std::optional<SpeechSegmenter> segmenter;
    if (models.detector) {
        segmenter.emplace(*models.detector);
    }
    Result result;
    QString transcript;
    const auto decode = [&](const std::vector<float>& speech, bool finishing) {
        if (speech.empty() || !result.error.isEmpty()) {
            return;
        }
        const std::optional<QString> text =
            models.model->transcribe(speech, m_language, m_cancelled, m_vocabulary);
        if (!text) {
            result.error = QStringLiteral("Whisper could not decode the recording.");
            return;
        }
        transcript = (transcript + QLatin1Char(' ') + *text).trimmed();
        const double seconds = double(speech.size()) / whisperSampleRate;
        (finishing ? result.secondsDecodedAfterFinish : result.secondsDecodedBeforeFinish) += seconds;
        m_secondsDecoded = m_secondsDecoded + seconds;
    };
    const QString detectionFailed = QStringLiteral("The voice activity detection failed.");

    for (;;) {
        std::vector<float> audio;
        bool finishing = false;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_cancelled || m_finishing || !m_inbox.empty(); });
            if (m_cancelled) {
                return;
            }
            audio.swap(m_inbox);
            finishing = m_finishing;
        }
        if (!segmenter || !result.error.isEmpty()) {
            if (finishing) {
                break;
            }
            continue;
        }
        const std::optional<std::vector<float>> ended = segmenter->add(audio);
        if (!ended) {
            result.error = detectionFailed;
        } else {
            decode(*ended, finishing);
        }
        if (finishing) {
            const std::optional<std::vector<float>> rest = segmenter->finish();
            if (!rest) {
                result.error = detectionFailed;
            } else {
                decode(*rest, true);
            }
            break;
        }
    }
    if (!models.model) {
        result.error = models.error;
    }
    if (result.error.isEmpty()) {
        result.text = transcript;
    }
    report(result);
}

void WhisperTranscription::report(const Result& result) {
    QMetaObject::invokeMethod(
        &m_mainThread,
        [done = std::weak_ptr<ResultHandler>(m_done), result] {
            if (const std::shared_ptr<ResultHandler> handler = done.lock()) {
                (*handler)(result);
            }
        },
        Qt::QueuedConnection);
}
