#pragma once

#include "speech/RecognitionJobs.h"
#include "speech/SpeechRecognition.h"

#include <QPointer>
#include <QUrl>

#include <chrono>
#include <memory>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

/// A recogniser that has a transcription server do the work, in one language.
///
/// Recognition decodes the file into a 16 kHz mono WAV on a worker, then posts it from the thread of
/// main thread as a multipart form and reports the reply's "text", or why there is none.
class TranscriptionServerRecognizer : public SpeechRecognizer {
public:
    struct Server {
        QUrl endpoint;
        QString model;
        std::chrono::milliseconds answerTimeout;
        /// Words and phrases the server's model should spell as written; sent when there are any.
        QString prompt;
    };

    /// language is the code the server knows the language by. network and threads must outlive the
    /// recogniser.
    TranscriptionServerRecognizer(Server server, QString language, QNetworkAccessManager& network,
                                  RecognitionThreads& threads);
    /// Abandons the exchanges still running.
    ~TranscriptionServerRecognizer() override;

    /// Whether the endpoint is an http or https address with a host.
    bool isAvailable() const override;
    void recognizeFile(const QString& url, ResultHandler handler) override;

private:
    void send(const QByteArray& wave, const RecognitionJob& job);

    Server m_server;
    QString m_language;
    QNetworkAccessManager& m_network;
    RecognitionJobs m_jobs;
    std::vector<QPointer<QNetworkReply>> m_replies;
};
