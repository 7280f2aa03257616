#pragma once

#include "speech/RecognitionJobs.h"
#include "speech/SpeechRecognition.h"
#include "speech/server/TranscriptionServerRecognizer.h"

#include <QNetworkAccessManager>

/// Speech recognition by an OpenAI-compatible transcription server (whisper.cpp's server, faster-whisper
/// servers, LocalAI): each recording goes to "<server>/v1/audio/transcriptions" as a WAV file. It supports
/// every locale whose language Whisper knows. No permission is needed.
///
/// Recognisers must not outlive it. Create it on the main thread: recognisers send and report there.
class TranscriptionServerRecognition : public SpeechRecognition {
public:
    static constexpr std::chrono::milliseconds defaultAnswerTimeout{std::chrono::seconds(120)};

    /// serverUrl is the server's base address; a trailing slash is dropped before the endpoint's path is
    /// added. Recognisers are unavailable unless that makes an http or https address with a host.
    /// answerTimeout: how long an exchange may go without any data before it fails.
    TranscriptionServerRecognition(const QString& serverUrl, QString model,
                                   std::chrono::milliseconds answerTimeout = defaultAnswerTimeout);
    ~TranscriptionServerRecognition() override;

    void requestAuthorization(std::function<void(AuthorizationStatus)> answer) override;
    std::unique_ptr<SpeechRecognizer> createRecognizer(const QString& localeIdentifier) override;
    /// Sent as the prompt field, within the prompt limit of a Whisper model.
    void setVocabulary(const QStringList& entries) override;

private:
    TranscriptionServerRecognizer::Server m_server;
    QNetworkAccessManager m_network;
    RecognitionThreads m_threads;
};
