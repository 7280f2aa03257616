#pragma once

#include "speech/RecognitionJobs.h"
#include "speech/SpeechRecognition.h"
#include "speech/whisper/WhisperTranscription.h"

#include <memory>

class WhisperModelKeeper;

/// A Whisper recogniser for one language. Made when a recording starts, it has the keeper load the models
/// (unless they are loaded) and listens to the recording while it is captured, decoding every stretch of
/// speech that a pause ends; recognizeFile() then only waits for the rest. A recording it did not hear is
/// read from its file instead.
class WhisperRecognizer : public SpeechRecognizer {
public:
    /// language is a Whisper code or "auto". The keeper and threads must outlive the recogniser.
    WhisperRecognizer(WhisperModelKeeper& keeper, const QString& modelPath, const QString& language,
                      const QStringList& vocabulary, RecognitionThreads& threads);
    /// Stops decoding and lets the keeper count down to freeing the models.
    ~WhisperRecognizer() override;

    /// A model that cannot be loaded shows up as the recognition's error, which names the cause.
    bool isAvailable() const override { return true; }
    void recognizeFile(const QString& url, ResultHandler handler) override;
    AudioListener audioListener() override;

private:
    void finish(const RecognitionJob& job);

    WhisperModelKeeper& m_keeper;
    RecognitionJobs m_jobs;
    std::shared_ptr<WhisperTranscription> m_transcription;
};
