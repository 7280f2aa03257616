#include "speech/whisper/WhisperRecognizer.h"

#include "speech/AudioFileDecoder.h"
#include "speech/whisper/WhisperModelKeeper.h"

WhisperRecognizer::WhisperRecognizer(WhisperModelKeeper& keeper, const QString& modelPath,
                                     const QString& language, const QStringList& vocabulary,
                                     RecognitionThreads& threads)
    : m_keeper(keeper)
    , m_jobs(threads)
    , m_transcription(std::make_shared<WhisperTranscription>(keeper.acquire(modelPath), language,
                                                             threads.mainThread, vocabulary)) {}

WhisperRecognizer::~WhisperRecognizer() {
    m_transcription.reset();
    m_keeper.release();
}

SpeechRecognizer::AudioListener WhisperRecognizer::audioListener() {
    return [transcription = std::weak_ptr(m_transcription)](std::span<const float> samples) {
        if (const std::shared_ptr<WhisperTranscription> live = transcription.lock()) {
            live->addAudio(samples);
        }
    };
}

void WhisperRecognizer::recognizeFile(const QString& url, ResultHandler handler) {
    const RecognitionJob job = m_jobs.add(std::move(handler));
    if (m_transcription->samplesHeard() > 0) {
        finish(job);
        return;
    }
    m_jobs.runOnWorker(
        [this, job, path = audioFilePath(url), transcription = std::weak_ptr(m_transcription)] {
            std::vector<float> piece;
            const auto consume = [&](std::span<const std::int16_t> samples) {
                piece.assign(samples.size(), 0.0f);
                std::transform(samples.begin(), samples.end(), piece.begin(),
                               [](std::int16_t sample) { return sample / 32768.0f; });
                if (const std::shared_ptr<WhisperTranscription> live = transcription.lock()) {
                    live->addAudio(piece);
                }
            };
            const std::optional<QString> error =
                decodeAudioFile(path, consume, [&job] { return job.stillWanted(); });
            if (error) {
                job.report(RecognitionResult::failure(*error));
                return;
            }
            // A job still wanted means a recogniser still there.
            job.onMainThread([this, job] { finish(job); });
        });
}

void WhisperRecognizer::finish(const RecognitionJob& job) {
    m_transcription->finish([job](const WhisperTranscription::Result& result) {
        job.report(result.text ? RecognitionResult::transcript(*result.text)
                               : RecognitionResult::failure(result.error));
    });
}
