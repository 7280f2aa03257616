#pragma once

#include "speech/RecognitionJobs.h"
#include "speech/SpeechRecognition.h"
#include "speech/whisper/WhisperModelKeeper.h"

#include <chrono>

/// Offline speech recognition with a Whisper model, in every language Whisper knows (English only with a
/// .en model) and in "auto", where Whisper finds out the language. No permission is needed.
///
/// Recognisers must not outlive it. Create it on the main thread: recognisers report there.
class WhisperRecognition : public SpeechRecognition {
public:
    /// modelPath is the ggml model file; the models stay loaded for keepLoaded after each dictation.
    WhisperRecognition(QString modelPath, std::chrono::milliseconds keepLoaded,
                       QString detectorPath = installedDetectorPath());
    ~WhisperRecognition() override;

    void requestAuthorization(std::function<void(AuthorizationStatus)> answer) override;
    std::unique_ptr<SpeechRecognizer> createRecognizer(const QString& localeIdentifier) override;
    void setVocabulary(const QStringList& entries) override { m_vocabulary = entries; }

    /// The voice activity model that ships with the program, in share/murmuro beside the executable's
    /// directory (so in the build tree as well as once installed).
    static QString installedDetectorPath();

private:
    QString m_modelPath;
    QStringList m_vocabulary;
    RecognitionThreads m_threads;
    WhisperModelKeeper m_keeper;
};
